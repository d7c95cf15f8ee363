#include "protocol/UParameter.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "protocol/UAES.h"

namespace vantori {
namespace {

static_assert(LDBL_MANT_DIG == 64, "Extended values are held in the x87 80-bit long double");

// ---------------------------------------------------------------------------------------
// Error wrapping: every elementary writer and reader re-raises what goes wrong inside it
// with its own name in front.

template <class F>
auto Wrapped(std::string_view routine, F&& body) -> decltype(body()) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    throw EParamError(std::string(routine) + " Out of memory");
  } catch (const std::exception& e) {
    throw EParamError(std::string(routine) + " " + e.what());
  }
}

// ---------------------------------------------------------------------------------------
// Writing

class Writer {
 public:
  explicit Writer(Bytes& out) : FOut(out) {}

  void Tag(ParamType type) { FOut.push_back(static_cast<std::uint8_t>(type)); }
  void Raw(const void* bytes, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    FOut.insert(FOut.end(), p, p + size);
  }
  template <class T>
  void Le(T value) {
    using U = std::make_unsigned_t<T>;
    U u = static_cast<U>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i) {
      FOut.push_back(static_cast<std::uint8_t>(u & 0xFF));
      if constexpr (sizeof(T) > 1) u = static_cast<U>(u >> 8);
    }
  }

  void Integer(std::int32_t v) {
    Wrapped("MakeInteger", [&] {
      Tag(ParamType::Integer);
      Le(v);
    });
  }

  void String(std::string_view text) {
    Wrapped("MakeString", [&] {
      if (text.size() > std::numeric_limits<std::uint32_t>::max())
        throw EParamError("Text of " + std::to_string(text.size()) + " bytes is too long for a message");
      Tag(ParamType::String);
      if (text.size() <= 0xFF) {
        Tag(ParamType::Byte);
        Le(static_cast<std::uint8_t>(text.size()));
      } else if (text.size() <= 0xFFFF) {
        Tag(ParamType::Word);
        Le(static_cast<std::uint16_t>(text.size()));
      } else {
        Tag(ParamType::LongWord);
        Le(static_cast<std::uint32_t>(text.size()));
      }
      Raw(text.data(), text.size());
    });
  }

  // PChar and Encript: tag, the length as an Integer value, the bytes.
  void Block(std::string_view routine, ParamType type, const Bytes& data) {
    Wrapped(routine, [&] {
      if (data.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        throw EParamError("Data of " + std::to_string(data.size()) + " bytes is too long for a message");
      Tag(type);
      Integer(static_cast<std::int32_t>(data.size()));
      Raw(data.data(), data.size());
    });
  }

 private:
  Bytes& FOut;
};

// The encoded size of a String value.
std::size_t StringSize(std::size_t length) {
  return 1 + (length <= 0xFF ? 2 : length <= 0xFFFF ? 3 : 5) + length;
}

// ---------------------------------------------------------------------------------------
// Reading: every read is bounded by the length handed to Decode.

class Reader {
 public:
  Reader(const std::uint8_t* bytes, std::size_t length) : FBytes(bytes), FLength(length) {}

  std::size_t Position() const { return FPos; }
  std::size_t Left() const { return FLength - FPos; }

  void Need(std::size_t count) const {
    if (Left() < count)
      throw EParamError("Unexpected end of message at offset " + std::to_string(FPos) + " (need " +
                        std::to_string(count) + " bytes, " + std::to_string(Left()) + " left)");
  }
  std::uint8_t Peek() const {
    Need(1);
    return FBytes[FPos];
  }
  // Consumes the tag of `type` or raises `mismatch`.
  void ExpectTag(ParamType type, const char* mismatch) {
    if (Peek() != static_cast<std::uint8_t>(type)) throw EParamError(mismatch);
    ++FPos;
  }
  template <class T>
  T Le() {
    Need(sizeof(T));
    using U = std::make_unsigned_t<T>;
    U u = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) u = static_cast<U>(u | (U(FBytes[FPos + i]) << (8 * i)));
    FPos += sizeof(T);
    return static_cast<T>(u);
  }
  const std::uint8_t* Take(std::size_t count) {
    Need(count);
    const std::uint8_t* p = FBytes + FPos;
    FPos += count;
    return p;
  }

 private:
  const std::uint8_t* FBytes;
  std::size_t FLength;
  std::size_t FPos = 0;
};

