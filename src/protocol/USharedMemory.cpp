#include "protocol/USharedMemory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>

#include "platform/UPaths.h"

namespace vantori {

namespace {

[[noreturn]] void Fail(const char* what, int code) {
  throw ESharedMemoryError(std::string(what) + " failed with error code " + std::to_string(code), code);
}

// Opens or creates the object; returns the descriptor or raises.
int OpenObject(const std::string& objectName, std::size_t size) {
  int fd = shm_open(objectName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, S_IRUSR | S_IWUSR);
  if (fd < 0) Fail("CreateFileMapping", errno);
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    int code = errno;
    close(fd);
    Fail("CreateFileMapping", code);
  }
  // Only our own blocks are used, and they stay private to us.
  if (st.st_uid != geteuid()) {
    close(fd);
    Fail("CreateFileMapping", EACCES);
  }
  if ((st.st_mode & 0077) != 0 && fchmod(fd, S_IRUSR | S_IWUSR) != 0) {
    int code = errno;
    close(fd);
    Fail("CreateFileMapping", code);
  }
  if (static_cast<std::size_t>(st.st_size) < size && ftruncate(fd, static_cast<off_t>(size)) != 0) {
    int code = errno;
    close(fd);
    Fail("CreateFileMapping", code);
  }
  return fd;
}

}  // namespace

TCustomSharedMemory::~TCustomSharedMemory() {
  Close();
}

std::string TCustomSharedMemory::ObjectName(const std::string& name) {
  std::size_t root = std::hash<std::string>{}(RuntimeRoot());
  char prefix[64];
  std::snprintf(prefix, sizeof prefix, "/vantori-%u-%08zx-", static_cast<unsigned>(geteuid()),
                root & 0xFFFFFFFFu);
  std::string object = prefix;
  for (char ch : name) object += (ch == '/' ? '_' : ch);
  return object;
}

void TCustomSharedMemory::Unlink(const std::string& name) {
  shm_unlink(ObjectName(name).c_str());
}

void TCustomSharedMemory::Close() {
  if (FView != nullptr) munmap(FView, FMapped);
  FView = nullptr;
  FMapped = 0;
  FName.clear();
}

void TCustomSharedMemory::SetSMName(const std::string& name) {
  if (name == FName && (FView != nullptr || name.empty())) return;
  Close();
  if (name.empty()) return;
  if (FSize <= 0) Fail("MapViewOfFile", EINVAL);
  auto size = static_cast<std::size_t>(FSize);
  int fd = OpenObject(ObjectName(name), size);
  void* view = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  int code = errno;
  close(fd);
  if (view == MAP_FAILED) Fail("MapViewOfFile", code);
  FView = static_cast<std::uint8_t*>(view);
  FMapped = size;
  FName = name;
}

void TSMCustom::Write(const void* data) {
  if (data == nullptr || !IsOpen()) return;
  auto size = static_cast<std::size_t>(Size() > 0 ? Size() : 0);
  std::memcpy(Memory(), data, size < MappedSize() ? size : MappedSize());
}

std::string ReadShortString(const std::uint8_t* field, std::size_t n) {
  std::size_t length = field[0] < n ? field[0] : n;
  return std::string(reinterpret_cast<const char*>(field + 1), length);
}

void WriteShortString(std::uint8_t* field, std::size_t n, std::string_view text) {
  std::memset(field, 0, n + 1);
  std::size_t length = text.size() < n ? text.size() : n;
  field[0] = static_cast<std::uint8_t>(length);
  std::memcpy(field + 1, text.data(), length);
}

std::int32_t ReadInt32(const std::uint8_t* at) {
  std::uint32_t v = static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
                    static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
  return static_cast<std::int32_t>(v);
}

void WriteInt32(std::uint8_t* at, std::int32_t value) {
  auto v = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

TLoginBlock ReadLoginBlock(const std::uint8_t* b) {
  TLoginBlock info;
  info.MainHandle = static_cast<std::uint32_t>(ReadInt32(b));
  info.Unused = static_cast<std::uint32_t>(ReadInt32(b + 4));
  info.ServerAddress = ReadShortString(b + 8, 20);
  info.UserSeq = ReadInt32(b + 29);
  info.UserID = ReadShortString(b + 33, 21);
  info.Password = ReadShortString(b + kLoginPasswordOffset, 21);
  info.Accepted = b[kLoginAcceptedOffset];
  info.LoginDialog = b[78];
  return info;
}

void WriteLoginBlock(std::uint8_t* b, const TLoginBlock& info) {
  WriteInt32(b, static_cast<std::int32_t>(info.MainHandle));
  WriteInt32(b + 4, static_cast<std::int32_t>(info.Unused));
  WriteShortString(b + 8, 20, info.ServerAddress);
  WriteInt32(b + 29, info.UserSeq);
  WriteShortString(b + 33, 21, info.UserID);
  WriteShortString(b + kLoginPasswordOffset, 21, info.Password);
  b[kLoginAcceptedOffset] = info.Accepted;
  b[78] = info.LoginDialog;
}

void WipeLoginPassword(std::uint8_t* block) {
  volatile std::uint8_t* field = block + kLoginPasswordOffset;
  for (std::size_t i = 0; i < 22; ++i) field[i] = 0;
}

}  // namespace vantori
