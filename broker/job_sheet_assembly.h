// JobSheetAssembly fills the ERP's service order of an uploaded job sheet from the document's
// serviceorder element, in a fixed order of creates and calls:
//
//   1. the service order's id, origin and actionsperformed attributes;
//   2. its `details` (GetOrderDetails), when present;
//   3. its `activities`, when present: per child node an ActivityData with id, origin and
//      actionsperformed, the service order's invoiceid (handed over again for every activity),
//      the activity's `details` (GetActivityDetails) and its line lists, each in a collection
//      of its own: materials, labors, hoursspent, others, inspections; every activity is added
//      to the ActivitiesData, which is then handed to the service order (also when empty);
//   4. its `payments`, when present: a PaymentsData with one PaymentData per child node.
//
// Child elements are the first direct children of their name; every child node of a list
// counts, in document order. The attributes named above are required. The objects a mapper
// returns are handed on as they come, also when a mapper reported a failure and returned no
// object; a failure of GetPaymentDetails, and an inspection line that yields no object at all,
// are raised to the caller, as are missing attributes and ERP failures.
//
// Borrows the registry and the mappings; runs on the window's thread, not thread-safe.
#ifndef TQS_BROKER_JOB_SHEET_ASSEMBLY_H_
#define TQS_BROKER_JOB_SHEET_ASSEMBLY_H_

#include <pugixml.hpp>

#include "broker/line_mapping.h"
#include "broker/order_mapping.h"
#include "platform/automation/component_registry.h"
#include "platform/automation/object.h"

namespace tqs::broker {

class JobSheetAssembly {
 public:
  // Everything is borrowed and must outlive the assembly.
  JobSheetAssembly(const automation::ComponentRegistry& components, const OrderMapping& orders,
                   const LineMapping& lines);

  // Fills `service_order_data` from `service_order` (steps 1 to 4 above), using the
  // `activities_data` collection created for it.
  void MapServiceOrder(pugi::xml_node service_order,
                       const automation::ObjectPtr& service_order_data,
                       const automation::ObjectPtr& activities_data) const;

 private:
  // Step 3 for one child node of `activities`: the filled ActivityData.
  automation::ObjectPtr MapActivity(pugi::xml_node activity, pugi::xml_node service_order,
                                    const automation::ObjectPtr& service_order_data) const;
  // The line lists of one activity.
  void MapActivityLines(pugi::xml_node activity, const automation::ObjectPtr& activity_data) const;
  // Step 4.
  void MapPayments(pugi::xml_node payments, const automation::ObjectPtr& service_order_data) const;

  const automation::ComponentRegistry& components_;
  const OrderMapping& orders_;
  const LineMapping& lines_;
};

}  // namespace tqs::broker

#endif  // TQS_BROKER_JOB_SHEET_ASSEMBLY_H_