template <class T>
T ParseFixed(Reader& r, ParamType type, const char* routine, const char* mismatch) {
  return Wrapped(routine, [&] {
    r.ExpectTag(type, mismatch);
    return r.Le<T>();
  });
}

std::int8_t ParseShortInt(Reader& r) {
  return ParseFixed<std::int8_t>(r, ParamType::ShortInt, "ParseShortInt",
                                 "Parse ShortInt not valid data type(ShortInt) !");
}
std::uint8_t ParseByte(Reader& r) {
  return ParseFixed<std::uint8_t>(r, ParamType::Byte, "ParseByte", "Parse Byte not valid data type(Byte) !");
}
std::int16_t ParseSmallInt(Reader& r) {
  return ParseFixed<std::int16_t>(r, ParamType::SmallInt, "ParseSmallInt",
                                  "Parse SmallInt not valid data type(SmallInt) !");
}
std::uint16_t ParseWord(Reader& r) {
  return ParseFixed<std::uint16_t>(r, ParamType::Word, "ParseWord", "Parse Word not valid data type(Word) !");
}
std::uint32_t ParseLongWord(Reader& r) {
  return ParseFixed<std::uint32_t>(r, ParamType::LongWord, "ParseLongWord",
                                   "Parse LongWord not valid data type(LongWord) !");
}
std::int32_t ParseInteger(Reader& r) {
  return ParseFixed<std::int32_t>(r, ParamType::Integer, "ParseInteger",
                                  "Parse Integer not valid data type(integer) !");
}
std::int64_t ParseInt64(Reader& r) {
  return ParseFixed<std::int64_t>(r, ParamType::Int64, "ParseInt64",
                                  "Parse Int64 not valid data type(Int64) !");
}
std::uint8_t ParseBoolean(Reader& r) {
  return ParseFixed<std::uint8_t>(r, ParamType::Boolean, "ParseBoolean",
                                  "Parse Boolean not valid data type(Boolean) !");
}
double ParseReal(Reader& r) {
  const auto bits =
      ParseFixed<std::uint64_t>(r, ParamType::Real, "ParseReal", "Parse Real not valid data type(Real) !");
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}
const std::uint8_t* ParseExtended(Reader& r) {
  return Wrapped("ParseExtended", [&] {
    r.ExpectTag(ParamType::Extended, "Parse Extended not valid data type(Extended) !");
    return r.Take(10);
  });
}

// A String value: tag, length form (Byte, Word or LongWord value), bytes. The text ends at
// the first NUL inside the declared length; the position passes the whole length.
std::string_view ParseString(Reader& r) {
  return Wrapped("ParseString", [&] {
    r.ExpectTag(ParamType::String, "Parse String not valid data type(String) !");
    std::size_t length = 0;
    switch (static_cast<ParamType>(r.Peek())) {
      case ParamType::Byte:
        length = ParseByte(r);
        break;
      case ParamType::Word:
        length = ParseWord(r);
        break;
      case ParamType::LongWord:
        length = ParseLongWord(r);
        break;
      default:
        throw EParamError("Not valid string length type !");
    }
    const auto* p = reinterpret_cast<const char*>(r.Take(length));
    const void* nul = std::memchr(p, 0, length);
    return std::string_view(p, nul ? static_cast<const char*>(nul) - p : length);
  });
}

// The length of a PChar or Encript block, checked against what is left before anything
// is allocated.
std::size_t ParseBlockLength(Reader& r) {
  const std::int32_t length = ParseInteger(r);
  if (length < 0) throw EParamError("Invalid data length " + std::to_string(length));
  r.Need(static_cast<std::size_t>(length));
  return static_cast<std::size_t>(length);
}

std::span<const std::uint8_t> ParsePChar(Reader& r) {
  return Wrapped("ParsePChar", [&] {
    r.ExpectTag(ParamType::PChar, "Parse PChar not valid data type(PChar) !");
    const std::size_t length = ParseBlockLength(r);
    return std::span<const std::uint8_t>(r.Take(length), length);
  });
}

