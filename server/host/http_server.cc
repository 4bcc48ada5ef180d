#include "server/host/http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <microhttpd.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string_view>
#include <utility>

#include "common/error.h"
#include "common/text.h"
#include "server/host/access_log.h"
#include "server/host/connection_deadlines.h"
#include "server/host/console/console.h"
#include "server/host/database_keeper.h"
#include "server/host/http_answers.h"
#include "server/host/http_metrics.h"
#include "server/host/method_table.h"
#include "server/host/worker_pool.h"
#include "server/thread_connection.h"

namespace tqs::server::host {
namespace {

using Clock = std::chrono::steady_clock;

// Memory of one connection for its request line, headers and read buffer (the body is kept
// apart, bounded by MaxRequestBytes): a request whose headers do not fit is refused.
constexpr std::size_t kConnectionMemoryBytes = 64 * 1024;
// How long answers to requests that a stop cut short may take to go out before the connections
// are closed.
constexpr auto kStopAnswerTime = std::chrono::seconds(1);
constexpr std::string_view kCallPrefix = "/JobSheet/";

enum class Route { kCall, kHealth, kMetrics, kConsole };

// A request handed to the worker pool; shared by the connection's request and the worker.
struct Job {
  MHD_Connection* connection = nullptr;
  Route route = Route::kCall;
  const Method* method = nullptr;
  bool authorized = false;
  std::string body;
  console::ConsoleRequest console_request;  // for Route::kConsole; its body is `body`
  // Set by the worker (or by a stop that gives up on the job) before the connection resumes.
  std::optional<HttpAnswer> answer;
};

// One HTTP request on a connection, from its headers to its completion.
struct Request {
  AccessRecord record;
  Clock::time_point started = Clock::now();
  Route route = Route::kCall;
  const Method* method = nullptr;
  bool authorized = false;
  bool answered = false;
  // Set when the body passed the limit while arriving and the answer went out at once.
  std::optional<Clock::time_point> refused_at;
  std::size_t drained = 0;
  std::string body;
  console::ConsoleRequest console_request;  // for Route::kConsole
  std::shared_ptr<Job> job;  // set while and after a worker has it
};

std::string ClientAddress(MHD_Connection* connection) {
  const MHD_ConnectionInfo* info =
      MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
  if (info == nullptr || info->client_addr == nullptr) return "-";
  char text[INET6_ADDRSTRLEN] = "-";
  if (info->client_addr->sa_family == AF_INET) {
    ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(info->client_addr)->sin_addr, text,
                sizeof text);
  } else if (info->client_addr->sa_family == AF_INET6) {
    ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(info->client_addr)->sin6_addr,
                text, sizeof text);
  }
  return text;
}

std::string_view Header(MHD_Connection* connection, const char* name,
                        MHD_ValueKind kind = MHD_HEADER_KIND) {
  const char* value = MHD_lookup_connection_value(connection, kind, name);
  return value == nullptr ? std::string_view() : std::string_view(value);
}

MHD_Result CollectArgument(void* arguments, MHD_ValueKind, const char* key, const char* value) {
  if (key != nullptr) {
    static_cast<std::map<std::string, std::string, std::less<>>*>(arguments)->emplace(
        key, value == nullptr ? "" : value);
  }
  return MHD_YES;
}

// What the console needs of the request's headers and query.
console::ConsoleRequest ReadConsoleRequest(MHD_Connection* connection, const AccessRecord& record) {
  console::ConsoleRequest request;
  request.method = record.method;
  request.path = record.path;
  request.client = record.client;
  MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, &CollectArgument, &request.query);
  const std::string cookie(console::kSessionCookie);
  request.session_cookie = Header(connection, cookie.c_str(), MHD_COOKIE_KIND);
  request.csrf_header = Header(connection, "X-CSRF-Token");
  request.origin = Header(connection, "Origin");
  request.host = Header(connection, MHD_HTTP_HEADER_HOST);
  request.forwarded_https = AsciiLowerCase(Header(connection, "X-Forwarded-Proto")) == "https";
  return request;
}

