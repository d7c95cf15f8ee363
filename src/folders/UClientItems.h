#pragma once
// The records behind tree nodes and list rows, and the owned collections that keep them.
//
// A collection creates its records with Add, numbers them by position and destroys them
// when they are deleted or the collection is cleared or destroyed. Tree nodes and list
// items refer to records they do not own; a tree node's record refers back to its node.
// Records and collections whose handle travels in requests derive from THandleObject.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "folders/UHandles.h"

namespace vantori {

using ByteString = std::string;

// The Kind byte of TFolderItem and TFFItem.
enum TNodeKind : std::uint8_t {
  nkFolder = 0,
  nkFile = 1,
  nkFriend = 2,
  nkFriendGroup = 3,
  nkParentRow = 4,  // the ".." row of a list
  nkMyFoldersRoot = 5,
  nkFriendsRoot = 6,
  nkClubsRoot = 7,
  nkClub = 8,
  nkClubHome = 9,
  nkServiceRoot = 10,
};

// Sharing flags (Pub).
inline constexpr char kPubShared[] = "T";
inline constexpr char kPubPrivate[] = "F";
inline constexpr char kPubAdult[] = "A";

// An owned list of records. Items raises std::out_of_range outside 0..Count-1.
template <class T>
class TOwnedList {
 public:
  TOwnedList() = default;
  TOwnedList(const TOwnedList&) = delete;
  TOwnedList& operator=(const TOwnedList&) = delete;
  virtual ~TOwnedList() = default;

  T* Add() {
    FItems.push_back(std::make_unique<T>());
    return FItems.back().get();
  }
  int Count() const { return static_cast<int>(FItems.size()); }
  T* Items(int index) const {
    if (index < 0 || index >= Count())
      throw std::out_of_range("list index out of bounds (" + std::to_string(index) + ")");
    return FItems[static_cast<std::size_t>(index)].get();
  }
  void Delete(int index) {
    Items(index);
    FItems.erase(FItems.begin() + index);
  }
  // Deletes the record if it is one of this list's; false otherwise.
  bool Remove(const T* item) {
    int index = IndexOf(item);
    if (index < 0) return false;
    Delete(index);
    return true;
  }
  int IndexOf(const T* item) const {
    for (std::size_t i = 0; i < FItems.size(); ++i)
      if (FItems[i].get() == item) return static_cast<int>(i);
    return -1;
  }
  void Clear() { FItems.clear(); }

  auto begin() const { return FItems.begin(); }
  auto end() const { return FItems.end(); }

 private:
  std::vector<std::unique_ptr<T>> FItems;
};

// The record of a tree node.
class TFolderItem : public THandleObject {
 public:
  std::uint8_t Kind = nkFolder;
  bool Loaded = false;
  std::int32_t Seq = 0;
  ByteString Name;
  std::int32_t Owner = 0;
  std::uint8_t Reserved = 0;
  ByteString Caption;
  ByteString Comment;
  ByteString Pub;
  ByteString Extra;
  std::int32_t UserSeq = 0;
  std::int32_t FriendSeq = 0;
  ByteString OwnerName;
  ByteString Pass;
  bool Downloading = false;
  bool Uploading = false;
  std::int32_t GroupSeq = -1;
  std::int32_t ParentGroup = -1;
  ByteString GroupName;
  std::int32_t ClubSeq = -1;
  ByteString ClubName;
  ByteString ClubID;
  std::int32_t ClubValue1 = -1;
  ByteString ClubText;
  std::int32_t ClubValue2 = 0;
  bool ClubFlag1 = true;
  bool ClubFlag2 = false;
  bool ClubFlag3 = false;
  void* Node = nullptr;  // the tree node showing this record; not owned

