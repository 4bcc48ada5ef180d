// The operator console: web pages under /console of the HTTP host that show the upload queue
// and let an operator act on the documents that wait for one, without SQL.
//   GET  /console/                     the queue per document type and status, the oldest pending
//                                      age, the employees with the most pending documents, the
//                                      in-doubt and failing counts (refreshed by its script)
//   GET  /console/api/overview         the same as JSON, for the refresh
//   GET  /console/documents            in-doubt and repeatedly failing documents; filters kind
//                                      (all, in-doubt, failing), employee, type
//   GET  /console/documents/<key>      one document: its fields, stored XML and result
//   POST /console/documents/<key>/requeue | resolve   the operator's decisions
//   GET/POST /console/login, POST /console/logout
//   GET  /console/assets/console.css | console.js
// The console is off (every /console path answers 404) until an operator secret is set. A login
// checks the operator secret (operator_secret.h; never the web tier's shared secret), slowed
// after failures (login_throttle.h), and makes a session (console_sessions.h) whose cookie is
// HttpOnly, SameSite=Strict, Path=/console, and Secure behind TLS. Every POST but the login
// carries the session's CSRF token (form field "csrf" or header X-CSRF-Token) and, when the
// browser sends an Origin, comes from this host; otherwise it is refused with 403. Every answer
// carries a Content-Security-Policy without inline scripts, nosniff, no referrer and no-store.
// Actions and logins are written to the audit log (audit_log.h) and, as for TQSRemoteAdmin,
// to OPERATORACTIONS.
//
// Answer() runs on the host's worker threads and opens its own database connection: thread-safe.
#ifndef TQS_SERVER_HOST_CONSOLE_CONSOLE_H_
#define TQS_SERVER_HOST_CONSOLE_CONSOLE_H_

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "server/host/console/audit_log.h"
#include "server/host/console/console_sessions.h"
#include "server/host/console/login_throttle.h"
#include "server/host/host_settings.h"
#include "server/host/http_answers.h"

namespace tqs::server::host::console {

// What the console needs of an HTTP request.
struct ConsoleRequest {
  std::string method;                                     // "GET", "HEAD", "POST"
  std::string path;                                       // decoded, starting with /console
  std::map<std::string, std::string, std::less<>> query;  // decoded arguments
  std::string body;                                       // a POST's form body
  std::string session_cookie;                             // the cookie's value, if any
  std::string csrf_header;                                // X-CSRF-Token
  std::string origin;                                     // Origin
  std::string host;                                       // Host
  bool forwarded_https = false;  // X-Forwarded-Proto: https from the TLS proxy
  std::string client;            // the client's address
};

// The name of the session cookie.
inline constexpr std::string_view kSessionCookie = "tqs_console";

// The largest body a console POST may have.
inline constexpr std::size_t kMaxConsoleBodyBytes = 64 * 1024;

// Whether `path` is the console's: "/console" or below "/console/".
bool IsConsolePath(std::string_view path);

class Console {
 public:
  Console(ConsoleSettings settings, std::string connection_string);
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  bool enabled() const { return settings_.secret_hash.has_value(); }

  // The answer to a console request (404 for every path when the console is off).
  HttpAnswer Answer(const ConsoleRequest& request);

 private:
  HttpAnswer Route(const ConsoleRequest& request);
  HttpAnswer Login(const ConsoleRequest& request);
  HttpAnswer Decide(const ConsoleRequest& request, const ConsoleSession& session, std::int64_t key,
                    std::string_view action);
  HttpAnswer Logout(const ConsoleRequest& request, const ConsoleSession& session);
  void Audit(const ConsoleRequest& request, std::string_view label, std::string_view action,
             std::optional<std::int64_t> key, std::string_view outcome) const;

  const ConsoleSettings settings_;
  const std::string connection_string_;
  const AuditLog audit_log_;
  ConsoleSessions sessions_;
  LoginThrottle throttle_;
};

}  // namespace tqs::server::host::console

#endif  // TQS_SERVER_HOST_CONSOLE_CONSOLE_H_
