// The HTTP host as hostile or careless clients meet it on the network: slow and idle
// connections, bodies it must not read, pipelined requests, a stop while clients trickle.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <pugixml.hpp>
#include <regex>
#include <sstream>
#include <thread>

#include "admin/installation.h"
#include "server/host/access_log.h"
#include "server/host/host_settings.h"
#include "server/host/http_metrics.h"
#include "server/host/http_server.h"
#include "server/host/prometheus_text.h"
#include "tests/support/temp_dir.h"

namespace tqs::server::host {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kSecret = "0123456789abcdef0123";

// A client connection that sends and reads raw bytes, so that a test can send what a
// well-behaved client library never would.
class RawConnection {
 public:
  explicit RawConnection(int port) {
    socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
    timeval limit{10, 0};  // a read that waits longer fails the test instead of hanging it
    ::setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~RawConnection() { ::close(socket_); }
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  bool connected() const { return connected_; }

  // Whether the server has closed the connection (it reads as ended, or was reset), waiting at
  // most `wait` for that.
  bool ClosedByServer(std::chrono::milliseconds wait) {
    pollfd ready{socket_, POLLIN, 0};
    if (::poll(&ready, 1, static_cast<int>(wait.count())) <= 0) return false;
    char byte;
    return ::recv(socket_, &byte, 1, MSG_PEEK | MSG_DONTWAIT) <= 0;
  }

  // False when the server has closed the connection.
  bool Send(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t sent = ::send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (sent <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
  }

  struct Answer {
    int status = 0;  // 0: the connection ended without a whole answer
    std::string headers;
    std::string body;
  };

  // The next answer on the connection (its body of Content-Length bytes).
  Answer Read() {
    Answer answer;
    std::size_t header_end;
    while ((header_end = buffer_.find("\r\n\r\n")) == std::string::npos) {
      if (!Fill()) return answer;
    }
    answer.headers = buffer_.substr(0, header_end + 2);
    std::smatch match;
    std::regex_search(answer.headers, match,
                      std::regex(R"(Content-Length: (\d+))", std::regex::icase));
    const std::size_t length = match.empty() ? 0 : std::stoul(match[1]);
    while (buffer_.size() < header_end + 4 + length) {
      if (!Fill()) return answer;
    }
    answer.body = buffer_.substr(header_end + 4, length);
    buffer_.erase(0, header_end + 4 + length);
    answer.status = std::stoi(answer.headers.substr(9, 3));
    return answer;
  }

 private:
  bool Fill() {
    char bytes[65536];
    const ssize_t got = ::recv(socket_, bytes, sizeof bytes, 0);
    if (got <= 0) return false;
    buffer_.append(bytes, static_cast<std::size_t>(got));
    return true;
  }

  int socket_ = -1;
  bool connected_ = false;
  std::string buffer_;
};

std::string CallRequest(const std::string& body, const std::string& extra_headers = "",
                        const std::string& secret = kSecret) {
  return "POST /JobSheet/returnDate HTTP/1.1\r\nHost: test\r\n" +
         (secret.empty() ? std::string() : "Authorization: Bearer " + secret + "\r\n") +
         extra_headers + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

nlohmann::json Json(const std::string& text) { return nlohmann::json::parse(text, nullptr, false); }

// A host serving returnDate (no database needed) on a database that does not exist.
class HttpHostConnectionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_.port = 0;
    settings_.shared_secret = kSecret;
    settings_.connection_string =
        "Provider=SQLite;Data Source=" + (folder_.path() / "missing" / "server.db").string();
    settings_.worker_threads = 2;
    settings_.max_request_bytes = 64 * 1024;
    settings_.request_timeout = 30s;
  }
  void Start() {
    server_ = std::make_unique<HttpServer>(settings_, components_);
    port_ = server_->Bind();
    serving_ = std::thread([this] { server_->Serve(); });
  }
  void TearDown() override {
    if (server_) {
      server_->Stop();
      serving_.join();
    }
  }

  httplib::Result CallReturnDate(const std::string& date) {
    httplib::Client client("127.0.0.1", port_);
    client.set_read_timeout(10s);
    return client.Post("/JobSheet/returnDate",
                       {{"Authorization", std::string("Bearer ") + kSecret}},
                       nlohmann::json({{"i_sDate", date}}).dump(), "application/json");
  }

  test_support::ScopedTempDir folder_;
  HostSettings settings_;
  automation::ComponentRegistry components_;
  std::unique_ptr<HttpServer> server_;
  int port_ = 0;
  std::thread serving_;
};

// Slow clients (a header byte at a time, then nothing) and a web tier's pool of idle kept-alive
// connections hold no worker: with two workers a normal caller is still answered.
TEST_F(HttpHostConnectionsTest, SlowAndIdleConnectionsDoNotHoldUpOtherCallers) {
  Start();
  std::vector<std::unique_ptr<RawConnection>> slow;
  const std::string request = CallRequest(R"({"i_sDate": "20261208T120000"})");
  for (int i = 0; i < 8; ++i) {
    slow.push_back(std::make_unique<RawConnection>(port_));
    ASSERT_TRUE(slow.back()->connected());
  }
  for (std::size_t byte = 0; byte < 20; ++byte) {
    for (auto& connection : slow) connection->Send(request.substr(byte, 1));
  }
  std::vector<std::unique_ptr<RawConnection>> idle;
  for (int i = 0; i < 20; ++i) {
    idle.push_back(std::make_unique<RawConnection>(port_));
    ASSERT_TRUE(idle.back()->Send(request));
    ASSERT_EQ(idle.back()->Read().status, 200) << "idle connection " << i;
  }
  const auto answer = CallReturnDate("20250101T000000");
  ASSERT_TRUE(answer) << "a normal caller was not answered";
  EXPECT_EQ(answer->status, 200);
  EXPECT_EQ(Json(answer->body)["result"]["year"], 125);  // years since 1900
  // The kept-alive connections still serve their next request.
  ASSERT_TRUE(idle.front()->Send(request));
  EXPECT_EQ(idle.front()->Read().status, 200);
}

// Whether a request is served is decided from its headers: without the secret, or with a body
// it would have to decode, the answer comes before any body byte is sent and the rest of the
// body is never read. A chunked body is held to the limit as it arrives.
TEST_F(HttpHostConnectionsTest, RefusesBodiesBeforeReadingThem) {
  Start();
  const std::string chunk = "4000\r\n" + std::string(0x4000, ' ') + "\r\n";
  {
    RawConnection connection(port_);
    ASSERT_TRUE(connection.Send(
        "POST /JobSheet/returnDate HTTP/1.1\r\nHost: t\r\nTransfer-Encoding: chunked\r\n"
        "Content-Type: application/json\r\n\r\n"));
    const auto answer = connection.Read();
    EXPECT_EQ(answer.status, 401);
    EXPECT_NE(answer.headers.find("WWW-Authenticate: Bearer"), std::string::npos);
    EXPECT_TRUE(Json(answer.body).contains("error")) << answer.body;
    // 64 MiB of body never goes through: the server has closed the connection.
    bool all_sent = true;
    for (int i = 0; i < 4096 && all_sent; ++i) all_sent = connection.Send(chunk);
    EXPECT_FALSE(all_sent);
  }
  {
    RawConnection connection(port_);
    ASSERT_TRUE(connection.Send(
        "POST /JobSheet/returnDate HTTP/1.1\r\nHost: t\r\nTransfer-Encoding: chunked\r\n"
        "Authorization: Bearer " +
        std::string(kSecret) + "\r\nContent-Encoding: gzip\r\n\r\n"));
    const auto answer = connection.Read();
    EXPECT_EQ(answer.status, 415);
    EXPECT_NE(Json(answer.body)["error"]["description"].get<std::string>().find("gzip"),
              std::string::npos)
        << answer.body;
  }
  {
    // The library cannot answer in the middle of a body: the host answers on the socket and
    // closes the connection itself. Standard error gets the access line, not the library's
    // complaint about that close.
    ::testing::internal::CaptureStderr();
    RawConnection connection(port_);
    ASSERT_TRUE(connection.Send(
        "POST /JobSheet/returnDate HTTP/1.1\r\nHost: t\r\nTransfer-Encoding: chunked\r\n"
        "Authorization: Bearer " +
        std::string(kSecret) + "\r\n\r\n"));
    bool all_sent = true;
    for (int i = 0; i < 4096 && all_sent; ++i) all_sent = connection.Send(chunk);
    const auto answer = connection.Read();
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(answer.status, 413);
    EXPECT_NE(answer.headers.find("HTTP/1.1 413 Content Too Large\r\n"), std::string::npos)
        << answer.headers;
    EXPECT_NE(answer.headers.find("Connection: close"), std::string::npos) << answer.headers;
    EXPECT_NE(answer.body.find("65536 bytes"), std::string::npos) << answer.body;
    EXPECT_FALSE(all_sent);
    EXPECT_TRUE(std::regex_search(log, std::regex(R"(POST /JobSheet/returnDate 413 \d+ \d+ms)")))
        << log;
    EXPECT_EQ(log.find("internal error"), std::string::npos) << log;
    EXPECT_EQ(log.find("TQSRemoteServerHost:"), std::string::npos) << log;
  }
  {
    // A declared length over the limit: refused at once.
    RawConnection connection(port_);
    ASSERT_TRUE(
        connection.Send("POST /JobSheet/returnDate HTTP/1.1\r\nHost: t\r\n"
                        "Authorization: Bearer " +
                        std::string(kSecret) + "\r\nContent-Length: 65537\r\n\r\n"));
    EXPECT_EQ(connection.Read().status, 413);
  }
  {
    // /health takes no body: one sent to it without the secret, larger than the limit, is read
    // and dropped, never held, and the health answer still comes.
    RawConnection connection(port_);
    ASSERT_TRUE(
        connection.Send("GET /health HTTP/1.1\r\nHost: t\r\nTransfer-Encoding: chunked\r\n\r\n"));
    for (int i = 0; i < 8; ++i) ASSERT_TRUE(connection.Send(chunk));
    ASSERT_TRUE(connection.Send("0\r\n\r\n"));
    EXPECT_EQ(connection.Read().status, 503);  // the database does not exist
  }
  // A body of exactly the limit is read and called.
  std::string padded = R"({"i_sDate": "20261208T120000"})";
  padded += std::string(settings_.max_request_bytes - padded.size(), ' ');
  RawConnection connection(port_);
  ASSERT_TRUE(connection.Send(CallRequest(padded)));
  EXPECT_EQ(connection.Read().status, 200);
}

// A client that sends a byte now and then never lets an idle time-out fire; the request's
// deadline closes its connection all the same, while other callers are served meanwhile.
TEST_F(HttpHostConnectionsTest, ClosesAConnectionThatTricklesPastTheDeadline) {
  settings_.request_timeout = 1s;
  Start();
  RawConnection trickling(port_);
  ASSERT_TRUE(
      trickling.Send("POST /JobSheet/returnDate HTTP/1.1\r\nHost: t\r\nAuthorization: Bearer " +
                     std::string(kSecret) + "\r\nContent-Length: 100\r\n\r\n{"));
  int bytes_sent = 0;
  bool closed = false;
  const auto give_up = std::chrono::steady_clock::now() + 15s;  // the deadline is 1 s
  while (!closed && std::chrono::steady_clock::now() < give_up) {
    closed = trickling.ClosedByServer(300ms) || !trickling.Send(" ");
    if (closed) break;
    ++bytes_sent;
    const auto answer = CallReturnDate("20250101T000000");
    ASSERT_TRUE(answer) << "a normal caller was not answered while a client trickled";
    EXPECT_EQ(answer->status, 200);
  }
  EXPECT_TRUE(closed) << "the trickling connection outlived its deadline";
  EXPECT_LT(bytes_sent, 99) << "the trickling request was never cut off";
  EXPECT_EQ(trickling.Read().status, 0);  // no answer: the request never arrived whole
  const auto answer = CallReturnDate("20250101T000000");
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 200);
}

// Pipelined requests are answered in order on their connection; a JSON body is taken whatever
// its content type; every error answer is JSON.
TEST_F(HttpHostConnectionsTest, AnswersPipelinedRequestsInOrderAndAlwaysInJson) {
  Start();
  RawConnection connection(port_);
  ASSERT_TRUE(connection.Send(
      CallRequest(R"({"i_sDate": "20261208T120000"})") +
      CallRequest(R"({"i_sDate": "20250301T120000"})", "Content-Type: text/plain\r\n") +
      CallRequest(R"({"i_sDate": "20240301T120000"})", "", "")));
  auto first = connection.Read();
  auto second = connection.Read();
  auto third = connection.Read();
  ASSERT_EQ(first.status, 200) << first.body;
  EXPECT_EQ(Json(first.body)["result"]["year"], 126);  // years since 1900, months from 0
  ASSERT_EQ(second.status, 200) << second.body;
  EXPECT_EQ(Json(second.body)["result"]["year"], 125);
  EXPECT_EQ(Json(second.body)["result"]["month"], 2);
  EXPECT_EQ(third.status, 401);

  httplib::Client client("127.0.0.1", port_);
  const httplib::Headers authorized = {{"Authorization", std::string("Bearer ") + kSecret}};
  const std::string big_text = std::string(9000, 'x');
  auto answer = client.Post("/JobSheet/returnDate", authorized,
                            nlohmann::json({{"i_sDate", big_text}}).dump(), "text/plain");
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 500);
  EXPECT_TRUE(Json(answer->body)["error"].contains("number")) << answer->body;
  for (const auto& [path, status] : std::vector<std::pair<std::string, int>>{
           {"/JobSheet/NoSuchMethod", 404}, {"/elsewhere", 404}}) {
    answer = client.Post(path, authorized, "{}", "application/json");
    ASSERT_TRUE(answer) << path;
    EXPECT_EQ(answer->status, status) << path;
    EXPECT_TRUE(Json(answer->body).contains("error")) << path << ": " << answer->body;
  }
  answer = client.Get("/JobSheet/returnDate", authorized);
  EXPECT_EQ(answer->status, 405);
  EXPECT_TRUE(Json(answer->body).contains("error")) << answer->body;
  answer = client.Post("/JobSheet/returnDate", authorized, "{not json", "text/plain");
  EXPECT_EQ(answer->status, 400);
  EXPECT_EQ(Json(answer->body)["error"]["description"], "The request body is not valid JSON");

