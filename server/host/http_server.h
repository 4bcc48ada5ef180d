// HttpServer is the web tier's way in to JobSheet over HTTP:
//   POST /JobSheet/<method>   body: the JSON request of `TQSRemoteServerHost call`, without
//                             i_sDSNString (the installation's database is used), whatever its
//                             content type; answer: the same JSON response; 400 for a malformed
//                             request, 401 without the shared secret, 404 for an unknown method,
//                             413 for a body over MaxRequestBytes, 415 for a body with a content
//                             encoding, 500 with "error" when the method raises
//   GET /health               {"status": "ok"}, 503 when the database cannot be opened; with the
//                             secret also the upload queue's state
//   GET /metrics              with the secret (401 without): request counts by method and
//                             status, a latency histogram and the upload queue in the Prometheus
//                             text format (server/host/http_answers.h, http_metrics.h)
//   /console/...              the operator console's pages (server/host/console/console.h),
//                             with its own login; 404 while no operator secret is set
// Every error answer of the JobSheet routes is a JSON object with "error". Callers authenticate
// with "Authorization: Bearer <shared secret>", which is checked from the headers before any byte
// of the body is read. Connections are served by one event-driven thread, so slow, idle or
// kept-alive connections hold no worker; a complete request is handed to a pool of
// WorkerThreads threads, each calling JobSheet with its own database connection, as the
// component's threading model requires. One access-log line per request goes to standard error.
//
// Stop() may be called from any thread at any time, also before Bind() or Serve(): a stop asked
// for before the server serves makes Serve() return at once, so a SIGTERM during start-up is
// never lost. A stop takes no new connections, gives the requests in progress ShutdownGrace to
// finish and then closes every connection.
#ifndef TQS_SERVER_HOST_HTTP_SERVER_H_
#define TQS_SERVER_HOST_HTTP_SERVER_H_

#include <functional>
#include <memory>

#include "platform/automation/component_registry.h"
#include "server/host/host_settings.h"

namespace tqs::server::host {

class HttpServer {
 public:
  HttpServer(HostSettings settings, const automation::ComponentRegistry& components);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Binds the listening socket (port 0 picks a free one) and returns the port. Raises
  // tqs::Error when the address cannot be bound, saying so when another process listens on it.
  int Bind();

  // Serves until Stop(); returns when the requests in progress have finished or the grace
  // period is over, or at once when Stop() came first. False when calls were still running on
  // workers at the end of the grace period (their answers were given up; the workers finish
  // them when the server is destroyed, so a program that must end now may exit instead).
  // `on_serving`, when given, is called once the server accepts connections (not when a stop
  // came first).
  bool Serve(const std::function<void()>& on_serving = {});

  // Ends Serve(): requests in progress finish, no new ones are taken. Later calls do nothing.
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tqs::server::host

#endif  // TQS_SERVER_HOST_HTTP_SERVER_H_
