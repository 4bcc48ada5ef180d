// The console's audit log: one line per operator action (login, failed login, logout, requeue,
// resolve), appended to a file in the installation's data folder (data/console-audit.log, mode
// 0600) and written to standard error beside the access log:
//   2026-12-10T06:40:12Z 127.0.0.1 session=1a2b3c4d requeue key=12 changed: requeued (...)
// (UTC time, client address, the session's public label or "-", action, document key or "-",
// outcome). The session's id is never written. Control characters in the outcome are written as
// blanks, so one entry is one line. Thread-safe: each line is appended in one write.
#ifndef TQS_SERVER_HOST_CONSOLE_AUDIT_LOG_H_
#define TQS_SERVER_HOST_CONSOLE_AUDIT_LOG_H_

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace tqs::server::host::console {

struct AuditEntry {
  std::chrono::system_clock::time_point at;
  std::string client;
  std::string session_label;  // empty before a login
  std::string action;         // "login", "login-refused", "logout", "requeue", "resolve-done"
  std::optional<std::int64_t> key;
  std::string outcome;
};

// The line for `entry`, without the line end.
std::string AuditLine(const AuditEntry& entry);

class AuditLog {
 public:
  explicit AuditLog(std::filesystem::path file) : file_(std::move(file)) {}

  // Raises tqs::Error when the file cannot be opened for appending (a missing folder, no
  // permission): actions are refused rather than taken without their record.
  void CheckWritable() const;

  // Appends the line to the file and writes it to standard error. Raises tqs::Error when the
  // file cannot take it (a full disk); the line is on standard error in any case.
  void Write(const AuditEntry& entry) const;

  const std::filesystem::path& file() const { return file_; }

 private:
  const std::filesystem::path file_;
};

}  // namespace tqs::server::host::console

#endif  // TQS_SERVER_HOST_CONSOLE_AUDIT_LOG_H_