// An Encript block: seed word, plain length, ciphertext. Returns the decrypted bytes,
// zero fill included.
Bytes ParseMemory(Reader& r) {
  return Wrapped("ParseMemory", [&] {
    r.ExpectTag(ParamType::Encript, "Parse Encript not valid data type(Encript) !");
    const std::size_t length = ParseBlockLength(r);
    if (length < 8)
      throw EParamError("Encrypted block of " + std::to_string(length) + " bytes is shorter than its header");
    const std::uint32_t word = r.Le<std::uint32_t>();
    r.Le<std::int32_t>();  // the plain length; receivers know their record sizes
    const std::size_t cipherLength = length - 8;
    TByteViewStream source(std::span<const std::uint8_t>(r.Take(cipherLength), cipherLength));
    TMemoryStream plain;
    plain.Reserve(cipherLength);
    DecryptStream(source, 0, SeedToKey(SeedFromTransport(word)), plain);
    return plain.TakeBytes();
  });
}

// ---------------------------------------------------------------------------------------
// Reader conversions

[[noreturn]] void NotValidType() {
  throw EParamError("Not Valid param type !");
}

bool IsIntegerType(ParamType t) {
  switch (t) {
    case ParamType::ShortInt:
    case ParamType::Byte:
    case ParamType::SmallInt:
    case ParamType::Word:
    case ParamType::Integer:
    case ParamType::LongWord:
    case ParamType::Int64:
      return true;
    default:
      return false;
  }
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::int32_t TextToInteger(const std::string& text) {
  std::string_view s = TrimBlanks(text);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  std::int32_t v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size())
    throw EParamError("Text '" + text + "' is not a 32-bit decimal integer");
  return v;
}

long double TextToFloat(const std::string& text) {
  std::string_view s = TrimBlanks(text);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  long double v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size())
    throw EParamError("Text '" + text + "' is not a decimal number");
  return v;
}

// Rounds to the nearest integer, ties to even.
std::int64_t RoundToInt64(long double v) {
  constexpr long double kLimit = 9223372036854775808.0L;  // 2^63
  long double r = std::trunc(v);
  const long double frac = v - r;
  if (std::fabs(frac) > 0.5L || (std::fabs(frac) == 0.5L && std::fmod(r, 2.0L) != 0))
    r += std::signbit(v) ? -1.0L : 1.0L;
  if (!(r >= -kLimit && r < kLimit)) throw EParamError("Value is out of the range of a 64-bit integer");
  return static_cast<std::int64_t>(r);
}

std::string FormatGeneral(long double v) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
  return std::string(buf, res.ptr);
}

long double ExtendedValue(const std::uint8_t* bytes) {
  long double v = 0;
  std::memcpy(&v, bytes, 10);
  return v;
}

std::int32_t Low32(std::int64_t v) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
}

bool AsciiEqualFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto up = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
    if (up(a[i]) != up(b[i])) return false;
  }
  return true;
}

struct TypeName {
  ParamType type;
  std::string_view name;
};
constexpr TypeName kTypeNames[] = {
    {ParamType::String, "String"},     {ParamType::Word, "Word"},         {ParamType::Integer, "Integer"},
    {ParamType::Int64, "Int64"},       {ParamType::Real, "Real"},         {ParamType::PChar, "PChar"},
    {ParamType::Boolean, "Boolean"},   {ParamType::ShortInt, "ShortInt"}, {ParamType::Extended, "Extended"},
    {ParamType::SmallInt, "SmallInt"}, {ParamType::Byte, "Byte"},         {ParamType::LongWord, "LongWord"},
    {ParamType::Encript, "Encript"},
};

}  // namespace

std::string_view ParamTypeName(ParamType type) {
  for (const auto& t : kTypeNames)
    if (t.type == type) return t.name;
  return {};
}

ParamType ParamTypeFromName(std::string_view name) {
  for (const auto& t : kTypeNames)
    if (t.name == name) return t.type;
  return ParamType::None;
}

// ---------------------------------------------------------------------------------------
// TParamDef

