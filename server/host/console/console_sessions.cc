#include "server/host/console/console_sessions.h"

#include <algorithm>
#include <utility>

#include "server/host/console/operator_secret.h"

namespace tqs::server::host::console {

ConsoleSessions::ConsoleSessions(std::function<Clock::time_point()> now) : now_(std::move(now)) {}

bool ConsoleSessions::Expired(const Entry& entry, Clock::time_point now) const {
  return now - entry.last_used >= kIdleLimit || now - entry.created >= kLifeLimit;
}

ConsoleSession ConsoleSessions::Create(std::string_view client) {
  ConsoleSession session{.id = RandomHex(32),
                         .csrf_token = RandomHex(32),
                         .label = RandomHex(4),
                         .client = std::string(client)};
  const Clock::time_point now = now_();
  std::lock_guard lock(mutex_);
  std::erase_if(sessions_, [&](const auto& item) { return Expired(item.second, now); });
  if (sessions_.size() >= kMaxSessions) {
    const auto oldest = std::min_element(
        sessions_.begin(), sessions_.end(),
        [](const auto& a, const auto& b) { return a.second.created < b.second.created; });
    sessions_.erase(oldest);
  }
  sessions_.emplace(Sha256Hex(session.id), Entry{session, now, now});
  return session;
}

std::optional<ConsoleSession> ConsoleSessions::Find(std::string_view id) {
  const Clock::time_point now = now_();
  std::lock_guard lock(mutex_);
  const auto found = sessions_.find(Sha256Hex(id));
  if (found == sessions_.end()) return std::nullopt;
  if (Expired(found->second, now)) {
    sessions_.erase(found);
    return std::nullopt;
  }
  found->second.last_used = now;
  return found->second.session;
}

void ConsoleSessions::SetNotice(std::string_view id, Notice notice) {
  std::lock_guard lock(mutex_);
  if (const auto found = sessions_.find(Sha256Hex(id)); found != sessions_.end()) {
    found->second.session.notice = std::move(notice);
  }
}

Notice ConsoleSessions::TakeNotice(std::string_view id) {
  std::lock_guard lock(mutex_);
  const auto found = sessions_.find(Sha256Hex(id));
  return found == sessions_.end() ? Notice{} : std::exchange(found->second.session.notice, {});
}

void ConsoleSessions::End(std::string_view id) {
  std::lock_guard lock(mutex_);
  if (const auto found = sessions_.find(Sha256Hex(id)); found != sessions_.end())
    sessions_.erase(found);
}

}  // namespace tqs::server::host::console
