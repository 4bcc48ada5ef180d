// The reference ERP's business records as plain values: employees, service orders with their
// activities and lines, payments, hours lines, service inspections and assignment actions.
// The Store reads and writes them; the component managers decide on them. Values of the many
// descriptive properties (dates, quantities, texts) are kept by property name in a
// PropertyValues map, in the text form in which the ERP hands them out.
//
// Plain values; safe to copy between threads.
#ifndef TQS_ERP_RECORDS_H_
#define TQS_ERP_RECORDS_H_

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tqs::erp {

// Property name ("ExecutionStart", as in setExecutionStart) -> value text. A text property
// (OrderText, ActivityText, ...) holds the whole text; the components cut it into chunks.
using PropertyValues = std::map<std::string, std::string, std::less<>>;

struct Employee {
  std::string number;  // EMNO
  std::string name;
  std::string service_center;
};

// The kinds of lines an activity holds. Material, labor, other and hour lines are cost lines
// numbered per service order; inspection lines are numbered per activity.
enum class LineKind { kMaterial, kLabor, kOther, kInspection, kHour };

// "material", "labor", "other", "inspection", "hour": the store's and the documents' name.
std::string_view LineKindName(LineKind kind);

struct Line {
  LineKind kind = LineKind::kMaterial;
  std::string id;                // cost line number, or the inspection number of an inspection
  std::string measurement_type;  // inspection lines only
  std::string origin;
  std::string allowed_actions;
  std::string actions_performed;
  PropertyValues values;
};

struct Activity {
  std::string id;
  std::string status;
  std::string origin;
  std::string type;
  std::string allowed_actions;
  std::string actions_performed;
  PropertyValues details;   // without the status
  std::vector<Line> lines;  // in the order they were added
};

struct ServiceOrder {
  std::string id;
  std::string employee;  // the engineer the order is assigned to
  std::string assigned_on;
  std::string status;
  std::string service_center;
  std::string origin;
  std::string type;
  std::string allowed_actions;
  std::string actions_performed;
  std::string invoice_id;
  std::string cancelled_on;
  std::string cancel_reason;
  // Without the values kept in the fields above (status, engineer, centre, cancellation).
  PropertyValues details;
  std::vector<Activity> activities;

  Activity* FindActivity(std::string_view activity_id);
  const Activity* FindActivity(std::string_view activity_id) const;
};

struct Payment {
  std::int64_t number = 0;  // per service order, from 1
  PropertyValues values;
};

// One booked hours line outside any service order.
struct HoursLine {
  std::int64_t line_number = 0;  // allocated by the store
  std::string employee;
  std::string task;
  std::string cost_component;
  std::string hourly_labor_type;
  std::string registration_date;  // yyyy-mm-dd
  double spent_time = 0;
};

struct Measurement {
  std::string measurement_type;
  std::string sequence;
  std::string registration_time;
  std::string independent_value;
  std::string dependent_value;
};

struct ServiceInspection {
  std::int64_t id = 0;  // allocated by the store
  std::string client_id;
  std::string configuration;
  std::string object;
  std::string object_number;
  std::string serial_number;
  std::string reference_activity;
  std::vector<Measurement> measurements;
};

// What an engineer did with the assignment of one activity, and when.
struct AssignmentAction {
  std::string order_id;
  std::string activity_id;
  std::string employee;
  std::string action_taken;
  std::string downloaded_on;
  std::string accepted_on;
};

}  // namespace tqs::erp

#endif  // TQS_ERP_RECORDS_H_
