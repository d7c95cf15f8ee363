#pragma once
// Byte streams with a position, as the cipher and the message layer use them.

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

namespace vantori {

// A stream delivered fewer bytes than asked for, or accepted fewer than given.
class EStreamError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TStream {
 public:
  virtual ~TStream() = default;

  // Reads up to `count` bytes at the position and advances it; returns the bytes read.
  virtual std::size_t Read(void* buffer, std::size_t count) = 0;
  // Writes up to `count` bytes at the position and advances it; returns the bytes written.
  virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
  virtual std::uint64_t Size() const = 0;
  virtual std::uint64_t Position() const = 0;
  virtual void SetPosition(std::uint64_t position) = 0;

  // Reads exactly `count` bytes or raises "Stream read error".
  void ReadBuffer(void* buffer, std::size_t count);
  // Writes exactly `count` bytes or raises "Stream write error".
  void WriteBuffer(const void* buffer, std::size_t count);
};

// A growable stream in memory. Writing past the end extends it.
class TMemoryStream final : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::span<const std::uint8_t> content) : FData(content.begin(), content.end()) {}

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::uint64_t Size() const override { return FData.size(); }
  std::uint64_t Position() const override { return FPosition; }
  void SetPosition(std::uint64_t position) override { FPosition = position; }

  // Truncates or zero-extends; the position is kept within the new size.
  void SetSize(std::size_t size);
  void Clear();
  void Reserve(std::size_t size) { FData.reserve(size); }

  std::span<const std::uint8_t> Bytes() const { return FData; }
  std::uint8_t* Memory() { return FData.data(); }
  // Hands the content over and leaves the stream empty.
  std::vector<std::uint8_t> TakeBytes();

 private:
  std::vector<std::uint8_t> FData;
  std::uint64_t FPosition = 0;
};

// A read-only stream over bytes owned by someone else; writes are refused.
class TByteViewStream final : public TStream {
 public:
  explicit TByteViewStream(std::span<const std::uint8_t> bytes) : FBytes(bytes) {}

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void*, std::size_t) override { return 0; }
  std::uint64_t Size() const override { return FBytes.size(); }
  std::uint64_t Position() const override { return FPosition; }
  void SetPosition(std::uint64_t position) override { FPosition = position; }

 private:
  std::span<const std::uint8_t> FBytes;
  std::uint64_t FPosition = 0;
};

}  // namespace vantori
