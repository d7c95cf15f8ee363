#include "protocol/UParameter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <variant>
#include <vector>

#include "protocol/UAES.h"

namespace vantori {
namespace {

// "03 02 0a" -> bytes; blanks are ignored.
Bytes Hex(std::string_view text) {
  Bytes out;
  int nibble = -1;
  for (char c : text) {
    int v;
    if (c >= '0' && c <= '9')
      v = c - '0';
    else if (c >= 'a' && c <= 'f')
      v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      v = c - 'A' + 10;
    else
      continue;
    if (nibble < 0) {
      nibble = v;
    } else {
      out.push_back(static_cast<std::uint8_t>(nibble * 16 + v));
      nibble = -1;
    }
  }
  return out;
}

Bytes ToBytes(std::span<const std::uint8_t> s) {
  return Bytes(s.begin(), s.end());
}

std::string DecodeError(const Bytes& bytes, TDataParameter& m) {
  try {
    m.Decode(bytes);
  } catch (const EParamError& e) {
    EXPECT_FALSE(m.Decoding());
    return e.what();
  }
  return "(no error)";
}

TEST(UParameterEncoding, WorkedExampleByteForByte) {
  TDataParameter m;
  m.AddInteger("T", 1198);
  m.AddString("User", "abc");
  const Bytes expected =
      Hex("03 02 00 00 00  01 0B 01 54  0A AE 04  01 0B 04 55 73 65 72  01 0B 03 61 62 63");
  ASSERT_EQ(ToBytes(m.Encode()), expected);

  TDataParameter back;
  back.Decode(expected);
  ASSERT_EQ(back.Count(), 2);
  EXPECT_EQ(back.Params(0).Name(), "T");
  EXPECT_EQ(back.Params(0).Type(), ParamType::SmallInt);
  EXPECT_EQ(back.Params(0).AsInteger(), 1198);
  EXPECT_EQ(back.Params(1).Name(), "User");
  EXPECT_EQ(back.Params(1).Type(), ParamType::String);
  EXPECT_EQ(back.Params(1).AsString(), "abc");
  EXPECT_FALSE(back.Decoding());
}

TEST(UParameterEncoding, EmptyMessageIsZeroBytesBothWays) {
  TDataParameter m;
  EXPECT_TRUE(m.Encode().empty());
  m.AddInteger("T", 1);
  m.Decode(nullptr, 0);
  EXPECT_EQ(m.Count(), 0);
  m.AddInteger("T", 1);
  m.Decode(Bytes{});
  EXPECT_EQ(m.Count(), 0);
}

// Value bytes of each type after the name "N" (01 0B 01 4E), and their way back.
struct ValueCase {
  const char* label;
  std::function<void(TDataParameter&)> add;
  const char* valueHex;
  ParamType decodedType;
};

class UParameterValueBytes : public ::testing::TestWithParam<ValueCase> {};

TEST_P(UParameterValueBytes, EncodesAndDecodesToTheSameBytes) {
  const ValueCase& c = GetParam();
  TDataParameter m;
  c.add(m);
  Bytes expected = Hex("03 01 00 00 00 01 0B 01 4E");
  const Bytes value = Hex(c.valueHex);
  expected.insert(expected.end(), value.begin(), value.end());
  ASSERT_EQ(ToBytes(m.Encode()), expected);

  TDataParameter back;
  back.Decode(expected);
  ASSERT_EQ(back.Count(), 1);
  EXPECT_EQ(back.Params(0).Type(), c.decodedType);
  EXPECT_EQ(ToBytes(back.Encode()), expected);
}

const long double kOneL = 1.0L;

INSTANTIATE_TEST_SUITE_P(
    AllTypes, UParameterValueBytes,
    ::testing::Values(
        ValueCase{"ShortInt", [](auto& m) { m.AddInteger("N", -1); }, "08 FF", ParamType::ShortInt},
        ValueCase{"Byte", [](auto& m) { m.AddInteger("N", 200); }, "0B C8", ParamType::Byte},
        ValueCase{"SmallInt", [](auto& m) { m.AddInteger("N", -200); }, "0A 38 FF", ParamType::SmallInt},
        ValueCase{"Word", [](auto& m) { m.AddInteger("N", 40000); }, "02 40 9C", ParamType::Word},
        ValueCase{"Integer", [](auto& m) { m.AddInteger("N", 70000); }, "03 70 11 01 00", ParamType::Integer},
        ValueCase{"LongWord", [](auto& m) { m.AddInteger("N", 2147483648LL); }, "0C 00 00 00 80",
                  ParamType::LongWord},
        ValueCase{"Int64", [](auto& m) { m.AddInteger("N", -2147483649LL); }, "04 FF FF FF 7F FF FF FF FF",
                  ParamType::Int64},
        ValueCase{"Real", [](auto& m) { m.AddReal("N", 1.5); }, "05 00 00 00 00 00 00 F8 3F",
                  ParamType::Real},
        ValueCase{"Extended", [](auto& m) { m.AddExtended("N", kOneL); }, "09 00 00 00 00 00 00 00 80 FF 3F",
                  ParamType::Extended},
        ValueCase{"BooleanTrue", [](auto& m) { m.AddBoolean("N", true); }, "07 01", ParamType::Boolean},
        ValueCase{"BooleanAsSent", [](auto& m) { m.AddBoolean("N", std::uint8_t{200}); }, "07 C8",
                  ParamType::Boolean},
        ValueCase{"PChar",
                  [](auto& m) {
                    const std::uint8_t d[] = {1, 0, 2};
                    m.AddData("N", d, sizeof d);
                  },
                  "06 03 03 00 00 00 01 00 02", ParamType::PChar},
        ValueCase{"EmptyPChar", [](auto& m) { m.AddData("N", nullptr, 0); }, "06 03 00 00 00 00",
                  ParamType::PChar},
        ValueCase{"EmptyString", [](auto& m) { m.AddString("N", ""); }, "01 0B 00", ParamType::String}),
    [](const auto& info) { return std::string(info.param.label); });

struct NarrowCase {
  std::int64_t value;
  ParamType type;
};

TEST(UParameterEncoding, AddIntegerTakesTheNarrowestTypeAndKeepsItThroughTheWire) {
  const NarrowCase cases[] = {
      {-128, ParamType::ShortInt},
      {127, ParamType::ShortInt},
      {128, ParamType::Byte},
      {255, ParamType::Byte},
      {256, ParamType::SmallInt},
      {-129, ParamType::SmallInt},
      {32767, ParamType::SmallInt},
      {32768, ParamType::Word},
      {65535, ParamType::Word},
      {65536, ParamType::Integer},
      {2147483647, ParamType::Integer},
      {2147483648LL, ParamType::LongWord},
      {4294967295LL, ParamType::LongWord},
      {4294967296LL, ParamType::Int64},
      {-2147483649LL, ParamType::Int64},
      {std::numeric_limits<std::int64_t>::min(), ParamType::Int64},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    TDataParameter m;
    m.AddInteger("V", c.value);
    EXPECT_EQ(m.Params(0).Type(), c.type);
    TDataParameter back;
    back.Decode(m.Encode());
    EXPECT_EQ(back.Params(0).Type(), c.type);
    EXPECT_EQ(back.Params(0).AsInt64(), c.value);
  }
}

TEST(UParameterEncoding, ReceivedIntegersAreNarrowedAgain) {
  // A peer that sends a Word 5 and an Int64 70000.
  TDataParameter peer;
  peer.AddTyped("W", ParamType::Word, 5);
  peer.AddTyped("Q", ParamType::Int64, 70000);
  EXPECT_EQ(ToBytes(peer.Encode()),
            Hex("03 02 00 00 00 01 0B 01 57 02 05 00 01 0B 01 51 04 70 11 01 00 00 00 00 00"));
  TDataParameter m;
  m.Decode(peer.Encode());
  EXPECT_EQ(m.Params(0).Type(), ParamType::ShortInt);
  EXPECT_EQ(m.Params(0).AsInteger(), 5);
  EXPECT_EQ(m.Params(1).Type(), ParamType::Integer);
  EXPECT_EQ(m.Params(1).AsInteger(), 70000);
}

TEST(UParameterEncoding, AddTypedRefusesValuesTheTypeCannotHold) {
  TDataParameter m;
  EXPECT_THROW(m.AddTyped("W", ParamType::Word, 70000), EParamError);
  EXPECT_THROW(m.AddTyped("B", ParamType::Boolean, 256), EParamError);
  EXPECT_THROW(m.AddTyped("S", ParamType::String, 1), EParamError);
  EXPECT_EQ(m.Count(), 0);
}

struct LengthFormCase {
  std::size_t length;
  const char* header;  // tag, length form and length of the String value
};

TEST(UParameterEncoding, StringLengthFormsFollowTheLength) {
  const LengthFormCase cases[] = {
      {0, "01 0B 00"},
      {255, "01 0B FF"},
      {256, "01 02 00 01"},
      {65535, "01 02 FF FF"},
      {65536, "01 0C 00 00 01 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    const std::string text(c.length, 'x');
    TDataParameter m;
    m.AddString("S", text);
    const Bytes enc = ToBytes(m.Encode());
    const Bytes header = Hex(c.header);
    const std::size_t at = 5 + 4;  // count, then the name "S"
    ASSERT_EQ(enc.size(), at + header.size() + c.length);
    EXPECT_EQ(Bytes(enc.begin() + at, enc.begin() + at + header.size()), header);
    TDataParameter back;
    back.Decode(enc);
    EXPECT_EQ(back.Params(0).AsString(), text);
  }
}

TEST(UParameterDecoding, AcceptsEveryLengthFormForShortTexts) {
  // The name "T" in the Word form, the value "abc" in the LongWord form, a name "U" in
  // the Byte form holding "ab" in the Word form.
  const Bytes bytes =
      Hex("03 02 00 00 00  01 02 01 00 54  01 0C 03 00 00 00 61 62 63"
          "  01 0B 01 55  01 02 02 00 61 62");
  TDataParameter m;
  m.Decode(bytes);
  ASSERT_EQ(m.Count(), 2);
  EXPECT_EQ(m.Params(0).Name(), "T");
  EXPECT_EQ(m.Params(0).AsString(), "abc");
  EXPECT_EQ(m.Params(1).AsString(), "ab");
}

TEST(UParameterDecoding, TextEndsAtNulAndTheNextParametersStillDecode) {
  // "A" = "ab\0cd" (declared 5), then a name "B\0x" (declared 3), then "C" = 7.
  const Bytes bytes =
      Hex("03 03 00 00 00  01 0B 01 41 01 0B 05 61 62 00 63 64"
          "  01 0B 03 42 00 78 01 0B 00  01 0B 01 43 08 07");
  TDataParameter m;
  m.Decode(bytes);
  ASSERT_EQ(m.Count(), 3);
  EXPECT_EQ(m.Params(0).AsString(), "ab");
  EXPECT_EQ(m.Params(1).Name(), "B");
  EXPECT_EQ(m.Params(1).AsString(), "");
  EXPECT_EQ(m.ParamByName("C").AsInteger(), 7);
}

TEST(UParameterLookup, DuplicateNamesTravelAndTheFirstIsFoundCaseInsensitively) {
  TDataParameter m;
  m.AddInteger("T", 1);
  m.AddInteger("t", 2);
  m.AddString("\xC0\xCC\xB8\xA7", "kr");  // a cp949 name: compared byte for byte
  TDataParameter back;
  back.Decode(m.Encode());
  ASSERT_EQ(back.Count(), 3);
  EXPECT_EQ(back.ParamByName("t").AsInteger(), 1);
  EXPECT_EQ(back.ParamByName("T").AsInteger(), 1);
  EXPECT_EQ(back.ParamByName("\xC0\xCC\xB8\xA7").AsString(), "kr");
  EXPECT_EQ(back.FindParam("\xE0\xCC\xB8\xA7"), nullptr);  // no folding outside ASCII
  EXPECT_EQ(back.Params(1).AsInteger(), 2);
}

TEST(UParameterLookup, MissingIndexAndNameErrors) {
  TDataParameter m;
  m.AddInteger("T", 1);
  auto text = [](auto&& f) -> std::string {
    try {
      f();
    } catch (const EParamError& e) {
      return e.what();
    }
    return "(no error)";
  };
  EXPECT_EQ(text([&] { m.Params(-1); }), "The parameter index [-1] does not exist !");
  EXPECT_EQ(text([&] { m.Params(1); }), "The parameter index [1] does not exist !");
  EXPECT_EQ(text([&] { m.ParamByName("Code"); }), "The parameter name ('Code') does not exist !");
  EXPECT_EQ(m.FindParam("Code"), nullptr);
}

// ---------------------------------------------------------------------------------------
// Reader conversions

enum class Rd { String, Integer, Int64, Real, Extended, Boolean };
struct Raises {
  std::string text;
};
using Expect = std::variant<std::string, std::int64_t, long double, bool, Raises>;

struct ConvCase {
  const char* label;
  std::function<void(TDataParameter&)> add;
  Rd reader;
  Expect expected;
};

void CheckConversion(const ConvCase& c, const TParamDef& p) {
  SCOPED_TRACE(c.label);
  auto run = [&]() -> Expect {
    switch (c.reader) {
      case Rd::String:
        return p.AsString();
      case Rd::Integer:
        return std::int64_t{p.AsInteger()};
      case Rd::Int64:
        return p.AsInt64();
      case Rd::Real:
        return static_cast<long double>(p.AsReal());
      case Rd::Extended:
        return p.AsExtended();
      case Rd::Boolean:
        return p.AsBoolean();
    }
    return Raises{"unreachable"};
  };
  Expect got;
  try {
    got = run();
  } catch (const EParamError& e) {
    got = Raises{e.what()};
  }
  if (const auto* r = std::get_if<Raises>(&c.expected)) {
    ASSERT_TRUE(std::holds_alternative<Raises>(got)) << "expected an error";
    EXPECT_EQ(std::get<Raises>(got).text, r->text);
    return;
  }
  ASSERT_EQ(got.index(), c.expected.index())
      << (std::holds_alternative<Raises>(got) ? std::get<Raises>(got).text : "");
  if (const auto* s = std::get_if<std::string>(&c.expected)) {
    EXPECT_EQ(std::get<std::string>(got), *s);
  }
  if (const auto* i = std::get_if<std::int64_t>(&c.expected)) {
    EXPECT_EQ(std::get<std::int64_t>(got), *i);
  }
  if (const auto* d = std::get_if<long double>(&c.expected)) {
    EXPECT_EQ(std::get<long double>(got), *d);
  }
  if (const auto* b = std::get_if<bool>(&c.expected)) {
    EXPECT_EQ(std::get<bool>(got), *b);
  }
}

using I = std::int64_t;
using F = long double;

auto Str(const char* s) {
  return [s](TDataParameter& m) { m.AddString("N", s); };
}
auto Int(std::int64_t v) {
  return [v](TDataParameter& m) { m.AddInteger("N", v); };
}
auto Real(double v) {
  return [v](TDataParameter& m) { m.AddReal("N", v); };
}
auto Ext(long double v) {
  return [v](TDataParameter& m) { m.AddExtended("N", v); };
}
auto Bool(std::uint8_t v) {
  return [v](TDataParameter& m) { m.AddBoolean("N", v); };
}
auto PChar() {
  return [](TDataParameter& m) {
    const std::uint8_t d[] = {7, 8};
    m.AddData("D", d, 2);
  };
}
auto Encript() {
  return [](TDataParameter& m) {
    const std::uint8_t d[] = {7, 8};
    m.AddEncript("D", d, 42);
  };
}

const ConvCase kConversions[] = {
    // String
    {"str text", Str("abc"), Rd::String, std::string("abc")},
    {"str int", Str("123"), Rd::Integer, I{123}},
    {"str int sign+blank", Str(" -45"), Rd::Integer, I{-45}},
    {"str int64 widened", Str("-2147483648"), Rd::Int64, I{-2147483648LL}},
    {"str int64 beyond 32 bits", Str("4294967295"), Rd::Int64,
     Raises{"Name : N Text '4294967295' is not a 32-bit decimal integer"}},
    {"str int not a number", Str("12a"), Rd::Integer,
     Raises{"Name : N Text '12a' is not a 32-bit decimal integer"}},
    {"str int empty", Str(""), Rd::Integer, Raises{"Name : N Text '' is not a 32-bit decimal integer"}},
    {"str real", Str("2.5"), Rd::Real, F{2.5}},
    {"str real exponent", Str("-1.25e3"), Rd::Extended, F{-1250}},
    {"str real comma", Str("1,5"), Rd::Real, Raises{"Name : N Text '1,5' is not a decimal number"}},
    {"str bool T", Str("T"), Rd::Boolean, true},
    {"str bool t", Str("t"), Rd::Boolean, false},
    {"str bool 1", Str("1"), Rd::Boolean, false},
    // Integer types
    {"shortint string", Int(-5), Rd::String, std::string("-5")},
    {"shortint int64", Int(-5), Rd::Int64, I{-5}},
    {"shortint real", Int(-5), Rd::Real, F{-5}},
    {"shortint bool", Int(-5), Rd::Boolean, true},
    {"integer 256 bool", Int(256), Rd::Boolean, false},
    {"integer 257 bool", Int(257), Rd::Boolean, true},
    {"longword string", Int(4294967295LL), Rd::String, std::string("4294967295")},
    {"longword integer", Int(4294967295LL), Rd::Integer, I{-1}},
    {"longword int64", Int(4294967295LL), Rd::Int64, I{4294967295LL}},
    {"longword extended", Int(4294967295LL), Rd::Extended, F{4294967295.0L}},
    {"int64 string", Int(-4294967296LL), Rd::String, std::string("-4294967296")},
    {"int64 integer low bits", Int(4294967296LL + 5), Rd::Integer, I{5}},
    {"int64 bool low bits", Int(4294967296LL), Rd::Boolean, false},
    // Real and Extended
    {"real string", Real(2.5), Rd::String, std::string("2.5")},
    {"real string 0.1", Real(0.1), Rd::String, std::string("0.1")},
    {"real string third", Real(1.0 / 3), Rd::String, std::string("0.333333333333333")},
    {"real string large", Real(1e20), Rd::String, std::string("1e+20")},
    {"real string 15 digits", Real(123456789012345.0), Rd::String, std::string("123456789012345")},
    {"real integer tie even 2.5", Real(2.5), Rd::Integer, I{2}},
    {"real integer tie even 3.5", Real(3.5), Rd::Integer, I{4}},
    {"real integer tie even -2.5", Real(-2.5), Rd::Integer, I{-2}},
    {"real integer 2.6", Real(2.6), Rd::Integer, I{3}},
    {"real integer -2.6", Real(-2.6), Rd::Integer, I{-3}},
    {"real int64 large", Real(1e15 + 0.5), Rd::Int64, I{1000000000000000LL}},
    {"real bool 255.5 rounds to 256", Real(255.5), Rd::Boolean, false},
    {"real bool 0.4", Real(0.4), Rd::Boolean, false},
    {"real bool 0.6", Real(0.6), Rd::Boolean, true},
    {"real integer out of range", Real(1e300), Rd::Integer,
     Raises{"Name : N Value is out of the range of a 64-bit integer"}},
    {"real int64 nan", Real(std::nan("")), Rd::Int64,
     Raises{"Name : N Value is out of the range of a 64-bit integer"}},
    {"extended string", Ext(2.5L), Rd::String, std::string("2.5")},
    {"extended keeps precision", Ext(1.0L / 3), Rd::Extended, F{1.0L / 3}},
    {"extended integer tie", Ext(-3.5L), Rd::Integer, I{-4}},
    {"extended real", Ext(0.5L), Rd::Real, F{0.5}},
    // Boolean
    {"bool string", Bool(1), Rd::String, std::string("1")},
    {"bool false integer", Bool(0), Rd::Integer, I{0}},
    {"bool as sent string", Bool(200), Rd::String, std::string("200")},
    {"bool as sent integer", Bool(200), Rd::Integer, I{200}},
    {"bool as sent int64", Bool(200), Rd::Int64, I{-56}},
    {"bool as sent real", Bool(200), Rd::Real, F{-56}},
    {"bool as sent bool", Bool(200), Rd::Boolean, true},
    // PChar and Encript
    {"pchar string", PChar(), Rd::String, std::string()},
    {"pchar integer", PChar(), Rd::Integer, I{-1}},
    {"pchar real", PChar(), Rd::Real, F{-1}},
    {"pchar bool", PChar(), Rd::Boolean, false},
    {"pchar int64", PChar(), Rd::Int64, Raises{"Name : D Not Valid param type !"}},
    {"encript integer", Encript(), Rd::Integer, I{-1}},
    {"encript int64", Encript(), Rd::Int64, Raises{"Name : D Not Valid param type !"}},
};

TEST(UParameterReaders, ConvertEveryTypeAsTheTableSays) {
  for (const auto& c : kConversions) {
    TDataParameter m;
    c.add(m);
    CheckConversion(c, m.Params(0));
  }
}

TEST(UParameterReaders, AsDataOnlyForPChar) {
  TDataParameter m;
  const std::uint8_t d[] = {1, 2, 3};
  m.AddData("P", d, 3);
  m.AddInteger("X", 1);
  m.AddEncript("D", d, 1);
  EXPECT_EQ(m.Params(0).DataSize(), 3u);
  EXPECT_EQ(std::memcmp(m.Params(0).AsData(), d, 3), 0);
  for (int i : {1, 2}) {
    try {
      m.Params(i).AsData();
      ADD_FAILURE() << "no error";
    } catch (const EParamError& e) {
      EXPECT_EQ(std::string(e.what()), "Name : " + m.Params(i).Name() + " Not valid pchar");
    }
  }
}

// ---------------------------------------------------------------------------------------
// Encrypted values

TEST(UParameterEncript, BlockLayoutAndTheReceivedPaddedPChar) {
  Bytes content(20);
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<std::uint8_t>(0xA0 + i);
  const std::uint32_t seed = 123456789;
  TDataParameter m;
  m.AddEncript("D", content, seed);
  ASSERT_EQ(m.Params(0).Type(), ParamType::Encript);
  EXPECT_EQ(m.Params(0).DataSize(), 8u + 32u);
  const Bytes enc = ToBytes(m.Encode());

  // 03 01000000 | 01 0B 01 44 | 0D 03 <L=40> | seed word | P | ciphertext
  ASSERT_EQ(enc.size(), 5u + 4 + 6 + 40);
  EXPECT_EQ(Bytes(enc.begin() + 9, enc.begin() + 15), Hex("0D 03 28 00 00 00"));
  const std::uint32_t word = SeedToTransport(seed);
  EXPECT_EQ(
      Bytes(enc.begin() + 15, enc.begin() + 23),
      (Bytes{static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8),
             static_cast<std::uint8_t>(word >> 16), static_cast<std::uint8_t>(word >> 24), 20, 0, 0, 0}));
  TMemoryStream plainStream(content), cipher;
  EncryptStream(plainStream, 0, SeedToKey(seed), cipher);
  EXPECT_EQ(Bytes(enc.begin() + 23, enc.end()), ToBytes(cipher.Bytes()));

  TDataParameter back;
  back.Decode(enc);
  ASSERT_EQ(back.Count(), 1);
  const TParamDef& d = back.ParamByName("D");
  EXPECT_EQ(d.Type(), ParamType::PChar);
  ASSERT_EQ(d.DataSize(), 32u);
  Bytes expected = content;
  expected.resize(32, 0);
  EXPECT_EQ(ToBytes(d.Data()), expected);
}

TEST(UParameterEncript, EmptyContentIsAHeaderOnlyBlock) {
  TDataParameter m;
  m.AddEncript("D", std::span<const std::uint8_t>(), 0);
  m.AddInteger("After", 1);
  TDataParameter back;
  back.Decode(m.Encode());
  ASSERT_EQ(back.Count(), 2);
  EXPECT_EQ(back.Params(0).Type(), ParamType::PChar);
  EXPECT_EQ(back.Params(0).DataSize(), 0u);
  EXPECT_EQ(back.Params(1).AsInteger(), 1);
}

// ---------------------------------------------------------------------------------------
// Malformed input

struct BadCase {
  const char* label;
  const char* hex;
  const char* message;
  int decodedBefore;  // parameters that stay in the object
};

const BadCase kBadInput[] = {
    {"count tag", "0B 01", "ParseInteger Parse Integer not valid data type(integer) !", 0},
    {"count cut", "03 01 00", "ParseInteger Unexpected end of message at offset 1 (need 4 bytes, 2 left)", 0},
    {"count larger than the bytes", "03 FF FF FF 7F 01 0B 00 08 01",
     "Decode Parameter count 2147483647 does not fit the 5 bytes that follow it", 0},
    {"negative count", "03 FF FF FF FF", "Decode Parameter count -1 does not fit the 0 bytes that follow it",
     0},
    {"name not a String", "03 01 00 00 00 0B 01 54 08 01",
     "ParseString Parse String not valid data type(String) !", 0},
    {"name length form", "03 01 00 00 00 01 03 01 00 00 00 54", "ParseString Not valid string length type !",
     0},
    {"name past the end", "03 01 00 00 00 01 0B 10 54 00",
     "ParseString Unexpected end of message at offset 8 (need 16 bytes, 2 left)", 0},
    {"huge LongWord text length", "03 01 00 00 00 01 0B 01 53 01 0C FF FF FF FF 61",
     "ParseString Unexpected end of message at offset 15 (need 4294967295 bytes, 1 left)", 0},
    {"length form cut", "03 01 00 00 00 01 0B 01 53 01 02 01",
     "ParseString ParseWord Unexpected end of message at offset 11 (need 2 bytes, 1 left)", 0},
    {"value missing", "03 01 00 00 00 01 0B 03 41 42 43",
     "Decode Unexpected end of message at offset 11 (need 1 bytes, 0 left)", 0},
    {"zero tag on the last parameter", "03 02 00 00 00 01 0B 01 41 08 01 01 0B 01 42 00 00 00 00 00 00",
     "Decode Unknown value tag 0 at offset 15", 1},
    {"value cut", "03 02 00 00 00 01 0B 01 41 08 01 01 0B 01 42 03 01 02",
     "ParseInteger Unexpected end of message at offset 16 (need 4 bytes, 2 left)", 1},
    {"extended cut", "03 01 00 00 00 01 0B 01 45 09 00 00 00 00 00 00 00 80 FF",
     "ParseExtended Unexpected end of message at offset 10 (need 10 bytes, 9 left)", 0},
    {"unknown tag before another parameter", "03 02 00 00 00 01 0B 01 41 0E 01 0B 01 42 08 01",
     "ParseString Parse String not valid data type(String) !", 0},
    {"unknown tag on the last parameter", "03 02 00 00 00 01 0B 01 41 08 01 01 0B 01 42 0E 00 00 00 00",
     "Decode Unknown value tag 14 at offset 15", 1},
    {"pchar length tag", "03 01 00 00 00 01 0B 01 50 06 0B 01 00 00 00 00",
     "ParsePChar ParseInteger Parse Integer not valid data type(integer) !", 0},
    {"pchar negative length", "03 01 00 00 00 01 0B 01 50 06 03 FE FF FF FF",
     "ParsePChar Invalid data length -2", 0},
    {"pchar past the end", "03 01 00 00 00 01 0B 01 50 06 03 FF FF FF 7F 01 02",
     "ParsePChar Unexpected end of message at offset 15 (need 2147483647 bytes, 2 left)", 0},
    {"encript ciphertext not whole blocks",
     "03 01 00 00 00 01 0B 01 44 0D 03 17 00 00 00 00 00 00 00 0F 00 00 00"
     " 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E",
     "ParseMemory Invalid buffer size for decryption", 0},
    {"encript shorter than its header", "03 01 00 00 00 01 0B 01 44 0D 03 04 00 00 00 00 00 00 00",
     "ParseMemory Encrypted block of 4 bytes is shorter than its header", 0},
    {"encript past the end", "03 01 00 00 00 01 0B 01 44 0D 03 18 00 00 00 00 00 00 00",
     "ParseMemory Unexpected end of message at offset 15 (need 24 bytes, 4 left)", 0},
};

TEST(UParameterDecoding, MalformedInputFailsWithItsTextAndKeepsWhatCameBefore) {
  for (const auto& c : kBadInput) {
    SCOPED_TRACE(c.label);
    TDataParameter m;
    m.AddInteger("Old", 1);
    EXPECT_EQ(DecodeError(Hex(c.hex), m), c.message);
    EXPECT_EQ(m.Count(), c.decodedBefore);
  }
}

TEST(UParameterDecoding, ErrorOffsetNamesTheFailingParameter) {
  TDataParameter m;
  DecodeError(Hex("03 02 00 00 00 01 0B 01 41 08 01 01 0B 01 42 03 01 02"), m);
  EXPECT_EQ(m.Count(), 1);
  EXPECT_EQ(m.DecodeErrorOffset(), 11u);
}

TEST(UParameterDecoding, EveryPrefixOfAValidMessageFailsCleanly) {
  TDataParameter m;
  m.AddInteger("T", 1198);
  m.AddString("User", std::string(300, 'u'));
  m.AddReal("R", 1.5);
  m.AddExtended("E", 2.5L);
  m.AddBoolean("B", true);
  const std::uint8_t d[] = {1, 2, 3};
  m.AddData("P", d, 3);
  m.AddEncript("D", d, 99);
  const Bytes enc = ToBytes(m.Encode());
  for (std::size_t n = 1; n < enc.size(); ++n) {
    TDataParameter cut;
    EXPECT_THROW(cut.Decode(enc.data(), n), EParamError) << n;
  }
  TDataParameter whole;
  whole.Decode(enc);
  EXPECT_EQ(whole.Count(), 7);
}

TEST(UParameterCopy, CopiesAreIndependent) {
  TDataParameter a;
  a.AddString("S", "one");
  TDataParameter b = a;
  a.Clear();
  a.AddString("S", "two");
  EXPECT_EQ(b.Params(0).AsString(), "one");
  EXPECT_EQ(ToBytes(b.Encode()), Hex("03 01 00 00 00 01 0B 01 53 01 0B 03 6F 6E 65"));
}

}  // namespace
}  // namespace vantori
