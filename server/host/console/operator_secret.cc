#include "server/host/console/operator_secret.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <charconv>
#include <optional>
#include <vector>

#include "common/error.h"

namespace tqs::server::host::console {
namespace {

constexpr std::string_view kScheme = "pbkdf2-sha256";
constexpr std::size_t kSaltBytes = 16;
constexpr std::size_t kHashBytes = 32;
constexpr int kMinimumIterations = 1000;
constexpr int kMaximumIterations = 10000000;

std::string Hex(const unsigned char* data, std::size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(size * 2);
  for (std::size_t i = 0; i < size; ++i) {
    text += kDigits[data[i] >> 4];
    text += kDigits[data[i] & 0x0f];
  }
  return text;
}

std::optional<std::vector<unsigned char>> FromHex(std::string_view text) {
  if (text.empty() || text.size() % 2 != 0) return std::nullopt;
  std::vector<unsigned char> bytes(text.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto [end, error] =
        std::from_chars(text.data() + 2 * i, text.data() + 2 * i + 2, bytes[i], 16);
    if (error != std::errc() || end != text.data() + 2 * i + 2) return std::nullopt;
  }
  return bytes;
}

std::vector<unsigned char> Derive(std::string_view secret, const std::vector<unsigned char>& salt,
                                  int iterations, std::size_t size) {
  std::vector<unsigned char> hash(size);
  if (PKCS5_PBKDF2_HMAC(secret.data(), static_cast<int>(secret.size()), salt.data(),
                        static_cast<int>(salt.size()), iterations, EVP_sha256(),
                        static_cast<int>(hash.size()), hash.data()) != 1) {
    throw Error(error_number::kGenericFailure, "The operator secret could not be hashed");
  }
  return hash;
}

struct StoredSecret {
  int iterations = 0;
  std::vector<unsigned char> salt;
  std::vector<unsigned char> hash;
};

StoredSecret Parse(std::string_view stored) {
  const auto fault = [](const std::string& what) {
    return Error(error_number::kInvalidProcedureCall,
                 "The stored operator secret is not a hash this host knows (" + what +
                     "); set it again with TQSRemoteAdmin console-secret");
  };
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t dollar = stored.find('$', start);
    parts.push_back(stored.substr(start, dollar - start));
    if (dollar == std::string_view::npos) break;
    start = dollar + 1;
  }
  if (parts.size() != 4 || parts[0] != kScheme) {
    throw fault("expected " + std::string(kScheme) + "$iterations$salt$hash");
  }
  StoredSecret secret;
  const auto [end, error] =
      std::from_chars(parts[1].data(), parts[1].data() + parts[1].size(), secret.iterations);
  if (error != std::errc() || end != parts[1].data() + parts[1].size() ||
      secret.iterations < kMinimumIterations || secret.iterations > kMaximumIterations) {
    throw fault("the iterations are not a number from " + std::to_string(kMinimumIterations) +
                " to " + std::to_string(kMaximumIterations));
  }
  auto salt = FromHex(parts[2]);
  auto hash = FromHex(parts[3]);
  if (!salt || !hash || hash->size() < 16) throw fault("the salt or hash is not hex");
  secret.salt = std::move(*salt);
  secret.hash = std::move(*hash);
  return secret;
}

}  // namespace

std::string HashOperatorSecret(std::string_view secret, int iterations) {
  if (secret.find('\0') != std::string_view::npos) {
    throw Error(error_number::kInvalidProcedureCall,
                "The operator secret must not hold a NUL character");
  }
  unsigned char salt[kSaltBytes];
  if (RAND_bytes(salt, sizeof salt) != 1) {
    throw Error(error_number::kGenericFailure, "The system's random generator failed");
  }
  const std::vector<unsigned char> salt_bytes(salt, salt + sizeof salt);
  const std::vector<unsigned char> hash = Derive(secret, salt_bytes, iterations, kHashBytes);
  return std::string(kScheme) + "$" + std::to_string(iterations) + "$" + Hex(salt, sizeof salt) +
         "$" + Hex(hash.data(), hash.size());
}

bool VerifyOperatorSecret(std::string_view secret, std::string_view stored) {
  const StoredSecret parsed = Parse(stored);
  // HMAC pads a short key with zero bytes: "s" and "s\0" would give the same hash.
  if (secret.find('\0') != std::string_view::npos) return false;
  const std::vector<unsigned char> hash =
      Derive(secret, parsed.salt, parsed.iterations, parsed.hash.size());
  return CRYPTO_memcmp(hash.data(), parsed.hash.data(), hash.size()) == 0;
}

void CheckStoredSecret(std::string_view stored) { Parse(stored); }

std::string RandomHex(std::size_t bytes) {
  std::vector<unsigned char> data(bytes);
  if (RAND_bytes(data.data(), static_cast<int>(data.size())) != 1) {
    throw Error(error_number::kGenericFailure, "The system's random generator failed");
  }
  return Hex(data.data(), data.size());
}

std::string Sha256Hex(std::string_view text) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (EVP_Digest(text.data(), text.size(), digest, &size, EVP_sha256(), nullptr) != 1) {
    throw Error(error_number::kGenericFailure, "The session key could not be computed");
  }
  return Hex(digest, size);
}

bool SameToken(std::string_view given, std::string_view expected) {
  if (given.size() != expected.size()) return false;
  return CRYPTO_memcmp(given.data(), expected.data(), given.size()) == 0;
}

}  // namespace tqs::server::host::console
