#include "erp/job_sheet_processing.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <optional>

#include "common/erp/job_sheets.h"
#include "erp/properties.h"
#include "erp/value_checks.h"
#include "erp/values.h"

namespace tqs::erp {

namespace {

namespace p = job_sheets::property;

std::string Joined(const std::vector<std::string>& problems) {
  std::string text;
  for (const std::string& problem : problems) {
    if (!text.empty()) text += "; ";
    text += problem;
  }
  return text;
}

// The number a line id holds, or 0 when it holds none (a laptop's own provisional id).
std::int64_t LineNumber(std::string_view id) {
  std::int64_t number = 0;
  const auto [end, error] = std::from_chars(id.data(), id.data() + id.size(), number);
  return error == std::errc() && end == id.data() + id.size() ? number : 0;
}

std::string Capitalised(std::string_view text) {
  std::string result(text);
  if (!result.empty()) result[0] = static_cast<char>(std::toupper(result[0]));
  return result;
}

// The problems of required hours values: a task, a registration date and a spent time above
// zero (the values themselves are checked with the others).
std::vector<std::string> MissingHoursValues(const PropertyValues& values) {
  std::vector<std::string> problems;
  for (const Property& required : {p::kTask, p::kRegistrationDateHours, p::kSpentTime}) {
    const auto value = values.find(PropertyName(required));
    if (value == values.end() || value->second.empty()) {
      problems.push_back(
          DescribeProperty(*FindProperty(PropertyGroup::kHour, PropertyName(required))) +
          " is missing");
    }
  }
  const auto spent = values.find(PropertyName(p::kSpentTime));
  if (spent != values.end()) {
    if (const std::optional<double> hours = ParseErpNumber(spent->second); hours && *hours == 0) {
      problems.push_back(
          DescribeProperty(*FindProperty(PropertyGroup::kHour, PropertyName(p::kSpentTime))) +
          " '" + spent->second + "' is not above zero");
    }
  }
  return problems;
}

// Applies one uploaded job sheet to the order it names, object by object, and records the
// outcome of each.
class Application {
 public:
  Application(Store& store, ServiceOrder& order, JobSheetOutcome& outcome)
      : store_(store), order_(order), outcome_(outcome) {
    for (const Activity& activity : order_.activities) {
      for (const Line& line : activity.lines) {
        if (line.kind != LineKind::kInspection) {
          next_cost_line_ = std::max(next_cost_line_, LineNumber(line.id) + 1);
        }
      }
    }
  }

  void ApplyHead(const UploadedJobSheet& upload) {
    if (upload.details) {
      std::vector<std::string> problems =
          CheckValues(PropertyGroup::kOrderDetails, *upload.details, store_);
      const auto status = upload.details->find(PropertyName(p::kOrderStatus));
      if (status != upload.details->end() &&
          (status->second == order_status::kClosed || status->second == order_status::kCancelled)) {
        problems.push_back(fmt::format("order status (osta) '{}' cannot be reported from the field",
                                       status->second));
      }
      if (!problems.empty()) {
        Reject(outcome_.order, fmt::format("Service order '{}': {}", order_.id, Joined(problems)));
      } else {
        ApplyDetails(PropertyGroup::kOrderDetails, *upload.details, order_.status, order_.details);
      }
    }
    order_.actions_performed = upload.actions_performed;
    if (!upload.invoice_id.empty()) order_.invoice_id = upload.invoice_id;
  }

  void ApplyActivities(const std::vector<UploadedActivity>& activities) {
    auto& outcomes = outcome_.activities.emplace();
    for (const UploadedActivity& upload : activities) {
      ActivityOutcome& activity_outcome = outcomes.emplace_back();
      activity_outcome.activity.id = upload.id;
      Activity* activity = upload.present ? order_.FindActivity(upload.id) : nullptr;
      if (activity == nullptr) {
        const std::string reason = upload.present
                                       ? UnknownActivity(upload.id)
                                       : "The job sheet holds an activity that could not be read";
        Reject(activity_outcome.activity, reason);
        RejectLines(upload, activity_outcome,
                    fmt::format("Not stored: activity '{}' was rejected", upload.id));
        continue;
      }
      ApplyActivity(upload, *activity, activity_outcome);
    }
    const bool all_completed =
        !order_.activities.empty() &&
        std::all_of(order_.activities.begin(), order_.activities.end(),
                    [](const Activity& a) { return a.status == activity_status::kCompleted; });
    if (all_completed) order_.status = order_status::kCompleted;
  }

