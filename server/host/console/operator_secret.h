// The operator secret of the console: what an operator types to log in to /console, kept in the
// host's settings only as a salted hash (PBKDF2-HMAC-SHA256), so that the configuration file does
// not give the secret away. The stored form is one text:
//   pbkdf2-sha256$<iterations>$<salt, hex>$<hash, hex>
// `TQSRemoteAdmin console-secret` writes it; the host checks a login against it. It is never the
// web tier's shared secret. Also the source of the console's random tokens (session ids, CSRF
// tokens, salts), from the system's cryptographic random generator.
//
// Pure functions apart from the random generator; thread-safe.
#ifndef TQS_SERVER_HOST_CONSOLE_OPERATOR_SECRET_H_
#define TQS_SERVER_HOST_CONSOLE_OPERATOR_SECRET_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace tqs::server::host::console {

// The iterations of a new hash: about a tenth of a second of one core, so that a copy of the
// configuration file costs a guesser that much per guess.
inline constexpr int kSecretIterations = 300000;

// The fewest characters an operator secret may have.
inline constexpr std::size_t kMinimumSecretLength = 12;

// The stored form of `secret` with a new random salt.
std::string HashOperatorSecret(std::string_view secret, int iterations = kSecretIterations);

// Whether `secret` is the one `stored` was made from; compared in constant time. Raises
// tqs::Error when `stored` is not a stored form this function knows (a damaged setting).
bool VerifyOperatorSecret(std::string_view secret, std::string_view stored);

// Raises tqs::Error naming the fault when `stored` is not a well-formed stored form.
void CheckStoredSecret(std::string_view stored);

// `bytes` bytes from the system's cryptographic random generator, as lower-case hex.
std::string RandomHex(std::size_t bytes);

// The SHA-256 digest of `text` as lower-case hex: the key under which a session is kept, so
// that looking an id up takes no time that depends on how much of a guessed id matches.
std::string Sha256Hex(std::string_view text);

// Whether two tokens are equal, compared without an early exit.
bool SameToken(std::string_view given, std::string_view expected);

}  // namespace tqs::server::host::console

#endif  // TQS_SERVER_HOST_CONSOLE_OPERATOR_SECRET_H_
