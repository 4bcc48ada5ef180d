// HostSettings are what the HTTP host of JobSheet serves with, read from the installation it runs
// in (the program folder DIR/bin): the server database connection string through the
// installation's configuration chain, and the section SERVERHOST of the product configuration
// (web/config/VarnexConfiguration.xml):
//   SharedSecret           required; callers send it as "Authorization: Bearer <secret>"
//   Listen                 address:port, default 127.0.0.1:8085 (loopback only)
//   MaxRequestBytes        default 16777216
//   RequestTimeoutSeconds  time limit of one request's arrival (and of its answer's sending),
//                          also how long a connection may stay idle, default 30
//   WorkerThreads          JobSheet calls run at once, one per thread, default 8
//   MaxConnections         open connections at once, default 512
//   MaxConnectionsPerClient  open connections from one client address, default 64
//   ShutdownGraceSeconds   how long a stop waits for the requests in progress, default 10
//   ConsoleSecretHash      the operator console's secret as a salted hash (TQSRemoteAdmin
//                          console-secret writes it); without it the console is off
//   ConsoleSecureCookie    true when operators reach the host over TLS (a proxy in front): the
//                          console's cookie is then sent over TLS only; default false
// The database is the installation's: callers cannot choose it. The console's audit log is
// data/console-audit.log of the installation.
#ifndef TQS_SERVER_HOST_HOST_SETTINGS_H_
#define TQS_SERVER_HOST_HOST_SETTINGS_H_

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace tqs::server::host {

// What the operator console (server/host/console/console.h) is served with.
struct ConsoleSettings {
  std::optional<std::string> secret_hash;  // the stored operator secret; none: console off
  bool secure_cookie = false;              // the host is reached over TLS (a proxy in front)
  std::filesystem::path audit_log;         // data/console-audit.log of the installation
};

struct HostSettings {
  std::string connection_string;
  std::string shared_secret;
  std::string listen_host = "127.0.0.1";
  int port = 8085;
  std::size_t max_request_bytes = 16 * 1024 * 1024;
  std::chrono::seconds request_timeout{30};
  int worker_threads = 8;
  int max_connections = 512;
  int max_connections_per_client = 64;
  std::chrono::seconds shutdown_grace{10};
  ConsoleSettings console;
};

// The section and keys of the host's own settings.
inline constexpr const char* kHostSection = "SERVERHOST";
inline constexpr const char* kSharedSecretKey = "SharedSecret";
inline constexpr const char* kConsoleSecretKey = "ConsoleSecretHash";
inline constexpr const char* kConsoleAuditLogName = "console-audit.log";

// Reads the settings of the installation whose bin folder is `program_folder`. Raises
// tqs::Error naming a missing file or key, a secret shorter than 16 characters, a console secret
// that is not a stored hash, or a value that is not valid.
HostSettings ReadHostSettings(const std::filesystem::path& program_folder);

}  // namespace tqs::server::host

#endif  // TQS_SERVER_HOST_HOST_SETTINGS_H_