  void ApplyPayments(const std::vector<std::optional<PropertyValues>>& payments) {
    auto& outcomes = outcome_.payments.emplace();
    for (std::size_t index = 0; index < payments.size(); ++index) {
      ObjectOutcome& payment_outcome = outcomes.emplace_back();
      payment_outcome.id = std::to_string(index + 1);
      if (!payments[index]) {
        Reject(payment_outcome, "The job sheet holds a payment that could not be read");
        continue;
      }
      const std::vector<std::string> problems =
          CheckValues(PropertyGroup::kPayment, *payments[index], store_);
      if (!problems.empty()) {
        Reject(payment_outcome, fmt::format("Payment {}: {}", index + 1, Joined(problems)));
        continue;
      }
      payment_outcome.new_id = std::to_string(store_.AddPayment(order_.id, *payments[index]));
    }
  }

  // The completion or progress the order's own actions report.
  void ApplyOrderActions() {
    if (ReportsCompletion(order_.actions_performed)) {
      order_.status = order_status::kCompleted;
    } else if (ReportsProgress(order_.actions_performed) &&
               order_.status != order_status::kInProcess &&
               order_.status != order_status::kCompleted) {
      order_.status = order_status::kInProcess;
    }
  }

  bool AnyRejected() const { return any_rejected_; }

 private:
  void Reject(ObjectOutcome& object, std::string description) {
    object.result = kObjectRejected;
    object.description = std::move(description);
    any_rejected_ = true;
  }

  std::string UnknownActivity(std::string_view activity_id) const {
    const std::vector<std::string> owners = store_.OrdersWithActivity(activity_id);
    if (!owners.empty()) {
      return fmt::format("Activity '{}' belongs to service order '{}', not to '{}'", activity_id,
                         owners.front(), order_.id);
    }
    return fmt::format("Activity '{}' is not an activity of service order '{}'", activity_id,
                       order_.id);
  }

  // Stores checked details: the status into `status`, kept values nowhere, the rest by name.
  static void ApplyDetails(PropertyGroup group, const PropertyValues& uploaded, std::string& status,
                           PropertyValues& details) {
    for (const auto& [name, value] : uploaded) {
      const PropertySpec* spec = FindProperty(group, name);
      if (spec == nullptr || spec->check == ValueCheck::kKept) continue;
      if (spec->check == ValueCheck::kStatus) {
        if (!value.empty()) status = value;
        continue;
      }
      details[name] = value;
    }
  }

  void RejectLines(const UploadedActivity& upload, ActivityOutcome& activity_outcome,
                   const std::string& reason) {
    for (const LineKind kind : kUploadedLineKinds) {
      const auto& lines = upload.lines[static_cast<std::size_t>(kind)];
      if (!lines) continue;
      auto& outcomes = activity_outcome.lines[static_cast<std::size_t>(kind)].emplace();
      for (const UploadedLine& line : *lines) {
        ObjectOutcome& line_outcome = outcomes.emplace_back();
        line_outcome.id = line.id;
        line_outcome.measurement_type = line.measurement_type;
        Reject(line_outcome, reason);
      }
    }
  }

  void ApplyActivity(const UploadedActivity& upload, Activity& activity,
                     ActivityOutcome& activity_outcome) {
    if (upload.details) {
      const std::vector<std::string> problems =
          CheckValues(PropertyGroup::kActivityDetails, *upload.details, store_);
      if (!problems.empty()) {
        Reject(activity_outcome.activity,
               fmt::format("Activity '{}': {}", activity.id, Joined(problems)));
      } else {
        ApplyDetails(PropertyGroup::kActivityDetails, *upload.details, activity.status,
                     activity.details);
      }
    }
    activity.actions_performed = upload.actions_performed;
    if (ReportsCompletion(upload.actions_performed)) {
      activity.status = activity_status::kCompleted;
    } else if (ReportsProgress(upload.actions_performed) &&
               (activity.status == activity_status::kPlanned ||
                activity.status == activity_status::kReleased)) {
      activity.status = activity_status::kInProcess;
    }
    for (const LineKind kind : kUploadedLineKinds) {
      const auto& lines = upload.lines[static_cast<std::size_t>(kind)];
      if (!lines) continue;
      auto& outcomes = activity_outcome.lines[static_cast<std::size_t>(kind)].emplace();
      for (const UploadedLine& line : *lines) {
        ApplyLine(kind, line, activity, outcomes.emplace_back());
      }
    }
  }

