#include "server/host/http_server.h"

#include <dirent.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

#include "common/error.h"
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
      Refuse(response, 404, "JobSheet has no method '" + request.matches[1].str() + "'");
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
  const int port = settings.port == 0
                       ? impl_->server.bind_to_any_port(settings.listen_host)
                       : (impl_->server.bind_to_port(settings.listen_host, settings.port)
                              ? settings.port
                              : -1);
  if (port < 0) {
    throw Error(error_number::kGenericFailure, "Cannot listen on " + settings.listen_host + ":" +
                                                   std::to_string(settings.port));
  }
  RaiseListenBacklog(port);
  return port;
}

void HttpServer::Serve() { impl_->server.listen_after_bind(); }

void HttpServer::Stop() { impl_->server.stop(); }

}  // namespace tqs::server::host
