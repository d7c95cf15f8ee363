#include "protocol/UAES.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "protocol/ProtocolConstants.h"

namespace vantori {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Hex(std::string_view text) {
  Bytes out;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2)
    out.push_back(static_cast<std::uint8_t>(std::stoi(std::string(text.substr(i, 2)), nullptr, 16)));
  return out;
}

Bytes Seq(std::size_t n, std::uint8_t first = 1) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(first + i);
  return b;
}

Bytes Of(const TMemoryStream& s) {
  return Bytes(s.Bytes().begin(), s.Bytes().end());
}

const TAESKey kFipsKey = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,
                          0x08, 0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f};

// The ECB encryption of one block, for building expectations block by block.
Bytes EncryptBlock(const Bytes& block16, const TAESKey& key) {
  TMemoryStream in(block16), out;
  EncryptStream(in, 0, key, out);
  return Of(out);
}

TEST(UAES, PublishedAes128VectorBothWays) {
  const Bytes plain = Hex("00112233445566778899aabbccddeeff");
  const Bytes cipher = Hex("69c4e0d86a7b0430d8cdb78070b4c55a");
  EXPECT_EQ(EncryptBlock(plain, kFipsKey), cipher);
  TMemoryStream in(cipher), out;
  DecryptStream(in, 0, kFipsKey, out);
  EXPECT_EQ(Of(out), plain);
}

struct SelectCase {
  const char* label;
  std::size_t sourceSize;
  std::uint64_t position;
  std::uint64_t count;
  std::size_t firstByte;  // index of the first selected byte
  std::size_t selected;
};

TEST(UAES, EncryptSelectsTheSourceBytesAndZeroFillsTheLastBlock) {
  const SelectCase cases[] = {
      {"empty", 0, 0, 0, 0, 0},
      {"whole 16", 16, 0, 0, 0, 16},
      {"whole 17", 17, 0, 0, 0, 17},
      {"count 0 rewinds", 30, 12, 0, 0, 30},
      {"count from position", 30, 5, 10, 5, 10},
      {"count beyond what is left", 30, 20, 100, 20, 10},
      {"position at the end", 30, 30, 8, 30, 0},
  };
  const TAESKey key = SeedToKey(77);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const Bytes src = Seq(c.sourceSize);
    TMemoryStream in(src), out;
    in.SetPosition(c.position);
    EncryptStream(in, c.count, key, out);

    Bytes expected;
    for (std::size_t off = 0; off < c.selected; off += 16) {
      Bytes block(16, 0);
      const std::size_t n = std::min<std::size_t>(16, c.selected - off);
      std::copy_n(src.begin() + c.firstByte + off, n, block.begin());
      const Bytes enc = EncryptBlock(block, key);
      expected.insert(expected.end(), enc.begin(), enc.end());
    }
    EXPECT_EQ(Of(out), expected);
    EXPECT_EQ(in.Position(), c.firstByte + c.selected);

    // Decrypting gives the selection back with its zero fill.
    TMemoryStream cin(expected), plain;
    DecryptStream(cin, 0, key, plain);
    Bytes filled(src.begin() + c.firstByte, src.begin() + c.firstByte + c.selected);
    filled.resize(expected.size(), 0);
    EXPECT_EQ(Of(plain), filled);
  }
}

TEST(UAES, EncryptAppendsAtTheDestinationPosition) {
  TMemoryStream in(Seq(3)), out(Hex("AABB"));
  out.SetPosition(2);
  EncryptStream(in, 0, kFipsKey, out);
  ASSERT_EQ(out.Size(), 18u);
  EXPECT_EQ(out.Bytes()[0], 0xAA);
}

TEST(UAES, DecryptRefusesPartialBlocksAndWritesNothing) {
  for (std::size_t n : {1u, 15u, 17u, 31u}) {
    SCOPED_TRACE(n);
    TMemoryStream in(Seq(n)), out;
    try {
      DecryptStream(in, 0, kFipsKey, out);
      ADD_FAILURE() << "no error";
    } catch (const EAESError& e) {
      EXPECT_STREQ(e.what(), "Invalid buffer size for decryption");
    }
    EXPECT_EQ(out.Size(), 0u);
  }
}

// A source that claims more than it delivers, and a destination that takes only so much.
class ShortSource final : public TStream {
 public:
  ShortSource(Bytes data, std::uint64_t claimed) : FInner(data), FClaimed(claimed) {}
  std::size_t Read(void* b, std::size_t n) override { return FInner.Read(b, n); }
  std::size_t Write(const void*, std::size_t) override { return 0; }
  std::uint64_t Size() const override { return FClaimed; }
  std::uint64_t Position() const override { return FInner.Position(); }
  void SetPosition(std::uint64_t p) override { FInner.SetPosition(p); }

 private:
  TMemoryStream FInner;
  std::uint64_t FClaimed;
};

