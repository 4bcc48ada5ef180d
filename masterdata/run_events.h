// RunEvents is how a run of the master data creator lets its window stay responsive: between
// its larger steps, and every 5000 rows of a long table copy, the run lets the window process
// pending events; copies also report how far they are.
//
// Called on the run's thread.
#ifndef TQS_MASTERDATA_RUN_EVENTS_H_
#define TQS_MASTERDATA_RUN_EVENTS_H_

#include <cstdint>
#include <string_view>

namespace tqs::masterdata {

class RunEvents {
 public:
  virtual ~RunEvents() = default;

  // The window processes its pending events.
  virtual void DoEvents() {}

  // An APPEND copy into `table` of the centre database of `centre` has copied `rows` rows
  // so far; called with the events of every 5000 rows while more rows follow (`complete`
  // false), and once when the copy is complete, so the final count is reported only then.
  virtual void CopyProgress(std::string_view centre, std::string_view table, std::int64_t rows,
                            bool complete) {}

  // Events that do nothing, for runs without a window.
  static RunEvents& None();
};

}  // namespace tqs::masterdata

#endif  // TQS_MASTERDATA_RUN_EVENTS_H_