  // The database does not exist: /health says so to anyone, the reason only with the secret.
  answer = client.Get("/health");
  EXPECT_EQ(answer->status, 503);
  EXPECT_EQ(Json(answer->body), nlohmann::json({{"status", "database unavailable"}}));
  answer = client.Get("/health", authorized);
  EXPECT_EQ(answer->status, 503);
  EXPECT_TRUE(Json(answer->body).contains("error")) << answer->body;
}

// Lines of the Prometheus text format: sample (name and labels as written) to value.
std::map<std::string, double> Samples(const std::string& text) {
  std::map<std::string, double> samples;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty() || line.front() == '#') continue;
    const std::size_t blank = line.rfind(' ');
    if (blank == std::string::npos) {
      ADD_FAILURE() << "not a sample line: " << line;
      continue;
    }
    samples[line.substr(0, blank)] = std::stod(line.substr(blank + 1));
  }
  return samples;
}

// /metrics counts the answered requests by method and status, with the secret only; the
// latency histogram has counted each of them once; the database state is part of it.
TEST_F(HttpHostConnectionsTest, MetricsCountTheRequestsAnswered) {
  Start();
  for (const char* date : {"20250101T000000", "20250102T000000", "20250103T000000"}) {
    ASSERT_EQ(CallReturnDate(date)->status, 200);
  }
  httplib::Client client("127.0.0.1", port_);
  const httplib::Headers authorized = {{"Authorization", std::string("Bearer ") + kSecret}};
  EXPECT_EQ(client.Post("/JobSheet/returnDate", "{}", "application/json")->status, 401);
  EXPECT_EQ(client.Post("/JobSheet/NoSuchMethod", authorized, "{}", "application/json")->status,
            404);
  EXPECT_EQ(client.Get("/health")->status, 503);
  auto answer = client.Get("/metrics");
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 401);
  EXPECT_TRUE(Json(answer->body).contains("error")) << answer->body;
  EXPECT_EQ(client.Post("/metrics", authorized, "", "text/plain")->status, 405);

  answer = client.Get("/metrics", authorized);
  ASSERT_TRUE(answer);
  ASSERT_EQ(answer->status, 200) << answer->body;
  EXPECT_EQ(answer->get_header_value("Content-Type"), "text/plain; version=0.0.4; charset=utf-8");
  const auto samples = Samples(answer->body);
  const std::map<std::string, double> expected_requests = {
      {R"(tqsremote_http_requests_total{method="POST",status="200"})", 3},
      {R"(tqsremote_http_requests_total{method="POST",status="401"})", 1},
      {R"(tqsremote_http_requests_total{method="POST",status="404"})", 1},
      {R"(tqsremote_http_requests_total{method="POST",status="405"})", 1},
      {R"(tqsremote_http_requests_total{method="GET",status="503"})", 1},
      {R"(tqsremote_http_requests_total{method="GET",status="401"})", 1},
  };
  std::map<std::string, double> requests;
  for (const auto& [sample, value] : samples) {
    if (sample.starts_with("tqsremote_http_requests_total{")) requests[sample] = value;
  }
  EXPECT_EQ(requests, expected_requests);
  EXPECT_EQ(samples.at("tqsremote_http_request_duration_seconds_count"), 8);
  EXPECT_EQ(samples.at(R"(tqsremote_http_request_duration_seconds_bucket{le="+Inf"})"), 8);
  EXPECT_GT(samples.at("tqsremote_http_request_duration_seconds_sum"), 0);
  double previous = 0;
  for (const double bound : HttpMetrics::kBucketBounds) {
    const double count = samples.at("tqsremote_http_request_duration_seconds_bucket{le=\"" +
                                    SampleValue(bound) + "\"}");
    EXPECT_GE(count, previous) << bound;
    previous = count;
  }
  EXPECT_EQ(samples.at("tqsremote_database_up"), 0);  // the database does not exist
  EXPECT_EQ(answer->body.find("tqsremote_upload_queue"), std::string::npos);

  // The scrape itself is counted once it is answered.
  answer = client.Get("/metrics", authorized);
  EXPECT_EQ(Samples(answer->body).at(R"(tqsremote_http_requests_total{method="GET",status="200"})"),
            1);
}

