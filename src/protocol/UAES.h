#pragma once
// AES-128 in ECB mode over streams, the key derivation of encrypted message values and
// the web-link token.

#include <array>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

#include "protocol/UStreams.h"

namespace vantori {

class EAESError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using TAESKey = std::array<std::uint8_t, 16>;

// Encrypts bytes of `source` and appends the ciphertext at the position of `dest`.
// count 0: the whole source from position 0; count > 0: min(count, bytes left from the
// source's position). The last partial block is filled with zero bytes, so the output is
// the selected length rounded up to a multiple of 16.
// Raises EStreamError "Stream read error" / "Stream write error" when a stream falls short
// (bytes already written stay written).
void EncryptStream(TStream& source, std::uint64_t count, const TAESKey& key, TStream& dest);
// The same selection, decrypted. A length that is not a multiple of 16 raises EAESError
// "Invalid buffer size for decryption" and writes nothing. The zero fill is kept.
void DecryptStream(TStream& source, std::uint64_t count, const TAESKey& key, TStream& dest);

// The key of an encrypted value: the seed in unsigned decimal, left-padded with '0' to 16
// ASCII characters.
TAESKey SeedToKey(std::uint32_t seed);
// The seed as it travels in the first four bytes of an encrypted block, and back.
std::uint32_t SeedToTransport(std::uint32_t seed);
std::uint32_t SeedFromTransport(std::uint32_t word);

// The web-link token of a binary record: its byte count (4 bytes, little-endian) followed
// by the record encrypted with the link key, written as upper-case hexadecimal.
std::string MakeLinkToken(std::span<const std::uint8_t> record);

}  // namespace vantori
