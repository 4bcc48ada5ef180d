// ConnectionDeadlines bounds how long a connection may take over one request. Each connection
// has a deadline by which the request it is receiving must be complete (or its answer sent, or
// its next request begun); a watcher thread shuts down the socket of a connection past its
// deadline, which the server then sees as the client going away. A client sending one byte a
// second keeps an idle time-out from firing, not this one. While a request is with a worker its
// connection has no deadline: the call is not cut short. Thread-safe.
#ifndef TQS_SERVER_HOST_CONNECTION_DEADLINES_H_
#define TQS_SERVER_HOST_CONNECTION_DEADLINES_H_

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace tqs::server::host {

class ConnectionDeadlines {
 public:
  using Clock = std::chrono::steady_clock;
  using Key = const void*;  // the server's handle of the connection

  explicit ConnectionDeadlines(Clock::duration limit);
  ~ConnectionDeadlines();
  ConnectionDeadlines(const ConnectionDeadlines&) = delete;
  ConnectionDeadlines& operator=(const ConnectionDeadlines&) = delete;

  // A new connection on `socket`; its deadline is now + limit.
  void Add(Key connection, int socket);
  // The deadline becomes now + limit (a request answered, an answer to send).
  void Restart(Key connection);
  // No deadline until the next Restart (the request is with a worker).
  void Pause(Key connection);
  // Forgets the connection; call before its socket is closed.
  void Remove(Key connection);

 private:
  struct Entry {
    int socket;
    Clock::time_point deadline;
  };
  void Watch();

  const Clock::duration limit_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<Key, Entry> connections_;  // guarded by mutex_
  bool stopping_ = false;             // guarded by mutex_
  std::thread watcher_;
};

}  // namespace tqs::server::host

#endif  // TQS_SERVER_HOST_CONNECTION_DEADLINES_H_