// An access line is one line with its fields in order, whatever the path holds.
TEST(AccessLogTest, WritesOneLineOfFieldsWhateverThePathHolds) {
  AccessRecord record{std::chrono::system_clock::from_time_t(1796821800),
                      "192.0.2.7",
                      "POST",
                      "/JobSheet/store Outbox\r\nforged 200",
                      413,
                      97,
                      12ms};
  EXPECT_EQ(AccessLine(record),
            "2026-12-09T13:10:00Z 192.0.2.7 POST /JobSheet/store?Outbox??forged?200 413 97 12ms");
  record.status = 0;
  record.path = "/" + std::string(1000, 'a');
  const std::string line = AccessLine(record);
  EXPECT_NE(line.find("/aaa"), std::string::npos);
  EXPECT_NE(line.find("...?(1001?bytes)"), std::string::npos) << line;
  EXPECT_NE(line.find(" - 97 12ms"), std::string::npos) << line;
  EXPECT_LT(line.size(), 300u);
}

// A stop with a request still arriving: the host exits 0 within the grace period, having logged
// the requests it answered (without the secret).
TEST(HttpHostProgramTest, StopsWithinTheGracePeriodWhileAClientTrickles) {
  test_support::ScopedTempDir folder;
  admin::InstallOptions options;
  options.directory = folder.path() / "x";
  options.programs_folder = fs::path(TQS_HOST_PROGRAM).parent_path();
  admin::Install(options, [](std::string_view) {});
  const fs::path config = options.directory / "web" / "config" / "VarnexConfiguration.xml";
  pugi::xml_document document;
  ASSERT_TRUE(document.load_file(config.c_str()));
  pugi::xml_node section = document.document_element().child("SERVERHOST");
  section.find_child_by_attribute("add", "key", "Listen").attribute("value") = "127.0.0.1:0";
  pugi::xml_node grace = section.append_child("add");
  grace.append_attribute("key") = "ShutdownGraceSeconds";
  grace.append_attribute("value") = "2";
  ASSERT_TRUE(document.save_file(config.c_str()));
  const std::string secret =
      section.find_child_by_attribute("add", "key", "SharedSecret").attribute("value").value();

  int error_pipe[2];
  ASSERT_EQ(::pipe(error_pipe), 0);
  const pid_t host = ::fork();
  if (host == 0) {
    ::dup2(error_pipe[1], STDERR_FILENO);
    const std::string program = (options.directory / "bin" / "TQSRemoteServerHost").string();
    ::execl(program.c_str(), program.c_str(), "serve", nullptr);
    ::_exit(127);
  }
  ::close(error_pipe[1]);
  std::string log;
  std::smatch port;
  const std::regex serving("serving JobSheet on http://127.0.0.1:(\\d+)");
  char bytes[4096];
  while (!std::regex_search(log, port, serving)) {
    const ssize_t got = ::read(error_pipe[0], bytes, sizeof bytes);
    ASSERT_GT(got, 0) << log;
    log.append(bytes, static_cast<std::size_t>(got));
  }
  const int host_port = std::stoi(port[1]);
  {
    httplib::Client client("127.0.0.1", host_port);
    EXPECT_EQ(client.Get("/health", {{"Authorization", "Bearer " + secret}})->status, 200);
  }
  RawConnection trickling(host_port);
  ASSERT_TRUE(
      trickling.Send("POST /JobSheet/returnDate HTTP/1.1\r\nHost: t\r\nAuthorization: "
                     "Bearer " +
                     secret + "\r\nContent-Length: 100\r\n\r\n{"));
  std::this_thread::sleep_for(200ms);  // the request is in progress
  ASSERT_EQ(::kill(host, SIGTERM), 0);
  int status = 0;
  pid_t ended = 0;
  const auto deadline = std::chrono::steady_clock::now() + 8s;  // grace 2 s, with ample room
  while ((ended = ::waitpid(host, &status, WNOHANG)) == 0 &&
         std::chrono::steady_clock::now() < deadline) {
    trickling.Send(" ");
    std::this_thread::sleep_for(100ms);
  }
  if (ended == 0) {
    ::kill(host, SIGKILL);
    ::waitpid(host, &status, 0);
    FAIL() << "the host did not stop within the grace period";
  }
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  ssize_t got;
  while ((got = ::read(error_pipe[0], bytes, sizeof bytes)) > 0) log.append(bytes, got);
  ::close(error_pipe[0]);
  EXPECT_TRUE(std::regex_search(log, std::regex(R"(\S+Z 127\.0\.0\.1 GET /health 200 \d+ \d+ms)")))
      << log;
  EXPECT_TRUE(std::regex_search(log, std::regex(R"(POST /JobSheet/returnDate - 0 \d+ms)"))) << log;
  EXPECT_EQ(log.find(secret), std::string::npos) << log;
  // The address is free again: nothing of the host lingers on it.
  HostSettings settings;
  settings.port = host_port;
  settings.shared_secret = secret;
  automation::ComponentRegistry components;
  HttpServer again(settings, components);
  EXPECT_EQ(again.Bind(), host_port);
}

}  // namespace
}  // namespace tqs::server::host