  void ApplyLine(LineKind kind, const UploadedLine& upload, Activity& activity,
                 ObjectOutcome& line_outcome) {
    line_outcome.id = upload.id;
    line_outcome.measurement_type = upload.measurement_type;
    const std::string what = fmt::format("{} line '{}' of activity '{}'",
                                         Capitalised(LineKindName(kind)), upload.id, activity.id);
    if (!upload.present) {
      Reject(line_outcome, fmt::format("The job sheet holds a {} line of activity '{}' that could "
                                       "not be read",
                                       LineKindName(kind), activity.id));
      return;
    }
    std::vector<std::string> problems = CheckValues(GroupOf(kind), upload.values, store_);
    if (kind == LineKind::kHour) {
      for (std::string& missing : MissingHoursValues(upload.values)) {
        problems.push_back(std::move(missing));
      }
    }
    Line* known = nullptr;
    if (kind != LineKind::kHour) {
      for (Line& line : activity.lines) {
        if (line.kind == kind && line.id == upload.id) known = &line;
      }
    }
    if (kind == LineKind::kInspection) {
      if (upload.measurement_type.empty()) {
        problems.push_back("the measurement type (cmea) is missing");
      } else if (known != nullptr && known->measurement_type != upload.measurement_type) {
        problems.push_back(fmt::format("it measures '{}', not '{}'", known->measurement_type,
                                       upload.measurement_type));
      }
    }
    if (!problems.empty()) {
      Reject(line_outcome, fmt::format("{}: {}", what, Joined(problems)));
      return;
    }
    if (known != nullptr) {
      for (const auto& [name, value] : upload.values) known->values[name] = value;
      return;
    }
    Line& added = activity.lines.emplace_back();
    added.kind = kind;
    added.id = std::to_string(kind == LineKind::kInspection ? NextInspectionNumber(activity)
                                                            : next_cost_line_++);
    added.measurement_type = upload.measurement_type;
    added.origin = upload.origin;
    added.allowed_actions = kAllowedLineActions;
    added.values = upload.values;
    line_outcome.new_id = added.id;
  }

  static std::int64_t NextInspectionNumber(const Activity& activity) {
    std::int64_t next = 1;
    for (const Line& line : activity.lines) {
      if (line.kind == LineKind::kInspection) next = std::max(next, LineNumber(line.id) + 1);
    }
    return next;
  }

  Store& store_;
  ServiceOrder& order_;
  JobSheetOutcome& outcome_;
  std::int64_t next_cost_line_ = 1;
  bool any_rejected_ = false;
};

}  // namespace

JobSheetOutcome JobSheetProcessing::Process(std::string_view employee,
                                            const UploadedJobSheet& upload) {
  JobSheetOutcome outcome;
  outcome.order.id = upload.id;
  const auto refuse = [&outcome](std::int32_t return_value, std::string description) {
    outcome.return_value = return_value;
    outcome.order.result = kObjectRejected;
    outcome.order.description = std::move(description);
  };
  if (!upload.present) {
    refuse(kJobSheetRejected, "The job sheet holds no service order");
    return outcome;
  }
  if (!store_.FindEmployee(employee)) {
    refuse(kJobSheetRejected, fmt::format("Employee '{}' is not known to the ERP", employee));
    return outcome;
  }
  store_.InTransaction([&] {
    std::optional<ServiceOrder> order = store_.FindServiceOrder(upload.id);
    if (!order) {
      refuse(kJobSheetRejected,
             fmt::format("Service order '{}' is not known to the ERP", upload.id));
      return;
    }
    if (order->employee != employee) {
      refuse(kJobSheetRejected,
             fmt::format("Service order '{}' is assigned to employee '{}', not to '{}'", order->id,
                         order->employee, employee));
      return;
    }
    if (!IsOpenOrderStatus(order->status)) {
      refuse(kJobSheetOrderClosed,
             fmt::format("Service order '{}' is {} and takes no more job sheets", order->id,
                         order->status));
      return;
    }
    Application application(store_, *order, outcome);
    application.ApplyHead(upload);
    if (upload.activities) application.ApplyActivities(*upload.activities);
    if (upload.payments) application.ApplyPayments(*upload.payments);
    application.ApplyOrderActions();
    store_.PutServiceOrder(*order);
    outcome.return_value = application.AnyRejected() ? kJobSheetRejected : kJobSheetProcessed;
  });
  return outcome;
}

}  // namespace tqs::erp
