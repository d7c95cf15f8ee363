#include "transfers/UTransferRecords.h"

#include <cstring>

namespace vantori {

namespace {

class TWriter {
 public:
  explicit TWriter(std::size_t size) : FBytes(size, 0) {}
  template <class T>
  void Put(std::size_t at, T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i)
      FBytes[at + i] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> (8 * i));
  }
  // A NUL-padded field of n bytes holding at most n - 1 text bytes.
  void Chars(std::size_t at, std::size_t n, const ByteString& text) {
    const std::size_t len = text.size() < n ? text.size() : n - 1;
    std::memcpy(FBytes.data() + at, text.data(), len);
  }
  // One length byte, then up to n bytes.
  void Short(std::size_t at, std::size_t n, const ByteString& text) {
    const std::size_t len = text.size() < n ? text.size() : n;
    FBytes[at] = static_cast<std::uint8_t>(len);
    std::memcpy(FBytes.data() + at + 1, text.data(), len);
  }
  Bytes Take() { return std::move(FBytes); }

 private:
  Bytes FBytes;
};

class TReader {
 public:
  explicit TReader(std::span<const std::uint8_t> bytes) : FBytes(bytes) {}
  template <class T>
  T Get(std::size_t at) const {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) v |= static_cast<std::uint64_t>(FBytes[at + i]) << (8 * i);
    return static_cast<T>(v);
  }
  ByteString Chars(std::size_t at, std::size_t n) const {
    std::size_t len = 0;
    while (len < n && FBytes[at + len] != 0) ++len;
    return ByteString(reinterpret_cast<const char*>(FBytes.data() + at), len);
  }
  // A length byte above the field's room is clamped to the room.
  ByteString Short(std::size_t at, std::size_t n) const {
    std::size_t len = FBytes[at];
    if (len > n) len = n;
    return ByteString(reinterpret_cast<const char*>(FBytes.data() + at + 1), len);
  }

 private:
  std::span<const std::uint8_t> FBytes;
};

}  // namespace

Bytes TDownPrepareRecord::Pack() const {
  TWriter w(kSize);
  w.Put<std::int32_t>(0, UserSeq);
  w.Put<std::int32_t>(4, OwnerSeq);
  w.Put<std::int32_t>(8, UploaderSeq);
  w.Put<std::int32_t>(12, FileSeq);
  w.Short(16, 20, ServerAddress);
  w.Put<std::uint8_t>(37, NotifyService);
  w.Put<std::uint8_t>(38, NotifyFlag2);
  w.Put<std::int32_t>(39, StoredFileSeq);
  w.Put<std::uint8_t>(43, AdminShow);
  w.Put<std::uint8_t>(44, Metered);
  w.Put<std::int32_t>(45, -1);
  w.Put<std::uint8_t>(49, 0);
  w.Put<std::uint32_t>(50, Tick);
  return w.Take();
}

std::optional<TDownPrepareRecord> TDownPrepareRecord::Unpack(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kSize) return std::nullopt;
  TReader r(bytes);
  TDownPrepareRecord rec;
  rec.UserSeq = r.Get<std::int32_t>(0);
  rec.OwnerSeq = r.Get<std::int32_t>(4);
  rec.UploaderSeq = r.Get<std::int32_t>(8);
  rec.FileSeq = r.Get<std::int32_t>(12);
  rec.ServerAddress = r.Short(16, 20);
  rec.NotifyService = r.Get<std::uint8_t>(37);
  rec.NotifyFlag2 = r.Get<std::uint8_t>(38);
  rec.StoredFileSeq = r.Get<std::int32_t>(39);
  rec.AdminShow = r.Get<std::uint8_t>(43);
  rec.Metered = r.Get<std::uint8_t>(44);
  rec.Tick = r.Get<std::uint32_t>(50);
  return rec;
}

Bytes TDownPrepareReplyRecord::Pack() const {
  TWriter w(kSize);
  w.Put<std::int32_t>(0, UserSeq);
  w.Short(16, 20, ServerAddress);
  w.Short(37, 30, Locator1);
  w.Short(68, 36, Locator2);
  w.Put<std::int32_t>(105, CoinUnit);
  w.Put<std::uint8_t>(116, FreeOwnFile);
  w.Put<std::uint32_t>(117, Tick);
  return w.Take();
}