namespace {
template <class F>
auto ReaderCall(const ByteString& name, F&& body) -> decltype(body()) {
  try {
    return body();
  } catch (const std::exception& e) {
    throw EParamError("Name : " + name + " " + e.what());
  }
}
}  // namespace

ByteString TParamDef::AsString() const {
  return ReaderCall(FName, [&]() -> ByteString {
    if (IsIntegerType(FParamType)) return std::to_string(FInt);
    switch (FParamType) {
      case ParamType::String:
        return FText;
      case ParamType::Real:
        return FormatGeneral(FReal);
      case ParamType::Extended:
        return FormatGeneral(ExtendedValue(FExtended));
      case ParamType::Boolean:
        return std::to_string(RawBoolean());
      case ParamType::PChar:
      case ParamType::Encript:
        return {};
      default:
        NotValidType();
    }
  });
}

std::int32_t TParamDef::AsInteger() const {
  return ReaderCall(FName, [&]() -> std::int32_t {
    if (IsIntegerType(FParamType)) return Low32(FInt);
    switch (FParamType) {
      case ParamType::String:
        return TextToInteger(FText);
      case ParamType::Real:
        return Low32(RoundToInt64(FReal));
      case ParamType::Extended:
        return Low32(RoundToInt64(ExtendedValue(FExtended)));
      case ParamType::Boolean:
        return RawBoolean();
      case ParamType::PChar:
      case ParamType::Encript:
        return -1;
      default:
        NotValidType();
    }
  });
}

std::int64_t TParamDef::AsInt64() const {
  return ReaderCall(FName, [&]() -> std::int64_t {
    if (IsIntegerType(FParamType)) return FInt;
    switch (FParamType) {
      case ParamType::String:
        return TextToInteger(FText);
      case ParamType::Real:
        return RoundToInt64(FReal);
      case ParamType::Extended:
        return RoundToInt64(ExtendedValue(FExtended));
      case ParamType::Boolean:
        return static_cast<std::int8_t>(RawBoolean());
      default:
        NotValidType();
    }
  });
}

long double TParamDef::AsExtended() const {
  return ReaderCall(FName, [&]() -> long double {
    if (IsIntegerType(FParamType)) return static_cast<long double>(FInt);
    switch (FParamType) {
      case ParamType::String:
        return TextToFloat(FText);
      case ParamType::Real:
        return FReal;
      case ParamType::Extended:
        return ExtendedValue(FExtended);
      case ParamType::Boolean:
        return static_cast<std::int8_t>(RawBoolean());
      case ParamType::PChar:
      case ParamType::Encript:
        return -1;
      default:
        NotValidType();
    }
  });
}

double TParamDef::AsReal() const {
  if (FParamType == ParamType::Real) return FReal;
  if (FParamType == ParamType::String) {
    // Parsed straight to double so that a text rounds once, not twice.
    return ReaderCall(FName, [&]() -> double {
      std::string_view s = TrimBlanks(FText);
      if (!s.empty() && s.front() == '+') s.remove_prefix(1);
      double v = 0;
      const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
      if (s.empty() || ec != std::errc() || end != s.data() + s.size())
        throw EParamError("Text '" + FText + "' is not a decimal number");
      return v;
    });
  }
  return static_cast<double>(AsExtended());
}

bool TParamDef::AsBoolean() const {
  return ReaderCall(FName, [&]() -> bool {
    if (IsIntegerType(FParamType)) return (FInt & 0xFF) != 0;
    switch (FParamType) {
      case ParamType::String:
        return FText == "T";
      case ParamType::Real:
        return (RoundToInt64(FReal) & 0xFF) != 0;
      case ParamType::Extended:
        return (RoundToInt64(ExtendedValue(FExtended)) & 0xFF) != 0;
      case ParamType::Boolean:
        return RawBoolean() != 0;
      case ParamType::PChar:
      case ParamType::Encript:
        return false;
      default:
        NotValidType();
    }
  });
}

const std::uint8_t* TParamDef::AsData() const {
  if (FParamType != ParamType::PChar) throw EParamError("Name : " + FName + " Not valid pchar");
  return FData.data();
}

