#include "erp/assignments_manager.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "common/erp/assignments.h"
#include "common/error.h"
#include "erp/late_bound_internal.h"
#include "erp/values.h"

namespace tqs::erp {

namespace {

namespace as = assignments;
using automation::ObjectPtr;
using automation::Variant;
using internal::Ask;
using internal::KeptText;
using internal::NewDataObject;
using internal::OptionalObject;

std::string ValueOf(const ObjectPtr& object, std::string_view setter) {
  return KeptText(Ask(object, "get" + std::string(setter.substr(3))));
}

// The entries of a list an object was given with `add_method`.
std::vector<ObjectPtr> Entries(const ObjectPtr& owner, std::string_view add_method) {
  const std::string name(add_method.substr(3));
  const std::int32_t count = internal::AskCount(owner, "size" + name);
  std::vector<ObjectPtr> entries;
  for (std::int32_t index = 0; index < count; ++index) {
    const std::string getter = "get" + name + "At";
    entries.push_back(OptionalObject(internal::AskAt(owner, getter, index), getter));
  }
  return entries;
}

bool AllDigits(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](unsigned char c) { return std::isdigit(c) != 0; });
}

// A laptop's time stamp: "yyyymmdd", any character, "hhnnss" (more may follow), or a date the
// date conversion reads. Empty passes: the step did not happen yet.
bool IsTimeStamp(std::string_view text) {
  if (text.empty()) return true;
  if (text.size() >= 15 && AllDigits(text.substr(0, 8)) && AllDigits(text.substr(9, 6))) {
    const int hours = std::stoi(std::string(text.substr(9, 2)));
    const int minutes = std::stoi(std::string(text.substr(11, 2)));
    const int seconds = std::stoi(std::string(text.substr(13, 2)));
    return ParseCompactDate(text.substr(0, 8), "yyyymmdd") && hours < 24 && minutes < 60 &&
           seconds < 60;
  }
  return ParseErpDate(text).has_value();
}

}  // namespace

ObjectPtr AssignmentsManager::NewObject(std::shared_ptr<Store> store) {
  return internal::MakeComponentObject<AssignmentsManager>(
      as::prog_id::kManager, std::make_shared<AssignmentsManager>(std::move(store)),
      {{as::method::kInitialize, &AssignmentsManager::Initialize},
       {as::method::kUpdateAssignments, &AssignmentsManager::UpdateAssignments}});
}

Variant AssignmentsManager::Initialize(std::span<Variant> args) {
  internal::RequireArguments(args, 1, as::prog_id::kManager, as::method::kInitialize);
  business_component_ = KeptText(args[0]);
  return {};
}

Variant AssignmentsManager::UpdateAssignments(std::span<Variant> args) {
  internal::RequireArguments(args, 5, as::prog_id::kManager, as::method::kUpdateAssignments);
  if (!business_component_) {
    throw Error(error_number::kGenericFailure,
                "svbodll350002Manager.svbodll350002updateassignments was called before "
                "Initialize");
  }
  const std::string employee = KeptText(args[0]);
  const ObjectPtr input = OptionalObject(args[1], "the iassignments argument");

  std::vector<std::string> problems;
  std::vector<AssignmentAction> actions;
  if (!store_->FindEmployee(employee)) {
    problems.push_back(fmt::format("Employee '{}' is not known to the ERP", employee));
  }
  for (const ObjectPtr& order_input :
       input ? Entries(input, as::method::kAddServiceOrderWithOutData) : std::vector<ObjectPtr>{}) {
    if (!order_input) {
      problems.push_back("The assignments hold a service order that could not be read");
      continue;
    }
    const std::string order_id = ValueOf(order_input, as::method::kSetServiceOrderID);
    const std::optional<ServiceOrder> order = store_->FindServiceOrder(order_id);
    if (!order) {
      problems.push_back(fmt::format("Service order '{}' is not known to the ERP", order_id));
      continue;
    }
    if (order->employee != employee) {
      problems.push_back(fmt::format("Service order '{}' is assigned to employee '{}', not to '{}'",
                                     order_id, order->employee, employee));
      continue;
    }
    for (const ObjectPtr& activity_input :
         Entries(order_input, as::method::kAddActivityWithOutData)) {
      if (!activity_input) {
        problems.push_back(
            fmt::format("Service order '{}' holds an activity that could not be read", order_id));
        continue;
      }
      AssignmentAction action{order_id,
                              ValueOf(activity_input, as::method::kSetActivityID),
                              employee,
                              ValueOf(activity_input, as::method::kSetActionTaken),
                              ValueOf(activity_input, as::method::kSetDownloadedON),
                              ValueOf(activity_input, as::method::kSetAcceptedON)};
      if (order->FindActivity(action.activity_id) == nullptr) {
        problems.push_back(fmt::format("Activity '{}' is not an activity of service order '{}'",
                                       action.activity_id, order_id));
        continue;
      }
      for (const auto& [what, stamp] : {std::pair{"downloaded on", &action.downloaded_on},
                                        std::pair{"accepted on", &action.accepted_on}}) {
        if (!IsTimeStamp(*stamp)) {
          problems.push_back(fmt::format("Activity '{}' of service order '{}': {} '{}' is no date",
                                         action.activity_id, order_id, what, *stamp));
        }
      }
      actions.push_back(std::move(action));
    }
  }

  if (problems.empty()) {
    store_->InTransaction([&] {
      for (const AssignmentAction& action : actions) store_->RecordAssignment(action);
    });
  }
  auto result = NewDataObject(std::string(as::kPrefix) + "oUpdateAssignments");
  for (const std::string& problem : problems) result->Add("Error", Variant(problem));
  result->Set(as::method::kGetOReturnValue.substr(3),
              Variant(std::int32_t{problems.empty() ? 0 : -1}));
  return Variant(ObjectPtr(std::move(result)));
}

}  // namespace tqs::erp
