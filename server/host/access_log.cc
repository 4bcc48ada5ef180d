#include "server/host/access_log.h"

#include <unistd.h>

#include <ctime>

#include "common/text.h"

namespace tqs::server::host {
namespace {

// Control characters and blanks (a decoded path may hold them) would break the line apart.
std::string Printable(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == ' ') c = '?';
  }
  return text;
}

}  // namespace

std::string UtcStamp(std::chrono::system_clock::time_point at) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(at);
  std::tm utc{};
  ::gmtime_r(&seconds, &utc);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return stamp;
}

std::string AccessLine(const AccessRecord& record) {
  return UtcStamp(record.began) + " " + Printable(record.client) + " " +
         Printable(Excerpt(record.method, 16)) + " " + Printable(Excerpt(record.path)) + " " +
         (record.status == 0 ? std::string("-") : std::to_string(record.status)) + " " +
         std::to_string(record.body_bytes) + " " + std::to_string(record.took.count()) + "ms";
}

void LogAccess(const AccessRecord& record) {
  const std::string line = AccessLine(record) + "\n";
  // One write per line: lines of concurrent requests never interleave.
  [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, line.data(), line.size());
}

}  // namespace tqs::server::host
