#pragma once
// Named blocks of shared memory, shared with the login launcher and the browser add-on.
//
// A block is a POSIX shared-memory object private to the user (mode 0600). Its object
// name is derived from the block name, the user and the runtime root, so copies of the
// program under different VANTORI_HOME roots never meet. Block layouts use little-endian
// integers and ShortString[n] fields (one length byte, then up to n bytes of cp949 text);
// a length byte larger than its field is read as the field's size.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vantori {

class ESharedMemoryError : public std::runtime_error {
 public:
  ESharedMemoryError(const std::string& message, int code) : std::runtime_error(message), FCode(code) {}
  int Code() const { return FCode; }

 private:
  int FCode;
};

// One named block, mapped read-write.
class TCustomSharedMemory {
 public:
  TCustomSharedMemory() = default;
  explicit TCustomSharedMemory(int size) : FSize(size) {}
  TCustomSharedMemory(const TCustomSharedMemory&) = delete;
  TCustomSharedMemory& operator=(const TCustomSharedMemory&) = delete;
  virtual ~TCustomSharedMemory();

  // Bytes to create and map (255 unless set). Takes effect at the next SetSMName.
  int Size() const { return FSize; }
  void SetSize(int value) { FSize = value; }

  const std::string& SMName() const { return FName; }
  // Opens the block of that name: closes the previous one, opens an existing block or
  // creates one of Size bytes (an existing smaller one is grown; the added bytes read as
  // zero), and maps Size bytes. The same name again does nothing; an empty name only
  // closes. Raises ESharedMemoryError "CreateFileMapping failed with error code <n>" or
  // "MapViewOfFile failed with error code <n>".
  void SetSMName(const std::string& name);

  // The mapped bytes; null while no block is open.
  std::uint8_t* Memory() const { return FView; }
  bool IsOpen() const { return FView != nullptr; }
  // Bytes actually mapped (Size at the time the block was opened).
  std::size_t MappedSize() const { return FMapped; }
  void Close();

  // Removes the block's name, so the next opener creates a new one; mappings stay valid.
  static void Unlink(const std::string& name);
  // The shared-memory object name used for a block name.
  static std::string ObjectName(const std::string& name);

 private:
  int FSize = 255;
  std::string FName;
  std::uint8_t* FView = nullptr;
  std::size_t FMapped = 0;
};

class TSMCustom : public TCustomSharedMemory {
 public:
  using TCustomSharedMemory::TCustomSharedMemory;
  // Copies Size bytes from data into the block; a null pointer or a closed block does nothing.
  void Write(const void* data);
};

// ---- Fields ----------------------------------------------------------------------------------

// The text of a ShortString[n] field (n + 1 bytes), its length clamped to n.
std::string ReadShortString(const std::uint8_t* field, std::size_t n);
// Zero-fills the n + 1 bytes of the field and stores at most n bytes of text.
void WriteShortString(std::uint8_t* field, std::size_t n, std::string_view text);
std::int32_t ReadInt32(const std::uint8_t* at);
void WriteInt32(std::uint8_t* at, std::int32_t value);

// ---- The blocks shared with the launcher --------------------------------------------------------

inline constexpr char kHandleInfoBlock[] = "SharedMemMainHandleInfo";
inline constexpr char kLoginInfoBlock[] = "SharedMemMainLoginInfo";
inline constexpr std::size_t kHandleInfoSize = 4;
inline constexpr std::size_t kLoginInfoSize = 79;

// The contents of "SharedMemMainLoginInfo".
struct TLoginBlock {
  std::uint32_t MainHandle = 0;  // offset 0
  std::uint32_t Unused = 0;      // offset 4
  std::string ServerAddress;     // offset 8, ShortString[20]
  std::int32_t UserSeq = 0;      // offset 29
  std::string UserID;            // offset 33, ShortString[21]
  std::string Password;          // offset 55, ShortString[21]
  std::uint8_t Accepted = 0;     // offset 77: 1 when the client accepted the login
  std::uint8_t LoginDialog = 0;  // offset 78: non-zero asks for the client's own dialog
};

inline constexpr std::size_t kLoginPasswordOffset = 55;
inline constexpr std::size_t kLoginAcceptedOffset = 77;

// Reads kLoginInfoSize bytes.
TLoginBlock ReadLoginBlock(const std::uint8_t* block);
// Writes kLoginInfoSize bytes; texts longer than their fields are cut.
void WriteLoginBlock(std::uint8_t* block, const TLoginBlock& info);
// Zero-fills the password field, once the client has taken the password.
void WipeLoginPassword(std::uint8_t* block);

}  // namespace vantori
