// The DownloadPlanner decides which job sheets an engineer's laptop must receive, against what
// the laptop says it holds:
//   - new: an open order assigned to the engineer that the laptop does not hold, in full;
//   - addition: an open order the laptop holds, with only what the laptop lacks: activities it
//     does not list (in full) and, on activities it lists, the material, labor, other and
//     inspection lines it does not list (inspection lines by their inspection number);
//   - cancellation: an order the laptop holds that was cancelled, or reassigned to another
//     engineer.
// An order the laptop lists without an activities list is taken as held in full (nothing is
// added to it); one it lists with an empty activities list holds none of its activities.
// Orders the laptop holds that are completed, closed or unknown to the ERP are left alone.
// Entries come new first, then additions, each by order id, then cancellations in the order
// the laptop listed them.
//
// A plan is the store at one moment: all its reads are one read transaction, so an order
// that another connection changes meanwhile is planned either as it was or as it is, whole.
// Reads the store; thread-safe as the Store is.
#ifndef TQS_ERP_DOWNLOAD_PLANNER_H_
#define TQS_ERP_DOWNLOAD_PLANNER_H_

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "erp/records.h"
#include "erp/store.h"

namespace tqs::erp {

// What a laptop holds of one order.
struct HeldOrder {
  std::string id;
  // False when the laptop listed the order without an activities list.
  bool activities_listed = false;
  // Activity id -> the line ids it holds, per line kind.
  std::map<std::string, std::map<LineKind, std::set<std::string>>, std::less<>> activities;
};

enum class DownloadEntryKind { kNew, kAddition, kCancellation };

struct DownloadEntry {
  DownloadEntryKind kind = DownloadEntryKind::kNew;
  // The order as handed out (an addition holds only what the laptop lacks); for a
  // cancellation only the id, cancelled_on and cancel_reason count.
  ServiceOrder order;
};

class DownloadPlanner {
 public:
  explicit DownloadPlanner(const Store& store) : store_(store) {}

  std::vector<DownloadEntry> Plan(std::string_view employee,
                                  const std::vector<HeldOrder>& holdings) const;

 private:
  // Plan's work, inside its read transaction.
  std::vector<DownloadEntry> PlanAtOneMoment(std::string_view employee,
                                             const std::vector<HeldOrder>& holdings) const;

  const Store& store_;
};

}  // namespace tqs::erp

#endif  // TQS_ERP_DOWNLOAD_PLANNER_H_
