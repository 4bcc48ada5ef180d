// HttpServer is the web tier's way in to JobSheet over HTTP:
//   POST /JobSheet/<method>   body: the JSON request of `TQSRemoteServerHost call`, without
//                             i_sDSNString (the installation's database is used); answer: the
//                             same JSON response; 400 for a malformed request, 401 without the
//                             shared secret, 404 for an unknown method, 500 with "error" when the
//                             method raises
//   GET /health               {"status": "ok"}; with the secret also the upload queue's state
// Callers authenticate with "Authorization: Bearer <shared secret>". Each request runs on one
// worker thread with that thread's database connection, as the component's threading model
// requires. Stop() lets requests in progress finish and takes no new ones.
//
// Stop() may be called from any thread at any time, also before Bind() or Serve(): a stop asked
// for before the server serves makes Serve() return at once, so a SIGTERM during start-up is
// never lost.
#ifndef TQS_SERVER_HOST_HTTP_SERVER_H_
#define TQS_SERVER_HOST_HTTP_SERVER_H_

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

  // Serves until Stop(); returns when the last request in progress has finished, or at once
  // when Stop() came first.
  void Serve();

  // Ends Serve(): requests in progress finish, no new ones are taken. Later calls do nothing.
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tqs::server::host

#endif  // TQS_SERVER_HOST_HTTP_SERVER_H_
