// The descriptive properties of the job sheet data objects, per group (order details,
// activity details, the line kinds, payments): the element code under which a job sheet
// document carries each, the accessor names of the contract (common/erp/job_sheets.h), the
// check the reference ERP applies to an uploaded value, and how the document writer places
// the value (escaped by the writer, or as delivered). One table serves the import of job
// sheet documents, the reading of uploaded job sheets and the building of download objects,
// so a property is named once.
//
// Constant tables; safe to use from any thread.
#ifndef TQS_ERP_PROPERTIES_H_
#define TQS_ERP_PROPERTIES_H_

#include <span>
#include <string_view>

#include "common/erp/contract.h"
#include "erp/records.h"

namespace tqs::erp {

enum class PropertyGroup {
  kOrderDetails,
  kActivityDetails,
  kMaterial,
  kLabor,
  kOther,
  kInspection,
  kHour,
  kPayment,
};

// What an uploaded value must be.
enum class ValueCheck {
  kText,         // anything
  kStatus,       // one of the statuses of the order or activity (erp/values.h)
  kDate,         // a date, with or without a time
  kQuantity,     // a number, not negative
  kNumber,       // a number
  kTask,         // a task the ERP knows
  kCompactDate,  // a date written yyyymmdd
  kTextList,     // a text container of TextValue chunks
  kKept,         // held by the ERP itself (engineer, centre, cancellation): ignored on upload
};

struct PropertySpec {
  std::string_view code;  // element code in job sheet documents; "" when never written
  Property property;
  ValueCheck check;
};

// The properties of a group, in document order.
std::span<const PropertySpec> PropertiesOf(PropertyGroup group);

// The property's name as the data objects store it: "ExecutionStart" for setExecutionStart.
std::string_view PropertyName(const PropertySpec& spec);

// The names under which data objects keep a property, an attribute and a list: the accessor
// name without its "set", "get" or "size" ("ExecutionStart", "CostLineAttribute",
// "MaterialData").
std::string_view PropertyName(const Property& property);
std::string_view AttributeName(const Attribute& attribute);
std::string_view ListName(const List& list);

// The group of a line kind's values.
PropertyGroup GroupOf(LineKind kind);

}  // namespace tqs::erp

#endif  // TQS_ERP_PROPERTIES_H_
