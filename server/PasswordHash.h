#pragma once
// Salted slow hashes of member passwords.

#include <cstdint>
#include <string>
#include <string_view>

namespace vantori::server {

// Iterations of PBKDF2-HMAC-SHA256 for new hashes: a few milliseconds per check.
inline constexpr int kPasswordIterations = 20000;

struct TPasswordHash {
  std::string Salt;  // 16 random bytes
  std::string Hash;  // 32 bytes
  int Iterations = kPasswordIterations;
};

TPasswordHash HashPassword(std::string_view password, int iterations = kPasswordIterations);
std::string DerivePasswordHash(std::string_view password, std::string_view salt, int iterations);
// Compares in constant time.
bool VerifyPassword(std::string_view password, const TPasswordHash& stored);

}  // namespace vantori::server
