#include "transfers/UUpItems.h"

#include <sys/stat.h>

#include "platform/UCodePage.h"
#include "settings/UFileChecksum.h"
#include "settings/UFunction.h"
#include "transfers/UTransferTexts.h"

namespace vantori {

std::recursive_mutex& UploadLock() {
  static std::recursive_mutex lock;
  return lock;
}

bool TUpItem::SetStatus(TTransferStatus status) {
  if (status == FStatus) return false;
  FStatus = status;
  FStatusMessage = UpStatusText(status);
  Changed(TItemChange::Status);
  return true;
}

void TUpItem::SetStatusMessage(const ByteString& message) {
  FStatusMessage = message;
  Changed(TItemChange::Message);
}

void TUpItem::SetStatus(TTransferStatus status, const ByteString& message) {
  SetStatus(status);
  SetStatusMessage(message);
}

void TUpItem::RefreshSizeColumn() {
  SizeColumn = FormatSize(Size) + "(" + FormatSize(Sent) + ")";
  Changed(TItemChange::Columns);
}

void TUpItem::SetTimeColumn(const std::string& text) {
  TimeColumn = text;
  Changed(TItemChange::Columns);
}

int TUpItem::Index() const {
  return FOwner ? FOwner->IndexOf(this) : -1;
}

void TUpItem::Changed(TItemChange change) {
  if (FOwner) FOwner->Notify(*this, change);
}

TUpItem* TUpItems::Add() {
  FItems.push_back(std::make_unique<TUpItem>(this));
  TUpItem* item = FItems.back().get();
  item->SetStatusMessage(UpStatusText(TTransferStatus::Waiting));
  return item;
}

TUpItem* TUpItems::Items(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return FItems[static_cast<std::size_t>(index)].get();
}

int TUpItems::IndexOf(const TUpItem* item) const {
  for (std::size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i].get() == item) return static_cast<int>(i);
  return -1;
}

void TUpItems::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  FItems.erase(FItems.begin() + index);
}

void TUpItems::Move(int from, int to) {
  if (from < 0 || from >= Count() || to < 0 || to >= Count() || from == to) return;
  auto item = std::move(FItems[static_cast<std::size_t>(from)]);
  FItems.erase(FItems.begin() + from);
  FItems.insert(FItems.begin() + to, std::move(item));
}

void TUpItems::Clear() {
  FItems.clear();
}

int TUpItems::CountInSet(std::uint16_t statuses) const {
  int n = 0;
  for (const auto& item : FItems)
    if (statuses & StatusBit(item->Status())) ++n;
  return n;
}

TUpItem* TUpItems::AddUpFile(std::int32_t folderSeq, const ByteString& folderName,
                             const std::string& localPath, const ByteString& fileName) {
  for (const auto& item : FItems)
    if (item->LocalPath == localPath && item->FolderSeq == folderSeq) return nullptr;
  TUpItem* item = Add();
  item->FolderSeq = folderSeq;
  item->FolderName = folderName;
  item->LocalPath = localPath;
  const std::size_t slash = localPath.find_last_of('/');
  const std::string localName = slash == std::string::npos ? localPath : localPath.substr(slash + 1);
  item->FileName = fileName.empty() ? Utf8ToCp949Lossy(localName, "_") : fileName;
  item->TimeColumn = "00:00:00 (00:00:00)";
  struct stat st {};
  if (::stat(localPath.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    item->Size = st.st_size;
    try {
      item->Checksum = FileChecksum(localPath);
    } catch (const std::exception&) {
      item->Checksum = 0;
    }
  } else {
    item->SetStatus(TTransferStatus::NoFile);
  }
  if (item->Size <= 0) item->SetStatus(TTransferStatus::Failed, texts::kMsgZeroByteFile);
  item->RefreshSizeColumn();
  TotalSize += item->Size;
  return item;
}

}  // namespace vantori
