// The ServiceOrderHoursAccountingManager of the reference ERP's hours accounting component,
// as a late-bound object:
//   Initialize(business component)
//   Create(record set)   books the record set's hours lines (ServiceOrderHoursAccounting)
// Every line must name an employee the ERP knows and a task it knows, a registration date
// written ddmmyyyy and a spent time above 0 and at most 24 hours. When any line fails, none
// is booked and the outcome's error document (getKorvoErrorDoc) holds one error per problem;
// otherwise the lines are booked under increasing line numbers and the outcome's record set
// (getRecordSet) holds them with getLineNumber.
//   setIdempotencyKey(key)   before Create: that Create books at most once per key; a
//                            repeated key is answered with the first outcome (the same
//                            errors, or the same lines and line numbers) and books nothing.
// The key applies to the next Create only; it is kept in the store with the booking.
//
// A manager serves one caller at a time; managers sharing a Store may run on several threads.
#ifndef TQS_ERP_HOURS_ACCOUNTING_MANAGER_H_
#define TQS_ERP_HOURS_ACCOUNTING_MANAGER_H_

#include <memory>
#include <optional>
#include <span>
#include <string>

#include "erp/store.h"
#include "platform/automation/object.h"
#include "platform/automation/variant.h"

namespace tqs::erp {

class HoursAccountingManager {
 public:
  explicit HoursAccountingManager(std::shared_ptr<Store> store) : store_(std::move(store)) {}

  static automation::ObjectPtr NewObject(std::shared_ptr<Store> store);

  automation::Variant Initialize(std::span<automation::Variant> args);
  automation::Variant Create(std::span<automation::Variant> args);
  automation::Variant SetIdempotencyKey(std::span<automation::Variant> args);

 private:
  const std::shared_ptr<Store> store_;
  std::optional<std::string> business_component_;
  std::optional<std::string> idempotency_key_;  // for the next Create
};

}  // namespace tqs::erp

#endif  // TQS_ERP_HOURS_ACCOUNTING_MANAGER_H_
