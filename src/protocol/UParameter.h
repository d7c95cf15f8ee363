#pragma once
// One message of the wire protocol: an ordered list of typed, named values and its
// self-describing byte encoding. Every request, reply and notice on every connection
// is one of these.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/UStreams.h"

namespace vantori {

// Byte strings in the Korean ANSI code page (cp949). Never assumed to be UTF-8.
using ByteString = std::string;
using Bytes = std::vector<std::uint8_t>;

class EParamError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The one-byte type tags; the same numbers are the in-memory type.
enum class ParamType : std::uint8_t {
  None = 0,
  String = 0x01,
  Word = 0x02,
  Integer = 0x03,
  Int64 = 0x04,
  Real = 0x05,
  PChar = 0x06,
  Boolean = 0x07,
  ShortInt = 0x08,
  Extended = 0x09,
  SmallInt = 0x0A,
  Byte = 0x0B,
  LongWord = 0x0C,
  Encript = 0x0D,
};

// The type name of a tag as the protocol spells it ("String", "Word", ...); "" for no tag.
std::string_view ParamTypeName(ParamType type);
// The tag of a type name; ParamType::None when there is no such name.
ParamType ParamTypeFromName(std::string_view name);

// One value of a message. Only the slot of its own type is meaningful.
class TParamDef {
 public:
  TParamDef() = default;

  const ByteString& Name() const { return FName; }
  ParamType Type() const { return FParamType; }

  ByteString AsString() const;
  std::int32_t AsInteger() const;
  std::int64_t AsInt64() const;
  double AsReal() const;
  long double AsExtended() const;
  bool AsBoolean() const;
  // The bytes of a PChar value; any other type raises "Not valid pchar".
  const std::uint8_t* AsData() const;
  std::uint32_t DataSize() const { return static_cast<std::uint32_t>(FData.size()); }
  // The PChar (or Encript block) bytes as a view; empty for other types.
  std::span<const std::uint8_t> Data() const { return FData; }

  // The raw 10 bytes of an Extended value as they travel.
  const std::uint8_t* ExtendedBytes() const { return FExtended; }
  // The stored integer of any integer type, widened without reinterpretation.
  std::int64_t RawInteger() const { return FInt; }
  // The stored Boolean byte as sent.
  std::uint8_t RawBoolean() const { return static_cast<std::uint8_t>(FInt); }

 private:
  friend class TDataParameter;

  ByteString FName;
  ParamType FParamType = ParamType::None;
  std::int64_t FInt = 0;         // every integer type and the Boolean byte
  double FReal = 0.0;            // Real
  std::uint8_t FExtended[10]{};  // Extended, as x87 80-bit little-endian
  ByteString FText;              // String
  Bytes FData;                   // PChar and Encript (the whole encrypted block)
};

// A message. Copyable: a message handed to another thread is copied, never shared.
class TDataParameter {
 public:
  TDataParameter() = default;
  TDataParameter(const TDataParameter& other);
  TDataParameter& operator=(const TDataParameter& other);
  TDataParameter(TDataParameter&&) noexcept = default;
  TDataParameter& operator=(TDataParameter&&) noexcept = default;
  ~TDataParameter() = default;

  void Clear();
  int Count() const { return static_cast<int>(FParams.size()); }
  // Raises "The parameter index [i] does not exist !" when out of range.
  const TParamDef& Params(int index) const;
  // First parameter whose name matches with ASCII letters folded; raises
  // "The parameter name ('name') does not exist !" when there is none.
  const TParamDef& ParamByName(std::string_view name) const;
  // The first parameter of that name, or nullptr. For callers that treat absence as data.
  const TParamDef* FindParam(std::string_view name) const;

  void AddString(std::string_view name, std::string_view text);
  // Narrows to the first of ShortInt, Byte, SmallInt, Word, Integer, LongWord, Int64 that holds the value.
  void AddInteger(std::string_view name, std::int64_t value);
  void AddReal(std::string_view name, double value);
  void AddExtended(std::string_view name, long double value);
  void AddBoolean(std::string_view name, std::uint8_t flag);
  void AddBoolean(std::string_view name, bool flag) {
    AddBoolean(name, static_cast<std::uint8_t>(flag ? 1 : 0));
  }
  void AddData(std::string_view name, const void* bytes, std::size_t size);
  // The whole content of a memory stream, whatever its position.
  void AddStream(std::string_view name, std::span<const std::uint8_t> content);
  void AddStream(std::string_view name, const TMemoryStream& stream) { AddStream(name, stream.Bytes()); }
  // An encrypted value built from the content with the key of `seed` (senders pass the tick count).
  void AddEncript(std::string_view name, std::span<const std::uint8_t> content, std::uint32_t seed);
  void AddEncript(std::string_view name, const TMemoryStream& stream, std::uint32_t seed) {
    AddEncript(name, stream.Bytes(), seed);
  }

  // Adds a value with an explicit tag, for tools and tests that must reproduce a peer's
  // exact bytes (an integer in a wider tag than AddInteger would choose, say).
  void AddTyped(std::string_view name, ParamType type, std::int64_t value);

  // The encoding, owned by the object and valid until the next Encode, Decode or destruction.
  std::span<const std::uint8_t> Encode();
  // Clears the object and rebuilds it from an encoded message. On error the values
  // decoded so far stay and EParamError is raised.
  void Decode(const std::uint8_t* bytes, std::size_t length);
  void Decode(std::span<const std::uint8_t> bytes) { Decode(bytes.data(), bytes.size()); }

  bool Decoding() const { return FDecoding; }
  // After a failed Decode: the offset at which the failing parameter (or the count) starts.
  // The failing parameter's index is Count(), since the ones before it stay.
  std::size_t DecodeErrorOffset() const { return FDecodeErrorOffset; }

 private:
  TParamDef& Append(std::string_view name, ParamType type);
  void DecodeParams(const std::uint8_t* bytes, std::size_t length);

  std::vector<TParamDef> FParams;
  Bytes FBuffer;
  bool FDecoding = false;
  std::size_t FDecodeErrorOffset = 0;
};

}  // namespace vantori
