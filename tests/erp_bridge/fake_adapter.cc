#include "tests/erp_bridge/fake_adapter.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace tqs::erp_bridge::testing {

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Reads until `data` holds `wanted` bytes or the peer stops; false on end or failure.
bool ReadMore(int connection, std::string& data) {
  char buffer[4096];
  const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
  if (got <= 0) return false;
  data.append(buffer, static_cast<std::size_t>(got));
  return true;
}

// Reads one request; false when the peer closed before sending all of it.
bool ReadRequest(int connection, FakeAdapter::Request& request) {
  std::string data;
  std::size_t head_end;
  while ((head_end = data.find("\r\n\r\n")) == std::string::npos) {
    if (!ReadMore(connection, data)) return false;
  }
  const std::string head = data.substr(0, head_end);
  std::size_t line_end = head.find("\r\n");
  const std::string request_line = head.substr(0, line_end);
  const std::size_t first_space = request_line.find(' ');
  request.method = request_line.substr(0, first_space);
  request.target = request_line.substr(first_space + 1, request_line.rfind(' ') - first_space - 1);
  while (line_end != std::string::npos) {
    const std::size_t start = line_end + 2;
    line_end = head.find("\r\n", start);
    const std::string line = head.substr(start, line_end - start);
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string value = line.substr(colon + 1);
    value.erase(0, value.find_first_not_of(' '));
    request.headers[Lower(line.substr(0, colon))] = value;
  }
  const std::size_t length =
      std::stoul(request.Header("content-length").empty() ? "0" : request.Header("content-length"));
  std::string body = data.substr(head_end + 4);
  while (body.size() < length) {
    if (!ReadMore(connection, body)) return false;
  }
  request.body = body.substr(0, length);
  return true;
}

void SendAll(int connection, const std::string& text) {
  std::size_t sent = 0;
  while (sent < text.size()) {
    const ssize_t wrote = ::send(connection, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (wrote <= 0) return;
    sent += static_cast<std::size_t>(wrote);
  }
}

}  // namespace

FakeAdapter::FakeAdapter() {
  listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
  if (listener_ < 0) throw std::runtime_error("socket failed");
  const int yes = 1;
  ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 16) != 0) {
    ::close(listener_);
    throw std::runtime_error("bind or listen failed");
  }
  socklen_t size = sizeof address;
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

FakeAdapter::~FakeAdapter() {
  stopping_ = true;
  acceptor_.join();
  ::close(listener_);
  std::vector<std::thread> served;
  {
    std::lock_guard lock(mutex_);
    served.swap(served_);
  }
  for (std::thread& thread : served) thread.join();
}

std::string FakeAdapter::Url() const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/erp";
}

void FakeAdapter::Script(std::vector<Reply> replies) {
  std::lock_guard lock(mutex_);
  script_.assign(replies.begin(), replies.end());
}

std::vector<FakeAdapter::Request> FakeAdapter::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void FakeAdapter::AcceptLoop() {
  while (!stopping_) {
    pollfd waiting{listener_, POLLIN, 0};
    if (::poll(&waiting, 1, 20) <= 0) continue;
    const int connection = ::accept(listener_, nullptr, nullptr);
    if (connection < 0) continue;
    std::lock_guard lock(mutex_);
    served_.emplace_back([this, connection] { Serve(connection); });
  }
}

void FakeAdapter::Serve(int connection) {
  Request request;
  if (!ReadRequest(connection, request)) {
    ::close(connection);
    return;
  }
  Reply reply;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    if (!script_.empty()) {
      reply = std::move(script_.front());
      script_.pop_front();
    }
  }
  switch (reply.kind) {
    case Reply::Kind::kDrop:
      break;
    case Reply::Kind::kStall: {
      // Until the client hangs up (or the test ends).
      char byte;
      while (!stopping_) {
        pollfd waiting{connection, POLLIN, 0};
        if (::poll(&waiting, 1, 20) > 0 && ::recv(connection, &byte, 1, 0) <= 0) break;
      }
      break;
    }
    case Reply::Kind::kAnswer:
      SendAll(connection, "HTTP/1.1 " + std::to_string(reply.status) +
                              " Scripted\r\nContent-Type: application/json\r\nContent-Length: " +
                              std::to_string(reply.body.size()) + "\r\nConnection: close\r\n\r\n" +
                              reply.body);
      break;
  }
  ::close(connection);
}

}  // namespace tqs::erp_bridge::testing
