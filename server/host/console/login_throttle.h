// LoginThrottle slows down guessing of the operator secret: after kAllowedFailures failed
// logins from one client address within kWindow, that address is refused without a check until
// the window has passed; and after kGlobalFailures failed logins from all addresses together
// within kWindow, every login waits for the window (a guesser with many addresses). A
// successful login clears its address's count. Each check of a secret also costs the hash's
// iterations (operator_secret.h).
//
// Thread-safe.
#ifndef TQS_SERVER_HOST_CONSOLE_LOGIN_THROTTLE_H_
#define TQS_SERVER_HOST_CONSOLE_LOGIN_THROTTLE_H_

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace tqs::server::host::console {

class LoginThrottle {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr int kAllowedFailures = 5;
  static constexpr int kGlobalFailures = 50;
  static constexpr std::chrono::minutes kWindow{5};

  explicit LoginThrottle(std::function<Clock::time_point()> now = Clock::now);

  // How long `client` must wait before its next login is checked; zero when it may try now.
  std::chrono::seconds WaitFor(std::string_view client);

  void RecordFailure(std::string_view client);
  void RecordSuccess(std::string_view client);

 private:
  void Forget(Clock::time_point now);

  const std::function<Clock::time_point()> now_;
  std::mutex mutex_;
  std::map<std::string, std::deque<Clock::time_point>, std::less<>> failures_;  // by client
  std::deque<Clock::time_point> all_failures_;
};

}  // namespace tqs::server::host::console

#endif  // TQS_SERVER_HOST_CONSOLE_LOGIN_THROTTLE_H_