// ---------------------------------------------------------------------------------------
// TDataParameter

TDataParameter::TDataParameter(const TDataParameter& other) : FParams(other.FParams) {}

TDataParameter& TDataParameter::operator=(const TDataParameter& other) {
  if (this != &other) {
    FParams = other.FParams;
    FBuffer.clear();
    FDecoding = false;
    FDecodeErrorOffset = 0;
  }
  return *this;
}

void TDataParameter::Clear() {
  FParams.clear();
}

const TParamDef& TDataParameter::Params(int index) const {
  if (index < 0 || index >= Count())
    throw EParamError("The parameter index [" + std::to_string(index) + "] does not exist !");
  return FParams[static_cast<std::size_t>(index)];
}

const TParamDef* TDataParameter::FindParam(std::string_view name) const {
  for (const auto& p : FParams)
    if (AsciiEqualFolded(p.FName, name)) return &p;
  return nullptr;
}

const TParamDef& TDataParameter::ParamByName(std::string_view name) const {
  if (const TParamDef* p = FindParam(name)) return *p;
  throw EParamError("The parameter name ('" + std::string(name) + "') does not exist !");
}

TParamDef& TDataParameter::Append(std::string_view name, ParamType type) {
  TParamDef& p = FParams.emplace_back();
  p.FName.assign(name);
  p.FParamType = type;
  return p;
}

void TDataParameter::AddString(std::string_view name, std::string_view text) {
  Append(name, ParamType::String).FText.assign(text);
}

void TDataParameter::AddInteger(std::string_view name, std::int64_t value) {
  ParamType type;
  if (value >= -128 && value <= 127)
    type = ParamType::ShortInt;
  else if (value >= 0 && value <= 255)
    type = ParamType::Byte;
  else if (value >= -32768 && value <= 32767)
    type = ParamType::SmallInt;
  else if (value >= 0 && value <= 65535)
    type = ParamType::Word;
  else if (value >= std::numeric_limits<std::int32_t>::min() &&
           value <= std::numeric_limits<std::int32_t>::max())
    type = ParamType::Integer;
  else if (value >= 0 && value <= 4294967295LL)
    type = ParamType::LongWord;
  else
    type = ParamType::Int64;
  Append(name, type).FInt = value;
}

void TDataParameter::AddTyped(std::string_view name, ParamType type, std::int64_t value) {
  struct Range {
    ParamType type;
    const char* routine;
    std::int64_t lo, hi;
  };
  static constexpr Range kRanges[] = {
      {ParamType::ShortInt, "MakeShortInt", -128, 127},
      {ParamType::Byte, "MakeByte", 0, 255},
      {ParamType::SmallInt, "MakeSmallInteger", -32768, 32767},
      {ParamType::Word, "MakeWord", 0, 65535},
      {ParamType::Integer, "MakeInteger", std::numeric_limits<std::int32_t>::min(),
       std::numeric_limits<std::int32_t>::max()},
      {ParamType::LongWord, "MakeLongWord", 0, 4294967295LL},
      {ParamType::Int64, "MakeInt64", std::numeric_limits<std::int64_t>::min(),
       std::numeric_limits<std::int64_t>::max()},
      {ParamType::Boolean, "MakeBoolean", 0, 255},
  };
  for (const auto& r : kRanges) {
    if (r.type != type) continue;
    if (value < r.lo || value > r.hi)
      throw EParamError(std::string(r.routine) + " Value " + std::to_string(value) + " does not fit a " +
                        std::string(ParamTypeName(type)));
    Append(name, type).FInt = value;
    return;
  }
  throw EParamError("Type " + std::to_string(static_cast<int>(type)) + " is not an integer or Boolean type");
}

void TDataParameter::AddReal(std::string_view name, double value) {
  Append(name, ParamType::Real).FReal = value;
}

void TDataParameter::AddExtended(std::string_view name, long double value) {
  std::memcpy(Append(name, ParamType::Extended).FExtended, &value, 10);
}

void TDataParameter::AddBoolean(std::string_view name, std::uint8_t flag) {
  Append(name, ParamType::Boolean).FInt = flag;
}