// Refusing a body while it arrives.
//
// libmicrohttpd 0.9.75 takes an answer only before a request's body or after all of it:
// MHD_queue_response() fails while a body is arriving (also on a suspended connection), and the
// only way to stop reading one is to return MHD_NO from the access handler, which closes the
// connection and logs "Application reported internal error, closing connection". A chunked body
// that passes MaxRequestBytes is therefore answered 413 by writing the answer on the socket
// directly (nothing else of this request has been written there), the rest of the body is read
// and dropped for a moment so that the client reads the answer before the close (closing on
// unread data resets the connection, which may destroy the answer in the client's buffer), and
// then the handler returns MHD_NO. The library's message about that close is expected and is
// kept off standard error; every other message of the library is written there.

// Set on the library's thread when the access handler ends a refused body's connection on
// purpose; the library's message about it follows at once on the same thread.
thread_local bool closing_refused_body = false;

void WriteAnswerOnSocket(int socket, const HttpAnswer& answer) {
  const char* reason = MHD_get_reason_phrase_for(static_cast<unsigned int>(answer.status));
  const std::string text = "HTTP/1.1 " + std::to_string(answer.status) + " " + reason +
                           "\r\nContent-Type: application/json\r\nContent-Length: " +
                           std::to_string(answer.body.size()) + "\r\nConnection: close\r\n\r\n" +
                           answer.body;
  [[maybe_unused]] const ssize_t sent =
      ::send(socket, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  ::shutdown(socket, SHUT_WR);
}

void LogLibraryMessage(void*, const char* format, va_list arguments) {
  char text[512];
  std::vsnprintf(text, sizeof text, format, arguments);
  constexpr std::string_view kDeliberateClose = "Application reported internal error";
  if (std::exchange(closing_refused_body, false) &&
      std::string_view(text).substr(0, kDeliberateClose.size()) == kDeliberateClose) {
    return;
  }
  std::string line = "TQSRemoteServerHost: ";
  line += text;
  if (line.back() != '\n') line += '\n';
  [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, line.data(), line.size());
}

// The listening socket of host:port (port 0: any free one), or an error saying why not. Only
// SO_REUSEADDR is set: a restarted host binds at once while old connections linger in
// TIME_WAIT, and a host started on an address another program listens on is refused (with
// SO_REUSEPORT it would share the address and take part of the connections).
int OpenListeningSocket(const std::string& host, int port) {
  std::string name = host;
  if (name.size() > 2 && name.front() == '[' && name.back() == ']') {
    name = name.substr(1, name.size() - 2);
  }
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* addresses = nullptr;
  const std::string where = host + ":" + std::to_string(port);
  const std::string service = std::to_string(port);
  const int looked_up =
      ::getaddrinfo(name.empty() ? nullptr : name.c_str(), service.c_str(), &hints, &addresses);
  if (looked_up != 0) {
    throw Error(error_number::kGenericFailure,
                "Cannot listen on " + where + ": " + ::gai_strerror(looked_up));
  }
  int reason = 0;
  int socket = -1;
  for (const addrinfo* address = addresses; address != nullptr && socket < 0;
       address = address->ai_next) {
    socket = ::socket(address->ai_family, address->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                      address->ai_protocol);
    if (socket < 0) {
      reason = errno;
      continue;
    }
    int yes = 1;
    ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    // Dozens of web-tier clients may connect at the same moment (a restart, a burst at shift
    // change): the full backlog keeps their attempts from being dropped.
    if (::bind(socket, address->ai_addr, address->ai_addrlen) != 0 ||
        ::listen(socket, SOMAXCONN) != 0) {
      reason = errno;
      ::close(socket);
      socket = -1;
    }
  }
  ::freeaddrinfo(addresses);
  if (socket < 0) {
    std::string description = "Cannot listen on " + where;
    if (reason == EADDRINUSE) {
      description += ": the address is in use (is another host or program serving on it?)";
    } else if (reason != 0) {
      description += std::string(": ") + std::strerror(reason);
    }
    throw Error(error_number::kGenericFailure, description);
  }
  return socket;
}

int BoundPort(int socket) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) return -1;
  if (address.ss_family == AF_INET) {
    return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
  }
  return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
}

}  // namespace

struct HttpServer::Impl {
  Impl(HostSettings settings_in, const automation::ComponentRegistry& components_in)
      : settings(std::move(settings_in)),
        components(components_in),
        console(settings.console, settings.connection_string),
        deadlines(settings.request_timeout),
        workers(settings.worker_threads) {}

