#include "server/host/host_settings.h"

#include <charconv>

#include "common/configuration_chain.h"
#include "common/error.h"
#include "common/text.h"
#include "server/host/console/operator_secret.h"

namespace tqs::server::host {
namespace {

// The value of an optional key, or `fallback` when the key is not there.
std::string Optional(const config::Configuration& configuration, const char* key,
                     std::string fallback) {
  try {
    return configuration.getValue(kHostSection, key);
  } catch (const Error&) {
    return fallback;
  }
}

long long Number(const std::string& text, const char* key, long long low, long long high) {
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
    throw Error(error_number::kInvalidProcedureCall,
                std::string(kHostSection) + "/" + key + " must be a whole number from " +
                    std::to_string(low) + " to " + std::to_string(high) + ", not '" + text + "'");
  }
  return value;
}

}  // namespace

HostSettings ReadHostSettings(const std::filesystem::path& program_folder) {
  config::Configuration configuration;
  const ChainedSettings chain = ReadConfigurationChain(
      configuration, program_folder.string(), configuration_chain::kBrokerConfigFolder);
  HostSettings settings;
  settings.connection_string = chain.connection_string;
  settings.shared_secret = configuration.getValue(kHostSection, kSharedSecretKey);
  if (settings.shared_secret.size() < 16) {
    throw Error(error_number::kInvalidProcedureCall,
                std::string(kHostSection) + "/" + kSharedSecretKey +
                    " must hold at least 16 characters; the host does not serve without it");
  }
  const std::string listen = Optional(configuration, "Listen", "127.0.0.1:8085");
  const std::size_t colon = listen.rfind(':');
  if (colon == std::string::npos || colon == 0) {
    throw Error(error_number::kInvalidProcedureCall,
                std::string(kHostSection) + "/Listen must be address:port, not '" + listen + "'");
  }
  settings.listen_host = listen.substr(0, colon);
  settings.port = static_cast<int>(Number(listen.substr(colon + 1), "Listen", 0, 65535));
  settings.max_request_bytes = static_cast<std::size_t>(
      Number(Optional(configuration, "MaxRequestBytes", "16777216"), "MaxRequestBytes", 1024,
             1LL << 31));
  settings.request_timeout = std::chrono::seconds(
      Number(Optional(configuration, "RequestTimeoutSeconds", "30"), "RequestTimeoutSeconds", 1,
             3600));
  settings.worker_threads =
      static_cast<int>(Number(Optional(configuration, "WorkerThreads", "8"), "WorkerThreads", 1,
                              256));
  settings.max_connections = static_cast<int>(
      Number(Optional(configuration, "MaxConnections", "512"), "MaxConnections", 1, 100000));
  settings.max_connections_per_client =
      static_cast<int>(Number(Optional(configuration, "MaxConnectionsPerClient", "64"),
                              "MaxConnectionsPerClient", 1, 100000));
  settings.shutdown_grace = std::chrono::seconds(Number(
      Optional(configuration, "ShutdownGraceSeconds", "10"), "ShutdownGraceSeconds", 0, 3600));
  const std::string console_secret = Optional(configuration, kConsoleSecretKey, "");
  if (!console_secret.empty()) {
    try {
      console::CheckStoredSecret(console_secret);
    } catch (const Error& error) {
      throw Error(error_number::kInvalidProcedureCall,
                  std::string(kHostSection) + "/" + kConsoleSecretKey + ": " + error.description());
    }
    settings.console.secret_hash = console_secret;
  }
  const std::string secure =
      AsciiLowerCase(Optional(configuration, "ConsoleSecureCookie", "false"));
  if (secure != "true" && secure != "false") {
    throw Error(error_number::kInvalidProcedureCall,
                std::string(kHostSection) + "/ConsoleSecureCookie must be true or false, not '" +
                    secure + "'");
  }
  settings.console.secure_cookie = secure == "true";
  settings.console.audit_log = program_folder.parent_path() / "data" / kConsoleAuditLogName;
  return settings;
}

}  // namespace tqs::server::host
