#include "server/host/http_server.h"

#include <dirent.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "common/error.h"
#include "common/text.h"
#include "platform/db/connection.h"
#include "server/admin/queue_health.h"
#include "server/host/method_table.h"
#include "server/jobsheet.h"

namespace tqs::server::host {
namespace {

constexpr const char* kJson = "application/json";
constexpr std::size_t kRequestsPerConnection = 10'000;

// The packaged HTTP library listens with a backlog of 5 and offers no setting for it: when a few
// dozen web-tier clients connect at the same moment (a host restart, a burst at shift change)
// the connection attempts beyond it are dropped, each costing the client a second, and some
// requests fail. Calling listen() again on the bound socket raises the backlog; the socket is
// found among the process's descriptors as the listening one bound to `port`.
void RaiseListenBacklog(int port) {
  DIR* descriptors = ::opendir("/proc/self/fd");
  if (descriptors == nullptr) return;
  while (const dirent* entry = ::readdir(descriptors)) {
    const int fd = std::atoi(entry->d_name);
    struct stat status {};
    if (entry->d_name[0] == '.' || ::fstat(fd, &status) != 0 || !S_ISSOCK(status.st_mode)) {
      continue;
    }
    int listening = 0;
    socklen_t size = sizeof listening;
    if (::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) != 0 || !listening) {
      continue;
    }
    sockaddr_storage address {};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) continue;
    int bound = -1;
    if (address.ss_family == AF_INET) {
      bound = ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
    } else if (address.ss_family == AF_INET6) {
      bound = ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    }
    if (bound == port) ::listen(fd, SOMAXCONN);
  }
  ::closedir(descriptors);
}

// Compares without an early exit, so the time taken does not tell how much of a guess matched.
bool SameSecret(std::string_view given, std::string_view expected) {
  unsigned char difference = given.size() == expected.size() ? 0 : 1;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const unsigned char g = i < given.size() ? static_cast<unsigned char>(given[i]) : 0;
    difference |= g ^ static_cast<unsigned char>(expected[i]);
  }
  return difference == 0;
}

void Answer(httplib::Response& response, int status, const nlohmann::json& body) {
  response.status = status;
  response.set_content(JsonText(body), kJson);
}

void Refuse(httplib::Response& response, int status, const std::string& description) {
  Answer(response, status, {{"error", {{"description", description}}}});
}

}  // namespace

struct HttpServer::Impl {
  Impl(HostSettings settings_in, const automation::ComponentRegistry& components_in)
      : settings(std::move(settings_in)), components(components_in) {}

  bool Authorized(const httplib::Request& request) const {
    const std::string header = request.get_header_value("Authorization");
    constexpr std::string_view kBearer = "Bearer ";
    if (header.rfind(kBearer, 0) != 0) return false;
    return SameSecret(std::string_view(header).substr(kBearer.size()), settings.shared_secret);
  }

  void HandleCall(const httplib::Request& request, httplib::Response& response) {
    if (!Authorized(request)) {
      response.set_header("WWW-Authenticate", "Bearer");
      Refuse(response, 401, "The request lacks the shared secret of this server");
      return;
    }
    const Method* method = FindMethod(request.matches[1].str());
    if (method == nullptr) {
      Refuse(response, 404, "JobSheet has no method '" + Excerpt(request.matches[1].str()) + "'");
      return;
    }
    nlohmann::json body = nlohmann::json::parse(request.body, nullptr, false);
    if (body.is_discarded()) {
      Refuse(response, 400, "The request body is not valid JSON");
      return;
    }
    if (body.is_object() && body.contains("i_sDSNString")) {
      Refuse(response, 400,
             "i_sDSNString is set by the server's configuration; leave it out of the request");
      return;
    }
    if (TakesConnectionString(*method) && body.is_object()) {
      body["i_sDSNString"] = settings.connection_string;
    }
    std::optional<Arguments> arguments;
    try {
      arguments.emplace(BindArguments(*method, body));
    } catch (const Error& error) {
      Refuse(response, 400, error.description());
      return;
    }
    try {
      JobSheet job_sheet(components);
      Answer(response, 200, Invoke(*method, job_sheet, *arguments));
    } catch (const Error& error) {
      Answer(response, 500, ErrorResponse(error.number(), error.description()));
    } catch (const std::exception& error) {
      Answer(response, 500, ErrorResponse(error_number::kGenericFailure, error.what()));
    }
  }

  void HandleHealth(const httplib::Request& request, httplib::Response& response) {
    nlohmann::json body = {{"status", "ok"}};
    if (Authorized(request)) {
      try {
        auto connection = db::Connection::Open(settings.connection_string);
        body["queue"] = ToJson(ReadQueueHealth(*connection));
      } catch (const Error& error) {
        body["status"] = "database unavailable";
        body["error"] = error.description();
        Answer(response, 503, body);
        return;
      }
    }
    Answer(response, 200, body);
  }

