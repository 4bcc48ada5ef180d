#include "common/date_time.h"

#include <ctime>

namespace tqs {
namespace {

// Reads the system time and breaks it down in the machine's local zone (TZ, /etc/localtime).
class SystemClock final : public Clock {
 public:
  DateTime Now() const override {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    using namespace std::chrono;
    const year_month_day date{year{local.tm_year + 1900}, month{unsigned(local.tm_mon + 1)},
                              day{unsigned(local.tm_mday)}};
    // tm_sec may be 60 during a leap second; the stamp then shows the next minute's start.
    return local_days{date} + hours{local.tm_hour} + minutes{local.tm_min} + seconds{local.tm_sec};
  }
};

}  // namespace

const Clock& Clock::System() {
  static const SystemClock clock;
  return clock;
}

}  // namespace tqs
