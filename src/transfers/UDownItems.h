#pragma once
// The download queue: one TDownItem per file, owned by TDownItems. The download window creates,
// orders and deletes the items; the download engine (UDownThread.h) works through them.
//
// Locking: one process-wide download lock (DownloadLock) guards the list's current index, the
// engine's awaiting-preparation flag and every lookup of an item by index. Item fields that the
// engine changes while a transfer runs (received, measuring, texts) are read by the window
// under the same lock.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "transfers/USpeedLimiter.h"
#include "transfers/UTransferStatus.h"

namespace vantori {

using ByteString = std::string;

class TDownItems;

// What changed on an item, for the row that shows it.
enum class TItemChange { Status, Message, Columns };

// Where a queued file comes from: a file row of a listing, a file of an expanded download
// folder or a search result all carry these values.
struct TDownSource {
  std::int32_t FileSeq = -1;
  ByteString FileName;  // the server's name (cp949)
  std::int64_t Size = 0;
  std::int64_t CurSize = 0;
  std::int32_t FolderSeq = 0;
  ByteString FileText1;      // storage server address
  ByteString FileText2;      // locator 1
  ByteString FileText3;      // locator 2
  std::int32_t UserSeq = 0;  // owner of the folder
  std::int32_t UploaderSeq = 0;
  std::int32_t StoredFileSeq = 0;
};

class TDownItem {
 public:
  explicit TDownItem(TDownItems* owner) : FOwner(owner) {}

  std::int32_t FileSeq = -1;
  std::int32_t FolderSeq = 0;
  ByteString FileName;      // as the service lists it (cp949); sent back to the servers
  std::string LocalFolder;  // folder of the local file, with a trailing '/'
  std::string DownRoot;     // the folder the user chose
  std::string LocalPath;    // the local file (always below DownRoot)
  ByteString Locator2;      // at most 30 bytes
  std::int64_t Size = 0;
  std::int64_t Received = 0;
  std::int64_t TotalSize = 0;
  std::int32_t RetryCount = 0;
  TTransferMeasure Measure;
  ByteString ServerAddress;  // at most 20 bytes
  ByteString Locator1;       // at most 30 bytes
  std::int32_t OwnerSeq = 0;
  std::int32_t UploaderSeq = 0;
  std::int32_t StoredFileSeq = 0;
  std::int64_t ConnectionBytes = 0;
  bool FirstOpen = true;
  bool Busy = false;
  bool Sorted = false;
  bool NotifyService = false;
  bool NotifyFlag2 = false;
  bool Metered = true;
  // The row's time ("00:00:00 (00:00:00)") and size ("1.50 MB(0 바이트)") columns.
  std::string TimeColumn;
  std::string SizeColumn;

  TTransferStatus Status() const { return FStatus; }
  const ByteString& StatusMessage() const { return FStatusMessage; }
  // Setting the current status again does nothing; otherwise the status message becomes the
  // status's long text and the row is told. True when the status changed.
  bool SetStatus(TTransferStatus status);
  // A more specific text for the current status.
  void SetStatusMessage(const ByteString& message);
  // Both: the status, then the message.
  void SetStatus(TTransferStatus status, const ByteString& message);
  // The size column as "total(received)"; tells the row.
  void RefreshSizeColumn();
  void SetTimeColumn(const std::string& text);

  int Index() const;
  TDownItems* Owner() const { return FOwner; }

 private:
  void Changed(TItemChange change);

  TDownItems* FOwner;
  TTransferStatus FStatus = TTransferStatus::Waiting;
  ByteString FStatusMessage;
};

// The process-wide download lock.
std::recursive_mutex& DownloadLock();

class TDownItems {
 public:
  enum class TAddResult { Added, Duplicate, Incomplete, NameTooLong };

  TDownItems() = default;
  TDownItems(const TDownItems&) = delete;
  TDownItems& operator=(const TDownItems&) = delete;

  std::int64_t TotalSize = 0;      // sum of the items' total sizes
  std::int64_t TotalReceived = 0;  // written bytes plus, once per item, its existing local bytes
  std::int32_t CurrentIndex = -1;

  // Told on the thread that made the change; carried to the window's thread by the window.
  std::function<void(TDownItem&, TItemChange)> OnChanged;

  // A new, empty Waiting item at the end.
  TDownItem* Add();
  int Count() const { return static_cast<int>(FItems.size()); }
  // nullptr outside 0..Count-1.
  TDownItem* Items(int index) const;
  int IndexOf(const TDownItem* item) const;
  void Delete(int index);
  // Moves one item to another position.
  void Move(int from, int to);
  void Clear();
  // Items whose status lies in the set (bit n = status n).
  int CountInSet(std::uint16_t statuses) const;

  // Adds one file for download into root (+ the safe form of the server's folder names).
  // Nothing is added for a file already queued with the same name and root, for a file that
  // is incomplete on the server (Size differs from CurSize), or for a name too long for the
  // download request. The local name is made safe (USafeName.h).
  TAddResult AddFile(const TDownSource& source, const std::string& root,
                     const std::vector<ByteString>& serverFolders = {}, TDownItem** added = nullptr);

  // Sorts the not yet sorted Waiting items of each local folder among themselves, so that a
  // subtitle (.smi) comes before the video (.avi) of the same name; every other item keeps its
  // place. Every item is marked sorted afterwards.
  void SortQueue();

  void Notify(TDownItem& item, TItemChange change) {
    if (OnChanged) OnChanged(item, change);
  }

 private:
  std::vector<std::unique_ptr<TDownItem>> FItems;
};

// The sort key of SortQueue: items are ordered by this key within a folder (a strict weak
// ordering: lower-cased base name, then the lower-cased extension, ".smi" taking the place just before
// ".avi").
std::string DownSortKey(const ByteString& caption);

}  // namespace vantori
