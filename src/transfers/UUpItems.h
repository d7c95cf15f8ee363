#pragma once
// The upload queue: one TUpItem per local file, owned by TUpItems, worked through by the upload
// engine (UUpThread.h). Locking as for downloads, with its own process-wide upload lock.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "transfers/UDownItems.h"
#include "transfers/USpeedLimiter.h"
#include "transfers/UTransferStatus.h"

namespace vantori {

class TUpItems;

// The upload server's speed cap until it names one, in KB/s.
inline constexpr std::int32_t kDefaultUploadCap = 300;

class TUpItem {
 public:
  explicit TUpItem(TUpItems* owner) : FOwner(owner) {}

  std::int32_t FileSeq = -1;
  std::int32_t FolderSeq = 0;
  ByteString FolderName;
  ByteString FileName;    // the name the file gets in the folder (cp949)
  std::string LocalPath;  // the file to send (local name)
  ByteString StoredName;
  std::int64_t Size = 0;
  std::int64_t Sent = 0;
  std::int64_t ServerSize = 0;
  ByteString ServerAddress;
  ByteString Directory;
  std::int32_t RetryCount = 0;
  std::int32_t BlockSize = 65536;
  std::int32_t LastBlock = 0;
  TTransferMeasure Measure;
  bool Sending = false;
  bool FirstContact = true;
  bool Busy = false;
  std::int64_t Checksum = 0;
  std::int32_t SpeedCap = kDefaultUploadCap;
  ByteString ChecksumText = "testParitStr";
  std::string TimeColumn;
  std::string SizeColumn;

  TTransferStatus Status() const { return FStatus; }
  const ByteString& StatusMessage() const { return FStatusMessage; }
  bool SetStatus(TTransferStatus status);
  void SetStatusMessage(const ByteString& message);
  void SetStatus(TTransferStatus status, const ByteString& message);
  // "size(sent)".
  void RefreshSizeColumn();
  void SetTimeColumn(const std::string& text);

  int Index() const;

 private:
  void Changed(TItemChange change);

  TUpItems* FOwner;
  TTransferStatus FStatus = TTransferStatus::Waiting;
  ByteString FStatusMessage;
};

std::recursive_mutex& UploadLock();

class TUpItems {
 public:
  TUpItems() = default;
  TUpItems(const TUpItems&) = delete;
  TUpItems& operator=(const TUpItems&) = delete;

  std::int64_t TotalSize = 0;
  std::int64_t TotalSent = 0;
  std::int32_t CurrentIndex = -1;

  std::function<void(TUpItem&, TItemChange)> OnChanged;

  TUpItem* Add();
  int Count() const { return static_cast<int>(FItems.size()); }
  TUpItem* Items(int index) const;
  int IndexOf(const TUpItem* item) const;
  void Delete(int index);
  void Move(int from, int to);
  void Clear();
  int CountInSet(std::uint16_t statuses) const;

  // Queues a local file for the folder. A path already queued for the same folder adds
  // nothing (nullptr). An existing file gets its size and checksum and waits; a missing or
  // empty one is added as Failed with the 0-byte text. fileName is the cp949 name in the folder
  // (empty: the local file name converted).
  TUpItem* AddUpFile(std::int32_t folderSeq, const ByteString& folderName, const std::string& localPath,
                     const ByteString& fileName = {});

  void Notify(TUpItem& item, TItemChange change) {
    if (OnChanged) OnChanged(item, change);
  }

 private:
  std::vector<std::unique_ptr<TUpItem>> FItems;
};

}  // namespace vantori