  bool HasPassword() const { return !Pass.empty(); }
  // Copies Kind, Seq, Name, Owner, Caption, Comment, Pub, Extra, UserSeq, FriendSeq,
  // OwnerName and Pass into target.
  void CopyFolder(TFolderItem& target) const;
  // Every field but the node reference and the handle.
  void CopyAll(TFolderItem& target) const;
};

// A cut or copy buffer, or a tree's own records.
template <class T>
class TBufferList : public TOwnedList<T>, public THandleObject {
 public:
  bool IsCut = false;
  T* Source = nullptr;  // not owned
};

class TFolderItems : public TBufferList<TFolderItem> {};

// The record of a list row.
class TFFItem : public THandleObject {
 public:
  std::uint8_t Kind = nkFolder;
  std::int32_t FileSeq = 0;
  ByteString FileName;
  std::int64_t Size = 0;
  std::int64_t CurSize = 0;
  std::int32_t FolderSeq = 0;
  std::int32_t ParentSeq = 0;
  ByteString FolderName;
  ByteString FileText1;
  ByteString FileText2;
  std::int32_t RemainDays = 0;
  ByteString FileComment;
  ByteString FolderComment;
  ByteString Pub;
  ByteString Extra;
  std::int32_t UserSeq = 0;
  std::int32_t FriendSeq = -1;
  ByteString OwnerName;
  ByteString Pass;
  ByteString OwnerName2;
  ByteString DisplayName;
  double UpDate = 0.0;      // days since 1899-12-30
  double ExpireDate = 0.0;  // UpDate + the basic storage period
  std::int32_t UploaderSeq = 0;
  ByteString FileText3;
  std::int32_t StoredFileSeq = 0;
  std::int32_t Reserved[3] = {0, 0, 0};
  bool Downloading = false;
  bool Uploading = false;
  std::int32_t GroupSeq = -1;
  std::int32_t ParentGroup = -1;
  ByteString GroupName;
  std::int32_t ClubSeq = -1;
  ByteString ClubName;
  ByteString ClubID;
  std::int32_t ClubValue1 = -1;
  ByteString ClubText;
  std::int32_t ClubValue2 = 0;
  bool ClubFlag1 = true;
  bool ClubFlag2 = false;
  bool ClubFlag3 = false;
};

class TFFItems : public TBufferList<TFFItem> {
 public:
  // Every field of source into target.
  static void CopyRow(const TFFItem& source, TFFItem& target);
  // The fields from Kind to StoredFileSeq, without ExpireDate.
  static void CopyRowShort(const TFFItem& source, TFFItem& target);
};

// One cached listing: the listed node's fields and copies of its rows.
class TCacheItem : public TFolderItem {
 public:
  TFFItems Rows;
};

class TCacheItems : public TOwnedList<TCacheItem> {};

// One local path dropped or chosen for upload.
class TDropItem {
 public:
  std::uint8_t IsFile = 0;
  ByteString FullPath;
  ByteString FilePath;
  ByteString ParentPath;
  ByteString Name;
  std::int32_t Index = -100;
  std::int32_t ParentIndex = -100;
  std::int32_t TargetSeq = -100;
};

class TDropItems : public TOwnedList<TDropItem>, public THandleObject {
 public:
  std::int32_t Counter = -10000;
  ByteString BasePath;
  std::int32_t Root = -100;

  // Adds one path. isDirectory tells whether the path names a folder. Paths are split
  // at the last separator ('\\' or '/').
  TDropItem* AddPath(std::string_view path, bool isDirectory);
  // Links every record to its parent entry (or to Root). Raises std::runtime_error when
  // a record's parent folder was not added, instead of leaving it dangling.
  void LinkParents();
};

// A folder of a download selection, or a sub-folder found by the server.
class TDownFolderItem {
 public:
  ByteString LocalPath;
  std::int32_t UserSeq = 0;
  std::int32_t Seq = -100;
  std::int32_t Owner = 0;
  ByteString Name;
  ByteString Pass;
};

class TDownFolderItems : public TOwnedList<TDownFolderItem>, public THandleObject {};

// A file of a download selection.
class TDownFileItem {
 public:
  ByteString LocalPath;
  std::int32_t FileSeq = 0;
  ByteString FileName;
  std::int64_t Size = 0;
  std::int64_t CurSize = 0;
  std::int32_t FolderSeq = 0;
  ByteString FileText1;
  ByteString FileText2;
  ByteString ListText;  // filled only from the download-list reply
  double UpDate = 0.0;
  std::int32_t RemainDays = 0;
  std::int32_t UploaderSeq = 0;
  ByteString FileText3;
  std::int32_t StoredFileSeq = 0;
};

class TDownFileItems : public TOwnedList<TDownFileItem>, public THandleObject {};

// One cached file-type icon of a list.
class TImageItem {
 public:
  std::uint8_t Kind = 0;
  ByteString Extension;  // with the dot
  std::int32_t ImageIndex = 0;
};

class TImageItems : public TOwnedList<TImageItem> {
 public:
  // The cached entry of an extension (compared exactly), or nullptr.
  TImageItem* Find(std::string_view extension) const;
};

// Records of other windows, kept with the same collection pattern.
class TNoteItem {
 public:
  ByteString Content;
  void* Element = nullptr;  // the note's element in the notes file; not owned
};

class TNoteItems : public TOwnedList<TNoteItem> {
 public:
  std::int32_t Value = -1;
};

class TRequestedPageItem {
 public:
  std::int32_t Page = 1;
};

class TRequestedPageItems : public TOwnedList<TRequestedPageItem> {};

// One gift row of the point-gift lists.
class TPointGiftItem {
 public:
  std::int32_t GiftSeq = 0;
  std::int32_t Value1 = 0;  // kept, not shown
  ByteString GiverID;
  std::int32_t Value2 = 0;  // kept, not shown; travels back with the gift
  ByteString ReceiverID;
  ByteString Kind;    // "M" coins, "P" points
  ByteString Status;  // "P" under way, "C" done, "D" cancelled, "R" refused
  std::int32_t Values[4] = {0, 0, 0, 0};
  std::int32_t Amount = 0;
  double ConfirmTime = 0.0;
  double GiftTime = 0.0;
};

class TPointGiftItems : public TOwnedList<TPointGiftItem> {};

}  // namespace vantori
