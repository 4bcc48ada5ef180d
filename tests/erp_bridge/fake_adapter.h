// A FakeAdapter is an ERP adapter for one test: an HTTP server on a loopback port that records
// every request it receives and replies as scripted: an answer (status and body), a dropped
// connection (the request is read, then the connection closed without a word, as when an
// adapter dies after booking), or a stall (no answer until the client gives up). Each
// connection is served on its own thread, so a stalled one never holds up the next.
//
// Requests() and Script() are safe to call while the server runs.
#ifndef TQS_TESTS_ERP_BRIDGE_FAKE_ADAPTER_H_
#define TQS_TESTS_ERP_BRIDGE_FAKE_ADAPTER_H_

#include <atomic>
#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

namespace tqs::erp_bridge::testing {

class FakeAdapter {
 public:
  struct Request {
    std::string method;                          // "POST"
    std::string target;                          // "/erp"
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;

    nlohmann::json Json() const { return nlohmann::json::parse(body); }
    std::string Header(const std::string& lower_case_name) const {
      const auto found = headers.find(lower_case_name);
      return found == headers.end() ? std::string() : found->second;
    }
  };

  struct Reply {
    enum class Kind { kAnswer, kDrop, kStall };
    Kind kind = Kind::kAnswer;
    int status = 200;
    std::string body = "{}";
  };
  static Reply Answer(std::string body, int status = 200) {
    return {Reply::Kind::kAnswer, status, std::move(body)};
  }
  static Reply AnswerJson(const nlohmann::json& body) { return Answer(body.dump()); }
  static Reply Drop() { return {Reply::Kind::kDrop, 0, ""}; }
  static Reply Stall() { return {Reply::Kind::kStall, 0, ""}; }

  // Listens on 127.0.0.1 at a free port.
  FakeAdapter();
  ~FakeAdapter();
  FakeAdapter(const FakeAdapter&) = delete;
  FakeAdapter& operator=(const FakeAdapter&) = delete;

  // "http://127.0.0.1:<port>/erp"
  std::string Url() const;

  // The replies to the next requests, in order; once they are used up, every request gets
  // Answer("{}").
  void Script(std::vector<Reply> replies);

  std::vector<Request> Requests() const;

 private:
  void AcceptLoop();
  void Serve(int connection);

  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};

  mutable std::mutex mutex_;
  std::deque<Reply> script_;         // guarded by mutex_
  std::vector<Request> requests_;    // guarded by mutex_
  std::vector<std::thread> served_;  // guarded by mutex_

  std::thread acceptor_;  // started last
};

}  // namespace tqs::erp_bridge::testing

#endif  // TQS_TESTS_ERP_BRIDGE_FAKE_ADAPTER_H_