void TDataParameter::AddData(std::string_view name, const void* bytes, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(bytes);
  Append(name, ParamType::PChar).FData.assign(p, p + size);
}

void TDataParameter::AddStream(std::string_view name, std::span<const std::uint8_t> content) {
  AddData(name, content.data(), content.size());
}

void TDataParameter::AddEncript(std::string_view name, std::span<const std::uint8_t> content,
                                std::uint32_t seed) {
  Bytes block = Wrapped("MakeEncript", [&] {
    if (content.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()) - 8 - 16)
      throw EParamError("Data of " + std::to_string(content.size()) + " bytes is too long for a message");
    TMemoryStream out;
    out.Reserve(8 + (content.size() + 15) / 16 * 16);
    const std::uint32_t word = SeedToTransport(seed);
    const auto plain = static_cast<std::uint32_t>(content.size());
    const std::uint8_t header[8] = {
        static_cast<std::uint8_t>(word),        static_cast<std::uint8_t>(word >> 8),
        static_cast<std::uint8_t>(word >> 16),  static_cast<std::uint8_t>(word >> 24),
        static_cast<std::uint8_t>(plain),       static_cast<std::uint8_t>(plain >> 8),
        static_cast<std::uint8_t>(plain >> 16), static_cast<std::uint8_t>(plain >> 24)};
    out.WriteBuffer(header, sizeof header);
    TByteViewStream source(content);
    EncryptStream(source, 0, SeedToKey(seed), out);
    return out.TakeBytes();
  });
  Append(name, ParamType::Encript).FData = std::move(block);
}

std::span<const std::uint8_t> TDataParameter::Encode() {
  FBuffer.clear();
  if (FParams.empty()) return {};

  // One allocation for the whole encoding when the memory is there; otherwise the writers
  // grow the buffer and report a shortage under their own names.
  std::size_t total = 5;
  for (const auto& p : FParams) {
    total += StringSize(p.FName.size());
    switch (p.FParamType) {
      case ParamType::String:
        total += StringSize(p.FText.size());
        break;
      case ParamType::PChar:
      case ParamType::Encript:
        total += 1 + 5 + p.FData.size();
        break;
      case ParamType::Extended:
        total += 11;
        break;
      case ParamType::Int64:
      case ParamType::Real:
        total += 9;
        break;
      case ParamType::Integer:
      case ParamType::LongWord:
        total += 5;
        break;
      case ParamType::Word:
      case ParamType::SmallInt:
        total += 3;
        break;
      default:
        total += 2;
        break;
    }
  }
  try {
    FBuffer.reserve(total);
  } catch (const std::bad_alloc&) {
  }

  Writer w(FBuffer);
  w.Integer(static_cast<std::int32_t>(FParams.size()));
  for (const auto& p : FParams) {
    w.String(p.FName);
    switch (p.FParamType) {
      case ParamType::String:
        w.String(p.FText);
        break;
      case ParamType::PChar:
        w.Block("MakePChar", ParamType::PChar, p.FData);
        break;
      case ParamType::Encript:
        w.Block("MakeEncript", ParamType::Encript, p.FData);
        break;
      case ParamType::ShortInt:
        Wrapped("MakeShortInt", [&] {
          w.Tag(p.FParamType);
          w.Le(static_cast<std::int8_t>(p.FInt));
        });
        break;
      case ParamType::Byte:
        Wrapped("MakeByte", [&] {
          w.Tag(p.FParamType);
          w.Le(static_cast<std::uint8_t>(p.FInt));
        });
        break;
      case ParamType::SmallInt:
        Wrapped("MakeSmallInteger", [&] {
          w.Tag(p.FParamType);
          w.Le(static_cast<std::int16_t>(p.FInt));
        });
        break;
      case ParamType::Word:
        Wrapped("MakeWord", [&] {
          w.Tag(p.FParamType);
          w.Le(static_cast<std::uint16_t>(p.FInt));
        });
        break;
      case ParamType::Integer:
        w.Integer(static_cast<std::int32_t>(p.FInt));
        break;
      case ParamType::LongWord:
        Wrapped("MakeLongWord", [&] {
          w.Tag(p.FParamType);
          w.Le(static_cast<std::uint32_t>(p.FInt));
        });
        break;
      case ParamType::Int64:
        Wrapped("MakeInt64", [&] {
          w.Tag(p.FParamType);
          w.Le(p.FInt);
        });
        break;
      case ParamType::Boolean:
        Wrapped("MakeBoolean", [&] {
          w.Tag(p.FParamType);
          w.Le(static_cast<std::uint8_t>(p.FInt));
        });
        break;
      case ParamType::Real:
        Wrapped("MakeReal", [&] {
          std::uint64_t bits;
          std::memcpy(&bits, &p.FReal, sizeof bits);
          w.Tag(p.FParamType);
          w.Le(bits);
        });
        break;
      case ParamType::Extended:
        Wrapped("MakeExtended", [&] {
          w.Tag(p.FParamType);
          w.Raw(p.FExtended, 10);
        });
        break;
      case ParamType::None:
        throw EParamError("Name : " + p.FName + " Not Valid param type !");
    }
  }
  return FBuffer;
}

