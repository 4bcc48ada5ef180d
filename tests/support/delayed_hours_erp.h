// DelayedHoursErp is a stand-in ERP for the hours accounting components (the identifiers under
// erp::hours_accounting::kPrefix) that answers like a real ERP in time: it accepts every hours
// line, but its booking call (the manager's Create) returns only after a set delay, as a real
// ERP's does after tens to hundreds of milliseconds. It notes each booking (task, employee,
// thread, start and end) so that tests can check the order and overlap of the calls, in memory
// and, when a journal file is set, as one line per booking appended to that file
// ("booked <task> <employee> <process id> <thread>"), so that tests of broker processes can read
// them too.
//
// A booking of the hold task waits, after noting its start in the journal ("start <task> ..."),
// for as long as the hold file exists: a test can keep a broker inside an ERP call and kill it
// there.
//
// It is registered in code (Register) or loaded by the component registry from the shared
// library tqs_delayed_hours_erp with the settings DelayMilliseconds, Journal, HoldFile and
// HoldTask (all optional).
//
// Thread-safe: objects may be created and called from several threads, each object by one.
#ifndef TQS_TESTS_SUPPORT_DELAYED_HOURS_ERP_H_
#define TQS_TESTS_SUPPORT_DELAYED_HOURS_ERP_H_

#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/automation/component_registry.h"

namespace tqs::test_support {

struct DelayedHoursErpOptions {
  std::chrono::milliseconds delay{0};
  std::filesystem::path journal;    // none: bookings are noted in memory only
  std::filesystem::path hold_file;  // none: no booking waits
  std::string hold_task;

  // The options of a component registry entry's settings; raises tqs::Error on a bad delay.
  static DelayedHoursErpOptions FromSettings(const automation::ComponentSettings& settings);
};

class DelayedHoursErp : public automation::ComponentFactory {
 public:
  struct Booking {
    std::string task;
    std::string employee;
    std::thread::id thread;
    std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::time_point end;
  };

  explicit DelayedHoursErp(DelayedHoursErpOptions options);

  automation::ObjectPtr Create(std::string_view prog_id) override;

  // The bookings so far, in the order they ended.
  std::vector<Booking> Bookings() const;

  // Notes a booking of `task` for `employee`: waits the delay (and while held), then records it.
  // Returns the line number given to the booked line. Used by the manager objects.
  int Book(const std::string& task, const std::string& employee);

 private:
  void AppendToJournal(const std::string& line) const;

  const DelayedHoursErpOptions options_;
  mutable std::mutex mutex_;
  std::vector<Booking> bookings_;  // guarded by mutex_
};

}  // namespace tqs::test_support

#endif  // TQS_TESTS_SUPPORT_DELAYED_HOURS_ERP_H_
