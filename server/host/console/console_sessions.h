// The console's logged-in sessions, kept in the host's memory only: a login makes a session
// with a random id (the cookie's value) and a random CSRF token that every action must carry;
// a session ends at logout, after kIdleLimit without a request, or kLifeLimit after its login,
// whichever comes first. A restart of the host ends every session. At most kMaxSessions live at
// once: the oldest gives way to a new login.
//
// Thread-safe: the host's workers share one store.
#ifndef TQS_SERVER_HOST_CONSOLE_CONSOLE_SESSIONS_H_
#define TQS_SERVER_HOST_CONSOLE_CONSOLE_SESSIONS_H_

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace tqs::server::host::console {

// The outcome of an action, shown once on the session's next page.
struct Notice {
  std::string text;  // empty: nothing to show
  bool refused = false;
};

struct ConsoleSession {
  std::string id;          // the cookie's value: secret, never logged
  std::string csrf_token;  // in every form of the session's pages
  std::string label;       // a short public name for the logs ("session 1a2b3c4d")
  std::string client;      // the address that logged in
  Notice notice;           // for the next page the session shows
};

class ConsoleSessions {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::minutes kIdleLimit{30};
  static constexpr std::chrono::hours kLifeLimit{12};
  static constexpr std::size_t kMaxSessions = 256;

  // `now` reads the time (tests pass their own).
  explicit ConsoleSessions(std::function<Clock::time_point()> now = Clock::now);

  // A new session for `client`.
  ConsoleSession Create(std::string_view client);

  // The live session with `id`, its idle time restarted; none for an unknown or expired id.
  std::optional<ConsoleSession> Find(std::string_view id);

  // Sets the notice the session's next page shows; takes it (once) with TakeNotice.
  void SetNotice(std::string_view id, Notice notice);
  Notice TakeNotice(std::string_view id);

  // Ends the session; an unknown id does nothing.
  void End(std::string_view id);

 private:
  struct Entry {
    ConsoleSession session;
    Clock::time_point created;
    Clock::time_point last_used;
  };
  bool Expired(const Entry& entry, Clock::time_point now) const;

  const std::function<Clock::time_point()> now_;
  std::mutex mutex_;
  // By the SHA-256 of the session id (operator_secret.h: Sha256Hex); guarded by mutex_.
  std::map<std::string, Entry, std::less<>> sessions_;
};

}  // namespace tqs::server::host::console

#endif  // TQS_SERVER_HOST_CONSOLE_CONSOLE_SESSIONS_H_