class ShortSink final : public TStream {
 public:
  explicit ShortSink(std::size_t capacity) : FCapacity(capacity) {}
  std::size_t Read(void*, std::size_t) override { return 0; }
  std::size_t Write(const void* b, std::size_t n) override {
    const std::size_t take = std::min(n, FCapacity - FData.Size());
    return FData.Write(b, take);
  }
  std::uint64_t Size() const override { return FData.Size(); }
  std::uint64_t Position() const override { return FData.Position(); }
  void SetPosition(std::uint64_t p) override { FData.SetPosition(p); }
  Bytes Written() const { return Of(FData); }

 private:
  std::size_t FCapacity;
  TMemoryStream FData;
};

TEST(UAES, ShortStreamsRaiseStreamErrorsAndKeepWhatWasWritten) {
  {
    ShortSource src(Seq(20), 40);
    TMemoryStream out;
    try {
      EncryptStream(src, 0, kFipsKey, out);
      ADD_FAILURE() << "no error";
    } catch (const EStreamError& e) {
      EXPECT_STREQ(e.what(), "Stream read error");
    }
    EXPECT_EQ(out.Size(), 16u);  // the first whole block went through
  }
  for (bool decrypt : {false, true}) {
    SCOPED_TRACE(decrypt);
    TMemoryStream src(Seq(48));
    ShortSink sink(20);
    try {
      decrypt ? DecryptStream(src, 0, kFipsKey, sink) : EncryptStream(src, 0, kFipsKey, sink);
      ADD_FAILURE() << "no error";
    } catch (const EStreamError& e) {
      EXPECT_STREQ(e.what(), "Stream write error");
    }
    const Bytes written = sink.Written();
    ASSERT_GE(written.size(), 16u);
    TMemoryStream first(Seq(16)), expected;
    decrypt ? DecryptStream(first, 0, kFipsKey, expected) : EncryptStream(first, 0, kFipsKey, expected);
    EXPECT_EQ(Bytes(written.begin(), written.begin() + 16), Of(expected));
  }
}

TEST(UAES, SeedKeyIsSixteenDecimalDigits) {
  struct {
    std::uint32_t seed;
    const char* key;
  } const cases[] = {
      {0, "0000000000000000"},
      {123, "0000000000000123"},
      {2147483648u, "0000002147483648"},
      {4294967295u, "0000004294967295"},
  };
  for (const auto& c : cases) {
    const TAESKey key = SeedToKey(c.seed);
    EXPECT_EQ(std::string(key.begin(), key.end()), c.key);
  }
}

TEST(UAES, SeedTransportSubtractsTheOffsetAndSwapsHalves) {
  EXPECT_EQ(SeedToTransport(proto::kSeedOffset), 0u);
  EXPECT_EQ(SeedToTransport(proto::kSeedOffset + 1), 0x00010000u);
  EXPECT_EQ(SeedToTransport(proto::kSeedOffset + 0x00020000u), 0x00000002u);
  EXPECT_EQ(SeedToTransport(proto::kSeedOffset - 1), 0xFFFFFFFFu);
  for (std::uint32_t seed : {0u, 1u, 2147483648u, 4294967295u}) {
    SCOPED_TRACE(seed);
    EXPECT_EQ(SeedFromTransport(SeedToTransport(seed)), seed);
  }
}

TEST(UAES, SeedSweepRoundTripsWithWellFormedKeys) {
  // A stride coprime to 2^32 visits seeds spread over the whole range, both ends included.
  std::uint32_t seed = 0;
  for (int i = 0; i < 70000; ++i, seed += 61363u) {
    ASSERT_EQ(SeedFromTransport(SeedToTransport(seed)), seed) << seed;
    const TAESKey key = SeedToKey(seed);
    ASSERT_TRUE(std::all_of(key.begin(), key.begin() + 6, [](std::uint8_t c) { return c == '0'; })) << seed;
    ASSERT_TRUE(std::all_of(key.begin(), key.end(), [](std::uint8_t c) { return c >= '0' && c <= '9'; }));
  }
}

TEST(UAES, LinkTokenIsLengthThenCiphertextInUpperHex) {
  TAESKey linkKey;
  std::memcpy(linkKey.data(), proto::kLinkKey, 16);
  for (std::size_t size : {64u, 106u, 0u}) {
    SCOPED_TRACE(size);
    const Bytes record = Seq(size, 0x30);
    const std::string token = MakeLinkToken(record);
    const std::size_t padded = (size + 15) / 16 * 16;
    ASSERT_EQ(token.size(), 2 * (4 + padded));
    EXPECT_EQ(token.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    const Bytes raw = Hex(token);
    EXPECT_EQ(Bytes(raw.begin(), raw.begin() + 4),
              (Bytes{static_cast<std::uint8_t>(size), static_cast<std::uint8_t>(size >> 8), 0, 0}));
    TMemoryStream cipher(Bytes(raw.begin() + 4, raw.end())), plain;
    DecryptStream(cipher, 0, linkKey, plain);
    Bytes expected = record;
    expected.resize(padded, 0);
    EXPECT_EQ(Of(plain), expected);
  }
}

}  // namespace
}  // namespace vantori
