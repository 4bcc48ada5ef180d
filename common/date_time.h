// tqs::DateTime is a local calendar date and time without a zone, to the second: the value the
// programs stamp rows with (PROCESSEDON), print in banners and logs, and hand to the ERP. It is
// what a date value holds in a Variant. Conversions from and to text live in
// common/conversions.h; the clock is reached through tqs::Clock so tests can fix "now".
#ifndef TQS_COMMON_DATE_TIME_H_
#define TQS_COMMON_DATE_TIME_H_

#include <chrono>

namespace tqs {

using DateTime = std::chrono::local_time<std::chrono::seconds>;

// Source of the current local date and time. The system clock is the default; tests pass a
// fixed clock.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual DateTime Now() const = 0;

  // The process-wide clock reading the system time in the machine's local zone.
  static const Clock& System();
};

}  // namespace tqs

#endif  // TQS_COMMON_DATE_TIME_H_
