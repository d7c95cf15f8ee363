#include "transfers/UDownItems.h"

#include <sys/stat.h>

#include <algorithm>
#include <map>

#include "settings/UFunction.h"
#include "transfers/USafeName.h"

namespace vantori {

namespace {

std::int64_t LocalFileSize(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  return st.st_size;
}

std::string AsciiLower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

}  // namespace

std::recursive_mutex& DownloadLock() {
  static std::recursive_mutex lock;
  return lock;
}

bool TDownItem::SetStatus(TTransferStatus status) {
  if (status == FStatus) return false;
  FStatus = status;
  FStatusMessage = DownStatusText(status);
  Changed(TItemChange::Status);
  return true;
}

void TDownItem::SetStatusMessage(const ByteString& message) {
  FStatusMessage = message;
  Changed(TItemChange::Message);
}

void TDownItem::SetStatus(TTransferStatus status, const ByteString& message) {
  SetStatus(status);
  SetStatusMessage(message);
}

void TDownItem::RefreshSizeColumn() {
  SizeColumn = FormatSize(TotalSize) + "(" + FormatSize(Received) + ")";
  Changed(TItemChange::Columns);
}

void TDownItem::SetTimeColumn(const std::string& text) {
  TimeColumn = text;
  Changed(TItemChange::Columns);
}

int TDownItem::Index() const {
  return FOwner ? FOwner->IndexOf(this) : -1;
}

void TDownItem::Changed(TItemChange change) {
  if (FOwner) FOwner->Notify(*this, change);
}

TDownItem* TDownItems::Add() {
  FItems.push_back(std::make_unique<TDownItem>(this));
  TDownItem* item = FItems.back().get();
  item->SetStatusMessage(DownStatusText(TTransferStatus::Waiting));
  return item;
}

TDownItem* TDownItems::Items(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return FItems[static_cast<std::size_t>(index)].get();
}

int TDownItems::IndexOf(const TDownItem* item) const {
  for (std::size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i].get() == item) return static_cast<int>(i);
  return -1;
}

void TDownItems::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  FItems.erase(FItems.begin() + index);
}

void TDownItems::Move(int from, int to) {
  if (from < 0 || from >= Count() || to < 0 || to >= Count() || from == to) return;
  auto item = std::move(FItems[static_cast<std::size_t>(from)]);
  FItems.erase(FItems.begin() + from);
  FItems.insert(FItems.begin() + to, std::move(item));
}

void TDownItems::Clear() {
  FItems.clear();
}

int TDownItems::CountInSet(std::uint16_t statuses) const {
  int n = 0;
  for (const auto& item : FItems)
    if (statuses & StatusBit(item->Status())) ++n;
  return n;
}

TDownItems::TAddResult TDownItems::AddFile(const TDownSource& source, const std::string& root,
                                           const std::vector<ByteString>& serverFolders, TDownItem** added) {
  if (added) *added = nullptr;
  // The same local file is queued once (for a plain add: the same name into the same root).
  std::string localPath = SafeJoin(root, serverFolders, source.FileName);
  auto taken = [&](const std::string& path) {
    for (const auto& item : FItems)
      if (item->LocalPath == path) return item.get();
    return static_cast<TDownItem*>(nullptr);
  };
  if (TDownItem* same = taken(localPath)) {
    if (same->FileName == source.FileName) return TAddResult::Duplicate;
    // Another server name that became the same local name: the file gets a sibling name.
    const std::size_t slash = localPath.find_last_of('/');
    const std::string folder = localPath.substr(0, slash + 1);
    const std::string name = localPath.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    const std::string ext = dot == std::string::npos || dot == 0 ? std::string() : name.substr(dot);
    for (int n = 1; taken(localPath); ++n) localPath = folder + stem + " (" + std::to_string(n) + ")" + ext;
  }
  if (source.Size != source.CurSize) return TAddResult::Incomplete;
  if (source.FileName.empty() || source.FileName.size() > kMaxServerNameBytes) return TAddResult::NameTooLong;

  TDownItem* item = Add();
  item->FileSeq = source.FileSeq;
  item->FileName = source.FileName;
  item->Size = source.Size;
  item->TotalSize = source.CurSize;
  item->FolderSeq = source.FolderSeq;
  item->ServerAddress = source.FileText1;
  item->Locator1 = source.FileText2;
  item->Locator2 = source.FileText3;
  item->OwnerSeq = source.UserSeq;
  item->UploaderSeq = source.UploaderSeq;
  item->StoredFileSeq = source.StoredFileSeq;
  item->DownRoot = root;
  item->LocalPath = localPath;
  item->LocalFolder = SafeFolderJoin(root, serverFolders) + "/";
  item->Received = LocalFileSize(item->LocalPath);
  item->TimeColumn = "00:00:00 (00:00:00)";
  item->SizeColumn = FormatSize(item->TotalSize) + "(" + FormatSize(0) + ")";
  TotalSize += item->TotalSize;
  if (added) *added = item;
  return TAddResult::Added;
}

std::string DownSortKey(const ByteString& caption) {
  const std::size_t dot = caption.rfind('.');
  std::string base = AsciiLower(dot == std::string::npos ? caption : caption.substr(0, dot));
  std::string ext = dot == std::string::npos ? std::string() : AsciiLower(caption.substr(dot + 1));
  // A subtitle sorts just before the video of its name; every other extension keeps its place.
  if (ext == "smi")
    ext = "avi";
  else if (ext == "avi")
    ext = std::string("avi\x01");
  return base + std::string(1, '\0') + ext;
}

void TDownItems::SortQueue() {
  // Positions of the sortable items, grouped by local folder.
  std::map<std::string, std::vector<std::size_t>> groups;
  for (std::size_t i = 0; i < FItems.size(); ++i) {
    const TDownItem& item = *FItems[i];
    if (item.Status() == TTransferStatus::Waiting && !item.Sorted) groups[item.LocalFolder].push_back(i);
  }
  for (auto& [folder, positions] : groups) {
    std::vector<std::unique_ptr<TDownItem>> members;
    for (std::size_t pos : positions) members.push_back(std::move(FItems[pos]));
    std::stable_sort(members.begin(), members.end(), [](const auto& a, const auto& b) {
      return DownSortKey(a->FileName) < DownSortKey(b->FileName);
    });
    for (std::size_t k = 0; k < positions.size(); ++k) FItems[positions[k]] = std::move(members[k]);
  }
  for (auto& item : FItems) item->Sorted = true;
}

}  // namespace vantori
