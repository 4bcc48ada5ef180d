// A Clock that always answers the same local time, so that stamps and ages computed by the code
// under test are known to the test. Safe from any thread.
#ifndef TQS_TESTS_SUPPORT_FIXED_CLOCK_H_
#define TQS_TESTS_SUPPORT_FIXED_CLOCK_H_

#include <chrono>

#include "common/date_time.h"

namespace tqs::test_support {

class FixedClock final : public Clock {
 public:
  explicit FixedClock(DateTime now) : now_(now) {}
  DateTime Now() const override { return now_; }

 private:
  const DateTime now_;
};

// Thursday, April 2, 2026, 14:05:09: the "now" of the server's operator and maintenance tests.
inline DateTime OperatorTestNow() {
  using namespace std::chrono;
  return local_days{year{2026} / 4 / 2} + hours{14} + minutes{5} + seconds{9};
}

}  // namespace tqs::test_support

#endif  // TQS_TESTS_SUPPORT_FIXED_CLOCK_H_