  // The library's callbacks, on its polling thread.

  static MHD_Result OnAccess(void* self, MHD_Connection* connection, const char* url,
                             const char* method, const char*, const char* upload_data,
                             std::size_t* upload_data_size, void** request_slot) {
    return static_cast<Impl*>(self)->Access(connection, url, method, upload_data, upload_data_size,
                                            request_slot);
  }

  static void OnCompleted(void* self, MHD_Connection* connection, void** request_slot,
                          MHD_RequestTerminationCode) {
    std::unique_ptr<Request> request(static_cast<Request*>(*request_slot));
    *request_slot = nullptr;
    if (request == nullptr) return;
    auto& impl = *static_cast<Impl*>(self);
    const Clock::duration took = Clock::now() - request->started;
    request->record.took = std::chrono::duration_cast<std::chrono::milliseconds>(took);
    LogAccess(request->record);
    if (request->record.status == 0) {
      impl.metrics.RecordUnanswered();
    } else {
      impl.metrics.Record(request->record.method, request->record.status, took);
    }
    impl.deadlines.Restart(connection);
    {
      std::lock_guard lock(impl.state_mutex);
      --impl.requests_in_progress;
    }
    impl.state_changed.notify_all();
  }

  static void OnConnection(void* self, MHD_Connection* connection, void**,
                           MHD_ConnectionNotificationCode code) {
    auto& impl = *static_cast<Impl*>(self);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
      const MHD_ConnectionInfo* info =
          MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
      if (info != nullptr) impl.deadlines.Add(connection, info->connect_fd);
    } else {
      impl.deadlines.Remove(connection);
    }
  }

  MHD_Result Access(MHD_Connection* connection, const char* url, const char* method,
                    const char* upload_data, std::size_t* upload_data_size, void** request_slot) {
    closing_refused_body = false;
    auto* request = static_cast<Request*>(*request_slot);
    if (request == nullptr) {
      request = new Request;
      *request_slot = request;
      request->record = {std::chrono::system_clock::now(), ClientAddress(connection), method, url};
      bool stopping = false;
      {
        std::lock_guard lock(state_mutex);
        ++requests_in_progress;
        stopping = stop_requested;
      }
      if (stopping) {
        return Send(connection, *request, Refusal(503, "The server is stopping"), true);
      }
      // Everything that decides whether the request is served comes from its headers: the
      // body is not read (nor decoded) for a request that is refused.
      if (auto refusal = Admit(connection, *request)) {
        return Send(connection, *request, *refusal);
      }
      return MHD_YES;
    }
    if (request->answered && !request->refused_at) {
      *upload_data_size = 0;
      return MHD_YES;
    }
    if (request->job) {  // resumed: the worker has answered, or a stop gave up on it
      deadlines.Restart(connection);
      return Send(connection, *request, *request->job->answer, stopping_now());
    }
    const std::size_t size = *upload_data_size;
    *upload_data_size = 0;
    if (request->refused_at) return Drain(*request, size);
    if (size > 0) {
      // /health and /metrics take no body, nor do the console's GETs: one sent to them is read
      // and dropped, so that a caller without the secret cannot make the host hold bodies.
      const bool takes_body =
          request->route == Route::kCall ||
          (request->route == Route::kConsole && request->record.method == "POST");
      if (!takes_body) return MHD_YES;
      const std::size_t limit = request->route == Route::kConsole ? console::kMaxConsoleBodyBytes
                                                                  : settings.max_request_bytes;
      if (request->body.size() + size > limit) {
        RefuseWhileReceiving(connection, *request, TooLarge(limit));
        return Drain(*request, size);
      }
      request->body.append(upload_data, size);
      return MHD_YES;
    }
    Dispatch(connection, *request);
    return MHD_YES;
  }

  // The refusal of a request that its headers already rule out; nothing when it may proceed.
  std::optional<HttpAnswer> Admit(MHD_Connection* connection, Request& request) {
    const std::string_view method = request.record.method;
    const std::string_view path = request.record.path;
    request.authorized = Authorized(connection);
    if (console::IsConsolePath(path)) {
      request.route = Route::kConsole;
      request.console_request = ReadConsoleRequest(connection, request.record);
      // Refusals that need no database: the console switched off, a wrong method.
      if (!console.enabled() || (method != "GET" && method != "HEAD" && method != "POST")) {
        return console.Answer(request.console_request);
      }
      return RefuseBody(connection, console::kMaxConsoleBodyBytes);
    }
    if (path == "/health") {
      request.route = Route::kHealth;
      if (method != "GET" && method != "HEAD") {
        return Refusal(405, "/health answers GET only");
      }
      return std::nullopt;
    }
    if (path == "/metrics") {
      request.route = Route::kMetrics;
      if (method != "GET" && method != "HEAD") {
        return Refusal(405, "/metrics answers GET only");
      }
      if (!request.authorized) {
        return Refusal(401, "The request lacks the shared secret of this server");
      }
      return std::nullopt;
    }
    if (path.substr(0, kCallPrefix.size()) != kCallPrefix) {
      return Refusal(404, "There is no resource '" + Excerpt(path) + "'");
    }
    if (method != "POST") return Refusal(405, "JobSheet methods are called with POST");
    if (!request.authorized) {
      return Refusal(401, "The request lacks the shared secret of this server");
    }
    const std::string_view name = path.substr(kCallPrefix.size());
    request.method = FindMethod(name);
    if (request.method == nullptr) {
      return Refusal(404, "JobSheet has no method '" + Excerpt(name) + "'");
    }
    return RefuseBody(connection, settings.max_request_bytes);
  }

  // The refusal of a body that its headers rule out: one with a content encoding, or one
  // declared longer than `limit`; nothing when it may come.
  static std::optional<HttpAnswer> RefuseBody(MHD_Connection* connection, std::size_t limit) {
    const std::string_view encoding = Header(connection, MHD_HTTP_HEADER_CONTENT_ENCODING);
    if (!encoding.empty() && encoding != "identity") {
      return Refusal(415, "Request bodies are taken without a content encoding, not '" +
                              Excerpt(encoding) + "'");
    }
    // A declared length over the limit is refused before any byte of the body; a chunked body
    // is counted as it arrives.
    const std::string_view length = Header(connection, MHD_HTTP_HEADER_CONTENT_LENGTH);
    std::uint64_t declared = 0;
    const auto [end, error] =
        std::from_chars(length.data(), length.data() + length.size(), declared);
    if (!length.empty() &&
        (error == std::errc::result_out_of_range || (error == std::errc() && declared > limit))) {
      return TooLarge(limit);
    }
    return std::nullopt;
  }

  bool Authorized(MHD_Connection* connection) const {
    const std::string_view header = Header(connection, MHD_HTTP_HEADER_AUTHORIZATION);
    constexpr std::string_view kBearer = "Bearer ";
    if (header.substr(0, kBearer.size()) != kBearer) return false;
    return SameSecret(header.substr(kBearer.size()), settings.shared_secret);
  }

  static HttpAnswer TooLarge(std::size_t limit) {
    return Refusal(413,
                   "The request body exceeds the limit of " + std::to_string(limit) + " bytes");
  }

  // A body that passes the limit while it arrives (chunked): see "Refusing a body while it
  // arrives" above.
  void RefuseWhileReceiving(MHD_Connection* connection, Request& request,
                            const HttpAnswer& answer) {
    request.answered = true;
    request.refused_at = Clock::now();
    request.record.status = answer.status;
    request.record.body_bytes = answer.body.size();
    request.body.clear();
    request.body.shrink_to_fit();
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    if (info != nullptr) WriteAnswerOnSocket(info->connect_fd, answer);
  }

  // After such an answer the rest of the body is read and dropped for at most 1 MiB or 1 s,
  // then the connection is closed.
  static MHD_Result Drain(Request& request, std::size_t size) {
    constexpr std::size_t kDrainBytes = 1024 * 1024;
    constexpr auto kDrainTime = std::chrono::seconds(1);
    request.drained += size;
    const bool go_on = size > 0 && request.drained <= kDrainBytes &&
                       Clock::now() - *request.refused_at < kDrainTime;
    if (!go_on) closing_refused_body = true;
    return go_on ? MHD_YES : MHD_NO;
  }

  // Hands the complete request to a worker; the connection waits, holding no thread, until the
  // worker resumes it with the answer.
  void Dispatch(MHD_Connection* connection, Request& request) {
    auto job = std::make_shared<Job>();
    job->connection = connection;
    job->route = request.route;
    job->method = request.method;
    job->authorized = request.authorized;
    job->body = std::move(request.body);
    if (request.route == Route::kConsole) {
      job->console_request = std::move(request.console_request);
      job->console_request.body = std::move(job->body);
    }
    request.job = job;
    deadlines.Pause(connection);
    MHD_suspend_connection(connection);
    {
      std::lock_guard lock(state_mutex);
      waiting_jobs.insert(job);
    }
    workers.Submit([this, job] { Run(job); });
  }

  // On a worker thread: the call with this thread's database connection.
  void Run(const std::shared_ptr<Job>& job) {
    {
      std::lock_guard lock(state_mutex);
      if (!waiting_jobs.contains(job)) return;  // given up by a stop before it began
    }
    // The worker keeps its SQLite connection from one call to the next (thread_connection.h).
    ThreadConnection::ForCurrentThread().set_keep_sqlite_connection(true);
    HttpAnswer answer;
    switch (job->route) {
      case Route::kCall:
        answer =
            AnswerCall(*job->method, job->body, settings.connection_string, components, metrics);
        break;
      case Route::kHealth:
        answer = AnswerHealth(job->authorized, settings.connection_string);
        break;
      case Route::kMetrics:
        answer = AnswerMetrics(metrics, settings.connection_string);
        break;
      case Route::kConsole:
        answer = console.Answer(job->console_request);
        break;
    }
    std::lock_guard lock(state_mutex);
    if (waiting_jobs.erase(job) == 0) return;  // a stop answered it meanwhile
    job->answer = std::move(answer);
    MHD_resume_connection(job->connection);
  }

  // Answers the requests still with the workers as cut short by the stop, so that the library
  // may close their connections.
  std::size_t GiveUpWaitingJobs() {
    std::lock_guard lock(state_mutex);
    const std::size_t given_up = waiting_jobs.size();
    for (const auto& job : waiting_jobs) {
      job->answer = Refusal(503, "The server stopped before the request was finished");
      MHD_resume_connection(job->connection);
    }
    waiting_jobs.clear();
    return given_up;
  }

  bool stopping_now() {
    std::lock_guard lock(state_mutex);
    return stop_requested;
  }

  MHD_Result Send(MHD_Connection* connection, Request& request, const HttpAnswer& answer,
                  bool close = false) {
    request.answered = true;
    request.record.status = answer.status;
    request.record.body_bytes = answer.body.size();
    MHD_Response* response = MHD_create_response_from_buffer(
        answer.body.size(), const_cast<char*>(answer.body.data()), MHD_RESPMEM_MUST_COPY);
    if (response == nullptr) return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, ContentTypeText(answer.type));
    for (const auto& [name, value] : answer.headers) {
      MHD_add_response_header(response, name.c_str(), value.c_str());
    }
    if (answer.status == 401) {
      MHD_add_response_header(response, MHD_HTTP_HEADER_WWW_AUTHENTICATE, "Bearer");
    }
    if (close) MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    const MHD_Result queued = MHD_queue_response(connection, answer.status, response);
    MHD_destroy_response(response);
    return queued;
  }

  // Waits until no request is in progress or `until` has come; true when none is.
  bool WaitForRequests(Clock::time_point until) {
    std::unique_lock lock(state_mutex);
    return state_changed.wait_until(lock, until, [this] { return requests_in_progress == 0; });
  }

  // Fixed at construction.
  const HostSettings settings;
  const automation::ComponentRegistry& components;
  HttpMetrics metrics;
  console::Console console;  // its sessions live as long as the server

  // Serving. The deadlines outlive the daemon (its last callbacks remove connections), and the
  // workers are joined before anything they use goes.
  ConnectionDeadlines deadlines;
  MHD_Daemon* daemon = nullptr;  // between start and stop in Serve()
  int listening_socket = -1;     // from Bind() until the daemon takes it or Serve() closes it

  // Stopping and the requests in progress.
  std::mutex state_mutex;
  std::condition_variable state_changed;
  bool stop_requested = false;                  // guarded by state_mutex
  int requests_in_progress = 0;                 // guarded by state_mutex
  std::set<std::shared_ptr<Job>> waiting_jobs;  // guarded by state_mutex: suspended ones
  // From the start of serving; it goes after the workers, whose threads close the connections
  // they kept, so that its close is the database's last and takes the log in.
  std::optional<DatabaseKeeper> keeper;
  WorkerPool workers;  // last: its threads end before the members above go
};