std::optional<TDownPrepareReplyRecord> TDownPrepareReplyRecord::Unpack(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kSize) return std::nullopt;
  TReader r(bytes);
  TDownPrepareReplyRecord rec;
  rec.UserSeq = r.Get<std::int32_t>(0);
  rec.ServerAddress = r.Short(16, 20);
  rec.Locator1 = r.Short(37, 30);
  rec.Locator2 = r.Short(68, 36);
  rec.CoinUnit = r.Get<std::int32_t>(105);
  rec.FreeOwnFile = r.Get<std::uint8_t>(116);
  rec.Tick = r.Get<std::uint32_t>(117);
  return rec;
}

Bytes TDownRequestRecord::Pack() const {
  TWriter w(kSize);
  w.Put<std::int32_t>(0, UserSeq);
  w.Chars(4, 21, UserId);
  w.Put<std::int32_t>(25, OwnerSeq);
  w.Put<std::int32_t>(29, FileSeq);
  w.Put<std::int32_t>(33, UploaderSeq);
  w.Chars(37, 256, FileName);
  w.Chars(293, 31, Locator1);
  w.Chars(324, 31, Locator2);
  w.Put<std::int64_t>(355, Offset);
  w.Put<std::int32_t>(363, Unbilled);
  w.Put<std::int32_t>(367, BlockSize);
  w.Put<std::uint8_t>(371, Metered);
  w.Put<std::uint32_t>(372, Tick);
  return w.Take();
}

std::optional<TDownRequestRecord> TDownRequestRecord::Unpack(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kSize) return std::nullopt;
  TReader r(bytes);
  TDownRequestRecord rec;
  rec.UserSeq = r.Get<std::int32_t>(0);
  rec.UserId = r.Chars(4, 21);
  rec.OwnerSeq = r.Get<std::int32_t>(25);
  rec.FileSeq = r.Get<std::int32_t>(29);
  rec.UploaderSeq = r.Get<std::int32_t>(33);
  rec.FileName = r.Chars(37, 256);
  rec.Locator1 = r.Chars(293, 31);
  rec.Locator2 = r.Chars(324, 31);
  rec.Offset = r.Get<std::int64_t>(355);
  rec.Unbilled = r.Get<std::int32_t>(363);
  rec.BlockSize = r.Get<std::int32_t>(367);
  rec.Metered = r.Get<std::uint8_t>(371);
  rec.Tick = r.Get<std::uint32_t>(372);
  return rec;
}

Bytes TDownReplyRecord::Pack() const {
  TWriter w(kSize);
  w.Put<std::int32_t>(0, UserSeq);
  w.Put<std::uint32_t>(4, Tick);
  w.Put<std::int32_t>(9, CoinUnit);
  return w.Take();
}

std::optional<TDownReplyRecord> TDownReplyRecord::Unpack(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kSize) return std::nullopt;
  TReader r(bytes);
  TDownReplyRecord rec;
  rec.UserSeq = r.Get<std::int32_t>(0);
  rec.Tick = r.Get<std::uint32_t>(4);
  rec.CoinUnit = r.Get<std::int32_t>(9);
  return rec;
}

Bytes TDownEndedRecord::Pack() const {
  TWriter w(kSize);
  w.Put<std::int32_t>(0, UserSeq);
  w.Put<std::int64_t>(4, ConnectionBytes);
  w.Put<std::uint8_t>(12, NotifyService);
  w.Put<std::uint8_t>(13, NotifyFlag2);
  w.Put<std::int32_t>(14, OwnerSeq);
  w.Put<std::int32_t>(18, StoredFileSeq);
  w.Put<std::int32_t>(22, FileSeq);
  w.Put<std::int32_t>(26, UploaderSeq);
  w.Put<std::uint32_t>(38, Tick);
  return w.Take();
}

std::optional<TDownEndedRecord> TDownEndedRecord::Unpack(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kSize) return std::nullopt;
  TReader r(bytes);
  TDownEndedRecord rec;
  rec.UserSeq = r.Get<std::int32_t>(0);
  rec.ConnectionBytes = r.Get<std::int64_t>(4);
  rec.NotifyService = r.Get<std::uint8_t>(12);
  rec.NotifyFlag2 = r.Get<std::uint8_t>(13);
  rec.OwnerSeq = r.Get<std::int32_t>(14);
  rec.StoredFileSeq = r.Get<std::int32_t>(18);
  rec.FileSeq = r.Get<std::int32_t>(22);
  rec.UploaderSeq = r.Get<std::int32_t>(26);
  rec.Tick = r.Get<std::uint32_t>(38);
  return rec;
}

}  // namespace vantori
