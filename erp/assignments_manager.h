// The svbodll350002Manager of the reference ERP's assignment component, as a late-bound object:
//   Initialize(business component)
//   svbodll350002updateassignments(employee, iassignments, oassignments, oEStruct, 0)
// records, per activity, the action the engineer took and when the assignment was downloaded
// and accepted. Every order must be known and assigned to the employee, every activity one of
// its order, and every time stamp a date (the compact stamp yyyymmddThhnnss or what the date
// conversion reads). When anything fails nothing is recorded and the result's getOReturnValue
// is -1 (with the problems as getErrorAt entries); otherwise it is 0.
//
// A manager serves one caller at a time; managers sharing a Store may run on several threads.
#ifndef TQS_ERP_ASSIGNMENTS_MANAGER_H_
#define TQS_ERP_ASSIGNMENTS_MANAGER_H_

#include <memory>
#include <optional>
#include <span>
#include <string>

#include "erp/store.h"
#include "platform/automation/object.h"
#include "platform/automation/variant.h"

namespace tqs::erp {

class AssignmentsManager {
 public:
  explicit AssignmentsManager(std::shared_ptr<Store> store) : store_(std::move(store)) {}

  static automation::ObjectPtr NewObject(std::shared_ptr<Store> store);

  automation::Variant Initialize(std::span<automation::Variant> args);
  automation::Variant UpdateAssignments(std::span<automation::Variant> args);

 private:
  const std::shared_ptr<Store> store_;
  std::optional<std::string> business_component_;
};

}  // namespace tqs::erp

#endif  // TQS_ERP_ASSIGNMENTS_MANAGER_H_
