#include "folders/UClientItems.h"

namespace vantori {

namespace {

// " 업로드할 폴더 정보가 올바르지 않습니다." without the blank, in cp949.
constexpr char kBadDropTree[] =
    "\xBE\xF7\xB7\xCE\xB5\xE5\xC7\xD2 \xC6\xFA\xB4\xF5 \xC1\xA4\xBA\xB8\xB0\xA1 "
    "\xBF\xC3\xB9\xD9\xB8\xA3\xC1\xF6 \xBE\xCA\xBD\xC0\xB4\xCF\xB4\xD9.";

std::size_t LastSeparator(std::string_view path) {
  return path.find_last_of("\\/");
}

// The path without its last component ("C:\a" -> "C:"); "" when there is no separator.
ByteString ParentOf(std::string_view path) {
  std::size_t at = LastSeparator(path);
  return at == std::string_view::npos ? ByteString() : ByteString(path.substr(0, at));
}

ByteString LastComponent(std::string_view path) {
  std::size_t at = LastSeparator(path);
  return ByteString(at == std::string_view::npos ? path : path.substr(at + 1));
}

}  // namespace

void TFolderItem::CopyFolder(TFolderItem& target) const {
  target.Kind = Kind;
  target.Seq = Seq;
  target.Name = Name;
  target.Owner = Owner;
  target.Caption = Caption;
  target.Comment = Comment;
  target.Pub = Pub;
  target.Extra = Extra;
  target.UserSeq = UserSeq;
  target.FriendSeq = FriendSeq;
  target.OwnerName = OwnerName;
  target.Pass = Pass;
}

void TFolderItem::CopyAll(TFolderItem& target) const {
  void* node = target.Node;
  static_cast<TFolderItem&>(target) = *this;  // handles are not assigned
  target.Node = node;
}

void TFFItems::CopyRowShort(const TFFItem& s, TFFItem& t) {
  t.Kind = s.Kind;
  t.FileSeq = s.FileSeq;
  t.FileName = s.FileName;
  t.Size = s.Size;
  t.CurSize = s.CurSize;
  t.FolderSeq = s.FolderSeq;
  t.ParentSeq = s.ParentSeq;
  t.FolderName = s.FolderName;
  t.FileText1 = s.FileText1;
  t.FileText2 = s.FileText2;
  t.RemainDays = s.RemainDays;
  t.FileComment = s.FileComment;
  t.FolderComment = s.FolderComment;
  t.Pub = s.Pub;
  t.Extra = s.Extra;
  t.UserSeq = s.UserSeq;
  t.FriendSeq = s.FriendSeq;
  t.OwnerName = s.OwnerName;
  t.Pass = s.Pass;
  t.OwnerName2 = s.OwnerName2;
  t.DisplayName = s.DisplayName;
  t.UpDate = s.UpDate;
  t.UploaderSeq = s.UploaderSeq;
  t.FileText3 = s.FileText3;
  t.StoredFileSeq = s.StoredFileSeq;
}

void TFFItems::CopyRow(const TFFItem& source, TFFItem& target) {
  target = source;  // THandleObject keeps the target's handle
}

TDropItem* TDropItems::AddPath(std::string_view path, bool isDirectory) {
  // A folder given with a trailing separator is the folder itself.
  while (path.size() > 1 && (path.back() == '\\' || path.back() == '/')) path.remove_suffix(1);

  TDropItem* item = Add();
  ByteString parent = ParentOf(path);
  // The base is taken from the first path only: the paths dropped together share it,
  // and a later file inside a dropped folder must not move it.
  if (Count() <= 1) BasePath = parent;

  item->FullPath = ByteString(path);
  item->ParentPath = parent;
  if (isDirectory) {
    item->IsFile = 0;
    item->Name = LastComponent(path);
    ++Counter;
  } else {
    item->IsFile = 1;
    item->FilePath = ByteString(path);
    item->Name = LastComponent(parent);
  }
  item->Index = Counter;
  item->ParentIndex = Counter;
  return item;
}

void TDropItems::LinkParents() {
  for (const auto& owned : *this) {
    TDropItem& item = *owned;
    if (item.ParentPath == BasePath) {
      item.ParentIndex = Root;
      if (item.IsFile) {
        item.Index = Root;
        item.TargetSeq = Root;
      }
      continue;
    }
    const TDropItem* parent = nullptr;
    for (const auto& other : *this) {
      if (!other->IsFile && other->FullPath == item.ParentPath) {
        parent = other.get();
        break;
      }
    }
    if (parent == nullptr) throw std::runtime_error(kBadDropTree);
    item.ParentIndex = parent->Index;
    if (item.IsFile) item.Index = parent->Index;
  }
}

TImageItem* TImageItems::Find(std::string_view extension) const {
  for (const auto& item : *this)
    if (item->Extension == extension) return item.get();
  return nullptr;
}

}  // namespace vantori
