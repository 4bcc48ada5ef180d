// The ServiceInspectionsManager of the reference ERP's service inspection component, as a
// late-bound object:
//   Initialize(business component)
//   ProcessServiceInspection(iServiceInspectionForProcess, 0, error structure, 0)
// stores a service inspection (its header and measurement set) when it names a serviced
// object and holds at least one measurement, each with a measurement type, numeric measured
// values and a registration time that is a date. The outcome's error structure answers getSI:
// the id the ERP stored it under (the laptop's id when it was rejected), the result ("0"
// stored, "-1" rejected) and the problems found; getOReturnValue is 0 or -1.
//   setIdempotencyKey(key)   before ProcessServiceInspection: that call stores at most once
//                            per key; a repeated key is answered with the first outcome (the
//                            same id, result, errors and return value) and stores nothing.
// The key applies to the next ProcessServiceInspection only; it is kept in the store with the
// inspection.
//
// A manager serves one caller at a time; managers sharing a Store may run on several threads.
#ifndef TQS_ERP_SERVICE_INSPECTIONS_MANAGER_H_
#define TQS_ERP_SERVICE_INSPECTIONS_MANAGER_H_

#include <memory>
#include <optional>
#include <span>
#include <string>

#include "erp/store.h"
#include "platform/automation/object.h"
#include "platform/automation/variant.h"

namespace tqs::erp {

class ServiceInspectionsManager {
 public:
  explicit ServiceInspectionsManager(std::shared_ptr<Store> store) : store_(std::move(store)) {}

  static automation::ObjectPtr NewObject(std::shared_ptr<Store> store);

  automation::Variant Initialize(std::span<automation::Variant> args);
  automation::Variant ProcessServiceInspection(std::span<automation::Variant> args);
  automation::Variant SetIdempotencyKey(std::span<automation::Variant> args);

 private:
  const std::shared_ptr<Store> store_;
  std::optional<std::string> business_component_;
  std::optional<std::string> idempotency_key_;  // for the next ProcessServiceInspection
};

}  // namespace tqs::erp

#endif  // TQS_ERP_SERVICE_INSPECTIONS_MANAGER_H_
