// The access log of the HTTP host: one line per request on standard error, for operators and
// log collectors:
//   2026-12-09T21:30:00Z 192.0.2.7 POST /JobSheet/StoreOutboxContent 200 512 12ms
// (UTC time the request began, client address, method, path, status or "-" when the connection
// ended without an answer, answer body bytes, milliseconds). Headers and bodies (the shared
// secret, the documents) are never logged; the path is cut to an excerpt and its control
// characters and blanks written as '?'. Thread-safe: each line is written whole.
#ifndef TQS_SERVER_HOST_ACCESS_LOG_H_
#define TQS_SERVER_HOST_ACCESS_LOG_H_

#include <chrono>
#include <cstddef>
#include <string>

namespace tqs::server::host {

struct AccessRecord {
  std::chrono::system_clock::time_point began;
  std::string client;
  std::string method;
  std::string path;
  int status = 0;  // 0: no answer was sent
  std::size_t body_bytes = 0;
  std::chrono::milliseconds took{0};
};

// The line for `record`, without the line end.
std::string AccessLine(const AccessRecord& record);

// "2026-12-09T21:30:00Z": the stamp that begins the host's log lines.
std::string UtcStamp(std::chrono::system_clock::time_point at);

// Writes AccessLine(record) and a line end to standard error in one write.
void LogAccess(const AccessRecord& record);

}  // namespace tqs::server::host

#endif  // TQS_SERVER_HOST_ACCESS_LOG_H_