HttpServer::HttpServer(HostSettings settings, const automation::ComponentRegistry& components)
    : impl_(std::make_unique<Impl>(std::move(settings), components)) {}

HttpServer::~HttpServer() {
  if (impl_->listening_socket >= 0) ::close(impl_->listening_socket);
}

int HttpServer::Bind() {
  const HostSettings& settings = impl_->settings;
  impl_->listening_socket = OpenListeningSocket(settings.listen_host, settings.port);
  return BoundPort(impl_->listening_socket);
}

bool HttpServer::Serve(const std::function<void()>& on_serving) {
  Impl& impl = *impl_;
  const HostSettings& settings = impl.settings;
  {
    std::lock_guard lock(impl.state_mutex);
    if (impl.stop_requested) {
      // Stopped before serving: the bound socket takes no connections.
      if (impl.listening_socket >= 0) ::close(std::exchange(impl.listening_socket, -1));
      return true;
    }
    if (impl.listening_socket < 0) {
      throw Error(error_number::kGenericFailure, "The server serves only after Bind()");
    }
    impl.daemon = MHD_start_daemon(
        MHD_USE_EPOLL_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME | MHD_USE_ERROR_LOG, 0, nullptr,
        nullptr, &Impl::OnAccess, &impl,                              //
        MHD_OPTION_EXTERNAL_LOGGER, &LogLibraryMessage, nullptr,      //
        MHD_OPTION_LISTEN_SOCKET, impl.listening_socket,              //
        MHD_OPTION_CONNECTION_TIMEOUT,                                //
        static_cast<unsigned int>(settings.request_timeout.count()),  //
        MHD_OPTION_CONNECTION_LIMIT, static_cast<unsigned int>(settings.max_connections),
        MHD_OPTION_PER_IP_CONNECTION_LIMIT,
        static_cast<unsigned int>(settings.max_connections_per_client),  //
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, kConnectionMemoryBytes,      //
        MHD_OPTION_NOTIFY_COMPLETED, &Impl::OnCompleted, &impl,          //
        MHD_OPTION_NOTIFY_CONNECTION, &Impl::OnConnection, &impl,        //
        MHD_OPTION_END);
    if (impl.daemon == nullptr) {
      throw Error(error_number::kGenericFailure,
                  "The HTTP server could not start on " + settings.listen_host);
    }
  }
  // Each call's own connection then never is the database's last one, so its close does not
  // copy the write-ahead log into the database file (database_keeper.h).
  if (!impl.keeper) impl.keeper.emplace(settings.connection_string);
  // Serving, on the library's thread, until Stop().
  if (on_serving) on_serving();
  {
    std::unique_lock lock(impl.state_mutex);
    impl.state_changed.wait(lock, [&] { return impl.stop_requested; });
  }
  // No new connections; the requests in progress have the grace period to finish, then those
  // still with a worker are answered as cut short and every connection is closed.
  const MHD_socket listening = MHD_quiesce_daemon(impl.daemon);
  if (listening != MHD_INVALID_SOCKET) ::close(listening);
  impl.listening_socket = -1;
  bool finished = impl.WaitForRequests(Clock::now() + settings.shutdown_grace);
  if (!finished && impl.GiveUpWaitingJobs() > 0) {
    impl.WaitForRequests(Clock::now() + kStopAnswerTime);
  }
  MHD_stop_daemon(std::exchange(impl.daemon, nullptr));
  return finished;
}

void HttpServer::Stop() {
  {
    std::lock_guard lock(impl_->state_mutex);
    impl_->stop_requested = true;
  }
  impl_->state_changed.notify_all();
}

}  // namespace tqs::server::host
