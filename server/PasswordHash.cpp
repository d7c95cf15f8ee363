#include "PasswordHash.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <stdexcept>

namespace vantori::server {

std::string DerivePasswordHash(std::string_view password, std::string_view salt, int iterations) {
  std::string out(32, '\0');
  if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                        reinterpret_cast<const unsigned char*>(salt.data()), static_cast<int>(salt.size()),
                        iterations, EVP_sha256(), static_cast<int>(out.size()),
                        reinterpret_cast<unsigned char*>(out.data())) != 1) {
    throw std::runtime_error("password hashing failed");
  }
  return out;
}

TPasswordHash HashPassword(std::string_view password, int iterations) {
  TPasswordHash result;
  result.Salt.assign(16, '\0');
  if (RAND_bytes(reinterpret_cast<unsigned char*>(result.Salt.data()), 16) != 1) {
    throw std::runtime_error("no random bytes for a password salt");
  }
  result.Iterations = iterations;
  result.Hash = DerivePasswordHash(password, result.Salt, iterations);
  return result;
}

bool VerifyPassword(std::string_view password, const TPasswordHash& stored) {
  if (stored.Hash.size() != 32 || stored.Iterations <= 0) return false;
  const std::string hash = DerivePasswordHash(password, stored.Salt, stored.Iterations);
  return CRYPTO_memcmp(hash.data(), stored.Hash.data(), hash.size()) == 0;
}

}  // namespace vantori::server
