#include "server/host/console/audit_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/error.h"
#include "common/text.h"
#include "server/host/access_log.h"

namespace tqs::server::host::console {
namespace {

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  }
  return text;
}

int OpenForAppending(const std::filesystem::path& file) {
  const int descriptor = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (descriptor < 0) {
    throw Error(error_number::kGenericFailure, "The console's audit log '" + file.string() +
                                                   "' cannot be opened: " + std::strerror(errno));
  }
  return descriptor;
}

}  // namespace

std::string AuditLine(const AuditEntry& entry) {
  return OneLine(UtcStamp(entry.at) + " " + (entry.client.empty() ? "-" : entry.client) +
                 " session=" + (entry.session_label.empty() ? "-" : entry.session_label) + " " +
                 entry.action + " key=" + (entry.key ? std::to_string(*entry.key) : "-") + " " +
                 Excerpt(entry.outcome, 1000));
}

void AuditLog::CheckWritable() const { ::close(OpenForAppending(file_)); }

void AuditLog::Write(const AuditEntry& entry) const {
  const std::string line = AuditLine(entry) + "\n";
  const std::string logged = "TQSRemoteServerHost: console: " + line;
  [[maybe_unused]] const ssize_t shown = ::write(STDERR_FILENO, logged.data(), logged.size());
  const int descriptor = OpenForAppending(file_);
  const ssize_t written = ::write(descriptor, line.data(), line.size());
  const int reason = errno;
  const bool synced = ::fsync(descriptor) == 0;
  ::close(descriptor);
  if (written != static_cast<ssize_t>(line.size()) || !synced) {
    throw Error(error_number::kGenericFailure,
                "The console's audit log '" + file_.string() +
                    "' could not take the entry: " + std::strerror(written < 0 ? reason : ENOSPC));
  }
}

}  // namespace tqs::server::host::console