void TDataParameter::Decode(const std::uint8_t* bytes, std::size_t length) {
  FParams.clear();
  FBuffer.clear();
  FDecodeErrorOffset = 0;
  if (bytes == nullptr || length == 0) return;
  FDecoding = true;
  try {
    DecodeParams(bytes, length);
  } catch (...) {
    FDecoding = false;
    throw;
  }
  FDecoding = false;
}

void TDataParameter::DecodeParams(const std::uint8_t* bytes, std::size_t length) {
  Reader r(bytes, length);
  const std::int32_t count = ParseInteger(r);
  // A parameter takes at least five bytes: a name of no text and a one-byte value.
  constexpr std::size_t kMinParamSize = 5;
  if (count < 0 || static_cast<std::size_t>(count) > r.Left() / kMinParamSize) {
    FDecodeErrorOffset = 0;
    throw EParamError("Decode Parameter count " + std::to_string(count) + " does not fit the " +
                      std::to_string(r.Left()) + " bytes that follow it");
  }
  for (std::int32_t i = 0; i < count; ++i) {
    FDecodeErrorOffset = r.Position();
    const std::string_view name = ParseString(r);
    const std::uint8_t tag = Wrapped("Decode", [&] { return r.Peek(); });
    switch (static_cast<ParamType>(tag)) {
      case ParamType::Word:
        AddInteger(name, ParseWord(r));
        break;
      case ParamType::Integer:
        AddInteger(name, ParseInteger(r));
        break;
      case ParamType::Int64:
        AddInteger(name, ParseInt64(r));
        break;
      case ParamType::ShortInt:
        AddInteger(name, ParseShortInt(r));
        break;
      case ParamType::SmallInt:
        AddInteger(name, ParseSmallInt(r));
        break;
      case ParamType::Byte:
        AddInteger(name, ParseByte(r));
        break;
      case ParamType::LongWord:
        AddInteger(name, ParseLongWord(r));
        break;
      case ParamType::String: {
        const std::string_view text = ParseString(r);
        AddString(name, text);
        break;
      }
      case ParamType::Real:
        AddReal(name, ParseReal(r));
        break;
      case ParamType::Extended: {
        const std::uint8_t* raw = ParseExtended(r);
        std::memcpy(Append(name, ParamType::Extended).FExtended, raw, 10);
        break;
      }
      case ParamType::Boolean:
        AddBoolean(name, ParseBoolean(r));
        break;
      case ParamType::PChar: {
        const auto data = ParsePChar(r);
        AddData(name, data.data(), data.size());
        break;
      }
      case ParamType::Encript: {
        Bytes plain = ParseMemory(r);
        Append(name, ParamType::PChar).FData = std::move(plain);
        break;
      }
      default:
        // An unknown tag adds nothing and stays in place, so the next name read fails on
        // it. When no parameter follows, that read never comes: fail here instead of
        // returning a message that silently lacks its last value.
        if (i == count - 1)
          throw EParamError("Decode Unknown value tag " + std::to_string(tag) + " at offset " +
                            std::to_string(r.Position()));
        break;
    }
  }
}

}  // namespace vantori
