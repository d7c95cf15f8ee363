#include "protocol/UAES.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "protocol/ProtocolConstants.h"

namespace vantori {
namespace {

constexpr std::size_t kBlock = 16;

struct CtxFree {
  void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};

// One key schedule for one stream operation.
class BlockCipher {
 public:
  BlockCipher(const TAESKey& key, bool encrypt) : FCtx(EVP_CIPHER_CTX_new()) {
    if (!FCtx ||
        EVP_CipherInit_ex(FCtx.get(), EVP_aes_128_ecb(), nullptr, key.data(), nullptr, encrypt ? 1 : 0) !=
            1 ||
        EVP_CIPHER_CTX_set_padding(FCtx.get(), 0) != 1)
      throw EAESError("Cipher initialisation failed");
  }

  void Block(const std::uint8_t* in, std::uint8_t* out) {
    int len = 0;
    if (EVP_CipherUpdate(FCtx.get(), out, &len, in, static_cast<int>(kBlock)) != 1 ||
        len != static_cast<int>(kBlock))
      throw EAESError("Cipher operation failed");
  }

 private:
  std::unique_ptr<EVP_CIPHER_CTX, CtxFree> FCtx;
};

std::uint64_t SelectCount(TStream& source, std::uint64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    return source.Size();
  }
  const std::uint64_t size = source.Size();
  const std::uint64_t pos = source.Position();
  const std::uint64_t left = pos < size ? size - pos : 0;
  return std::min(count, left);
}

}  // namespace

void EncryptStream(TStream& source, std::uint64_t count, const TAESKey& key, TStream& dest) {
  std::uint64_t n = SelectCount(source, count);
  if (n == 0) return;
  BlockCipher cipher(key, true);
  std::uint8_t in[kBlock];
  std::uint8_t out[kBlock];
  while (n > 0) {
    const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(n, kBlock));
    source.ReadBuffer(in, take);
    if (take < kBlock) std::memset(in + take, 0, kBlock - take);
    cipher.Block(in, out);
    dest.WriteBuffer(out, kBlock);
    n -= take;
  }
}

void DecryptStream(TStream& source, std::uint64_t count, const TAESKey& key, TStream& dest) {
  std::uint64_t n = SelectCount(source, count);
  if (n == 0) return;
  if (n % kBlock != 0) throw EAESError("Invalid buffer size for decryption");
  BlockCipher cipher(key, false);
  std::uint8_t in[kBlock];
  std::uint8_t out[kBlock];
  for (; n > 0; n -= kBlock) {
    source.ReadBuffer(in, kBlock);
    cipher.Block(in, out);
    dest.WriteBuffer(out, kBlock);
  }
}

TAESKey SeedToKey(std::uint32_t seed) {
  char text[17];
  std::snprintf(text, sizeof text, "%016u", static_cast<unsigned>(seed));
  TAESKey key;
  std::memcpy(key.data(), text, key.size());
  return key;
}

std::uint32_t SeedToTransport(std::uint32_t seed) {
  const std::uint32_t shifted = seed - proto::kSeedOffset;
  return (shifted << 16) | (shifted >> 16);
}

std::uint32_t SeedFromTransport(std::uint32_t word) {
  const std::uint32_t swapped = (word << 16) | (word >> 16);
  return swapped + proto::kSeedOffset;
}

std::string MakeLinkToken(std::span<const std::uint8_t> record) {
  TAESKey key;
  static_assert(sizeof(proto::kLinkKey) == 17, "the link key is 16 characters");
  std::memcpy(key.data(), proto::kLinkKey, key.size());

  TMemoryStream out;
  const auto size = static_cast<std::uint32_t>(record.size());
  const std::uint8_t prefix[4] = {static_cast<std::uint8_t>(size), static_cast<std::uint8_t>(size >> 8),
                                  static_cast<std::uint8_t>(size >> 16),
                                  static_cast<std::uint8_t>(size >> 24)};
  out.WriteBuffer(prefix, sizeof prefix);
  TByteViewStream in(record);
  EncryptStream(in, 0, key, out);

  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string token;
  token.reserve(out.Size() * 2);
  for (std::uint8_t b : out.Bytes()) {
    token.push_back(kHex[b >> 4]);
    token.push_back(kHex[b & 0x0F]);
  }
  return token;
}

}  // namespace vantori
