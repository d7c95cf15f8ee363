#pragma once
// The packed records of the download conversations (little-endian; text fields NUL-padded
// char[n] or length-prefixed short strings), shared by the engine and the reference servers,
// and the message types of both transfer protocols.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vantori {

using ByteString = std::string;
using Bytes = std::vector<std::uint8_t>;

namespace msg {
// With the main server.
inline constexpr int kDownPrepare = 1209;
inline constexpr int kDownPrepareReply = 1210;
inline constexpr int kDownEnded = 1178;
inline constexpr int kDownEndedReply = 1179;
inline constexpr int kUpRegister = 548;
inline constexpr int kUpRegisterAdmin = 1184;
inline constexpr int kUpRegisterReply = 549;
inline constexpr int kUpRegisterReplyAlt = 51;
inline constexpr int kRegisterFolder = 256;
inline constexpr int kRegisterFolderReply = 257;
// With the download storage server.
inline constexpr int kDownRequest = 63;
inline constexpr int kDownReply = 64;
inline constexpr int kDownStart = 67;
inline constexpr int kDownData = 68;
inline constexpr int kDownInspect = 101;
inline constexpr int kDownStopped = 117;
inline constexpr int kDownSpeedOver = 524;
// With the upload server.
inline constexpr int kUpAnnounce = 52;
inline constexpr int kUpAnnounceReply = 53;
inline constexpr int kUpData = 56;
inline constexpr int kUpResult = 57;
inline constexpr int kUpTooManyUsers = 102;
inline constexpr int kUpStop = 110;
inline constexpr int kUpPause = 111;
inline constexpr int kUpComplete = 112;
inline constexpr int kUpStopped = 116;
}  // namespace msg

// Server error codes the engines act on.
namespace code {
inline constexpr int kDownAllStopped = 21009;
inline constexpr int kNoCoins = 21022;
inline constexpr int kDuplicateDownUser = 21047;
inline constexpr int kDownMsg1 = 21049;
inline constexpr int kDownMsg2 = 21051;
inline constexpr int kUpAllStopped = 21008;
inline constexpr int kUpMsg1 = 21048;
inline constexpr int kUpMsg2 = 21050;
inline constexpr int kUpMsg3 = 21052;
}  // namespace code

// Preparation request (1209 "D"), 54 bytes.
struct TDownPrepareRecord {
  static constexpr std::size_t kSize = 54;
  std::int32_t UserSeq = 0;
  std::int32_t OwnerSeq = 0;
  std::int32_t UploaderSeq = 0;
  std::int32_t FileSeq = 0;
  ByteString ServerAddress;  // short string[20]
  std::uint8_t NotifyService = 0;
  std::uint8_t NotifyFlag2 = 0;
  std::int32_t StoredFileSeq = 0;
  std::uint8_t AdminShow = 0;
  std::uint8_t Metered = 0;
  std::uint32_t Tick = 0;

  Bytes Pack() const;
  static std::optional<TDownPrepareRecord> Unpack(std::span<const std::uint8_t> bytes);
};

// Preparation reply (1210 "D"), 121 bytes.
struct TDownPrepareReplyRecord {
  static constexpr std::size_t kSize = 121;
  std::int32_t UserSeq = 0;
  ByteString ServerAddress;  // short string[20]
  ByteString Locator1;       // short string[30]
  ByteString Locator2;       // short string, at most 36 bytes
  std::int32_t CoinUnit = 0;
  std::uint8_t FreeOwnFile = 0;
  std::uint32_t Tick = 0;

  Bytes Pack() const;
  static std::optional<TDownPrepareReplyRecord> Unpack(std::span<const std::uint8_t> bytes);
};

// Download request (63 "D"), 376 bytes.
struct TDownRequestRecord {
  static constexpr std::size_t kSize = 376;
  std::int32_t UserSeq = 0;
  ByteString UserId;  // char[21]
  std::int32_t OwnerSeq = 0;
  std::int32_t FileSeq = 0;
  std::int32_t UploaderSeq = 0;
  ByteString FileName;  // char[256]
  ByteString Locator1;  // char[31]
  ByteString Locator2;  // char[31]
  std::int64_t Offset = 0;
  std::int32_t Unbilled = 0;
  std::int32_t BlockSize = 0;
  std::uint8_t Metered = 0;
  std::uint32_t Tick = 0;

  Bytes Pack() const;
  static std::optional<TDownRequestRecord> Unpack(std::span<const std::uint8_t> bytes);
};

// Download reply (64 "D"), 17 bytes.
struct TDownReplyRecord {
  static constexpr std::size_t kSize = 17;
  std::int32_t UserSeq = 0;
  std::uint32_t Tick = 0;
  std::int32_t CoinUnit = 0;

  Bytes Pack() const;
  static std::optional<TDownReplyRecord> Unpack(std::span<const std::uint8_t> bytes);
};

// Completion notice (1178 "D"), 42 bytes.
struct TDownEndedRecord {
  static constexpr std::size_t kSize = 42;
  std::int32_t UserSeq = 0;
  std::int64_t ConnectionBytes = 0;
  std::uint8_t NotifyService = 0;
  std::uint8_t NotifyFlag2 = 0;
  std::int32_t OwnerSeq = 0;
  std::int32_t StoredFileSeq = 0;
  std::int32_t FileSeq = 0;
  std::int32_t UploaderSeq = 0;
  std::uint32_t Tick = 0;

  Bytes Pack() const;
  static std::optional<TDownEndedRecord> Unpack(std::span<const std::uint8_t> bytes);
};

// A reply is fresh when at most 10000 ms lie between the tick it echoes and now.
inline bool ReplyTickFresh(std::uint32_t now, std::uint32_t echoed) {
  return now - echoed <= 10000u;
}

}  // namespace vantori
