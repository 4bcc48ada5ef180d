#include "server/host/console/login_throttle.h"

namespace tqs::server::host::console {
namespace {

// Whole seconds from `now` until `then`, at least 1.
std::chrono::seconds SecondsUntil(LoginThrottle::Clock::time_point then,
                                  LoginThrottle::Clock::time_point now) {
  const auto left = std::chrono::ceil<std::chrono::seconds>(then - now);
  return std::max(left, std::chrono::seconds(1));
}

}  // namespace

LoginThrottle::LoginThrottle(std::function<Clock::time_point()> now) : now_(std::move(now)) {}

void LoginThrottle::Forget(Clock::time_point now) {
  const auto old = [&](Clock::time_point at) { return now - at >= kWindow; };
  while (!all_failures_.empty() && old(all_failures_.front())) all_failures_.pop_front();
  for (auto it = failures_.begin(); it != failures_.end();) {
    while (!it->second.empty() && old(it->second.front())) it->second.pop_front();
    it = it->second.empty() ? failures_.erase(it) : std::next(it);
  }
}

std::chrono::seconds LoginThrottle::WaitFor(std::string_view client) {
  const Clock::time_point now = now_();
  std::lock_guard lock(mutex_);
  Forget(now);
  if (static_cast<int>(all_failures_.size()) >= kGlobalFailures) {
    return SecondsUntil(all_failures_.front() + kWindow, now);
  }
  const auto found = failures_.find(client);
  if (found != failures_.end() && static_cast<int>(found->second.size()) >= kAllowedFailures) {
    return SecondsUntil(found->second.front() + kWindow, now);
  }
  return std::chrono::seconds(0);
}

void LoginThrottle::RecordFailure(std::string_view client) {
  const Clock::time_point now = now_();
  std::lock_guard lock(mutex_);
  Forget(now);
  auto found = failures_.find(client);
  if (found == failures_.end())
    found = failures_.emplace(std::string(client), std::deque<Clock::time_point>{}).first;
  found->second.push_back(now);
  all_failures_.push_back(now);
}

void LoginThrottle::RecordSuccess(std::string_view client) {
  std::lock_guard lock(mutex_);
  if (const auto found = failures_.find(client); found != failures_.end()) failures_.erase(found);
}

}  // namespace tqs::server::host::console