  const HostSettings settings;
  const automation::ComponentRegistry& components;
  httplib::Server server;

  // Stopping. The library's stop() does nothing until its accept loop runs, so a stop asked for
  // earlier (a SIGTERM during start-up) is remembered here and applied once the loop runs, or
  // keeps the loop from starting at all.
  std::mutex stop_mutex;
  std::condition_variable serve_ended;
  bool stop_requested = false;  // guarded by stop_mutex
  bool serving = false;         // guarded by stop_mutex: Serve() is in the library's loop
  int listening_socket = -1;    // the bound socket, while no one but Bind and Serve use it
};

HttpServer::HttpServer(HostSettings settings, const automation::ComponentRegistry& components)
    : impl_(std::make_unique<Impl>(std::move(settings), components)) {
  httplib::Server& server = impl_->server;
  const HostSettings& settings_ref = impl_->settings;
  const int workers = settings_ref.worker_threads;
  server.new_task_queue = [workers] { return new httplib::ThreadPool(workers); };
  server.set_payload_max_length(settings_ref.max_request_bytes);
  server.set_read_timeout(settings_ref.request_timeout);
  server.set_write_timeout(settings_ref.request_timeout);
  // An answer goes out in more than one write (headers, body): with Nagle's algorithm the
  // second waits for the client's delayed acknowledgement, about 40 ms on every request.
  server.set_tcp_nodelay(true);
  // The library's default closes a connection after 5 requests, and its listen backlog (fixed
  // at 5 in the packaged library) then overflows when a few dozen web-tier clients reconnect at
  // once: dropped connection attempts cost a second each and some requests failed. A web tier
  // keeps its connections for many requests.
  server.set_keep_alive_max_count(kRequestsPerConnection);
  // The library's default sets SO_REUSEPORT, with which a second host (or another program of
  // the same user) binds the address in use and takes over part of its connections. Only
  // SO_REUSEADDR is set: a restarted host binds at once while the old connections linger in
  // TIME_WAIT, and a host started on an address in use is refused.
  server.set_socket_options([impl = impl_.get()](int socket) {
    int yes = 1;
    ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    impl->listening_socket = socket;
  });
  server.Post(R"(/JobSheet/([A-Za-z]+))",
              [this](const httplib::Request& request, httplib::Response& response) {
                impl_->HandleCall(request, response);
              });
  server.Get("/health", [this](const httplib::Request& request, httplib::Response& response) {
    impl_->HandleHealth(request, response);
  });
}

HttpServer::~HttpServer() = default;

int HttpServer::Bind() {
  const HostSettings& settings = impl_->settings;
  errno = 0;
  const int port = settings.port == 0
                       ? impl_->server.bind_to_any_port(settings.listen_host)
                       : (impl_->server.bind_to_port(settings.listen_host, settings.port)
                              ? settings.port
                              : -1);
  if (port < 0) {
    const int reason = errno;
    std::string description =
        "Cannot listen on " + settings.listen_host + ":" + std::to_string(settings.port);
    if (reason == EADDRINUSE) {
      description += ": the address is in use (is another host or program serving on it?)";
    } else if (reason != 0) {
      description += std::string(": ") + std::strerror(reason);
    }
    throw Error(error_number::kGenericFailure, description);
  }
  RaiseListenBacklog(port);
  return port;
}

void HttpServer::Serve() {
  {
    std::lock_guard lock(impl_->stop_mutex);
    if (impl_->stop_requested) {
      // Stopped before serving: the bound socket is closed here, as the library only closes
      // it from its loop (its destructor leaves it open).
      if (impl_->listening_socket >= 0) ::close(std::exchange(impl_->listening_socket, -1));
      return;
    }
    impl_->serving = true;
  }
  impl_->server.listen_after_bind();
  {
    std::lock_guard lock(impl_->stop_mutex);
    impl_->serving = false;
    impl_->listening_socket = -1;
  }
  impl_->serve_ended.notify_all();
}

void HttpServer::Stop() {
  std::unique_lock lock(impl_->stop_mutex);
  if (impl_->stop_requested) return;
  impl_->stop_requested = true;
  // Serve() has entered the library but its loop may not run yet, and a stop() before then is
  // lost: wait for the loop to run (a moment) or for Serve() to give up.
  while (impl_->serving && !impl_->server.is_running()) {
    impl_->serve_ended.wait_for(lock, std::chrono::milliseconds(1));
  }
  if (impl_->serving) impl_->server.stop();
}

}  // namespace tqs::server::host
