#include "protocol/UStreams.h"

#include <algorithm>
#include <cstring>

namespace vantori {

void TStream::ReadBuffer(void* buffer, std::size_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EStreamError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, std::size_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EStreamError("Stream write error");
}

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
  if (FPosition >= FData.size()) return 0;
  const std::size_t n = std::min<std::uint64_t>(count, FData.size() - FPosition);
  std::memcpy(buffer, FData.data() + FPosition, n);
  FPosition += n;
  return n;
}

std::size_t TMemoryStream::Write(const void* buffer, std::size_t count) {
  if (count == 0) return 0;
  const std::uint64_t end = FPosition + count;
  if (end > FData.size()) FData.resize(end);
  std::memcpy(FData.data() + FPosition, buffer, count);
  FPosition = end;
  return count;
}

void TMemoryStream::SetSize(std::size_t size) {
  FData.resize(size);
  FPosition = std::min<std::uint64_t>(FPosition, size);
}

void TMemoryStream::Clear() {
  FData.clear();
  FPosition = 0;
}

std::vector<std::uint8_t> TMemoryStream::TakeBytes() {
  std::vector<std::uint8_t> out = std::move(FData);
  FData.clear();
  FPosition = 0;
  return out;
}

std::size_t TByteViewStream::Read(void* buffer, std::size_t count) {
  if (FPosition >= FBytes.size()) return 0;
  const std::size_t n = std::min<std::uint64_t>(count, FBytes.size() - FPosition);
  std::memcpy(buffer, FBytes.data() + FPosition, n);
  FPosition += n;
  return n;
}

}  // namespace vantori
