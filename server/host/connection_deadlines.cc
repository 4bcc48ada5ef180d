#include "server/host/connection_deadlines.h"

#include <sys/socket.h>

namespace tqs::server::host {

ConnectionDeadlines::ConnectionDeadlines(Clock::duration limit)
    : limit_(limit), watcher_([this] { Watch(); }) {}

ConnectionDeadlines::~ConnectionDeadlines() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  watcher_.join();
}

void ConnectionDeadlines::Add(Key connection, int socket) {
  std::lock_guard lock(mutex_);
  connections_[connection] = {socket, Clock::now() + limit_};
  // Deadlines only ever move later, so the watcher's next wake-up stays right: no notification.
}

void ConnectionDeadlines::Restart(Key connection) {
  std::lock_guard lock(mutex_);
  const auto found = connections_.find(connection);
  if (found != connections_.end()) found->second.deadline = Clock::now() + limit_;
}

void ConnectionDeadlines::Pause(Key connection) {
  std::lock_guard lock(mutex_);
  const auto found = connections_.find(connection);
  if (found != connections_.end()) found->second.deadline = Clock::time_point::max();
}

void ConnectionDeadlines::Remove(Key connection) {
  std::lock_guard lock(mutex_);
  connections_.erase(connection);
}

void ConnectionDeadlines::Watch() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    const Clock::time_point now = Clock::now();
    Clock::time_point next = now + limit_;
    for (auto& [connection, entry] : connections_) {
      if (entry.deadline <= now) {
        // Under the lock: the server closes the socket only after Remove, so it is still ours.
        ::shutdown(entry.socket, SHUT_RDWR);
        entry.deadline = Clock::time_point::max();
      } else if (entry.deadline < next) {
        next = entry.deadline;
      }
    }
    changed_.wait_until(lock, next);
  }
}

}  // namespace tqs::server::host
