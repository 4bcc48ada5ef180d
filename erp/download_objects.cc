#include "erp/download_objects.h"

#include <fmt/format.h>

#include <string>

#include "common/erp/job_sheets.h"
#include "common/error.h"
#include "common/utf8.h"
#include "erp/late_bound_internal.h"
#include "erp/properties.h"

namespace tqs::erp {

namespace {

namespace js = job_sheets;
using automation::ObjectPtr;
using automation::Variant;
using internal::AskAt;
using internal::AskCount;
using internal::DataObject;
using internal::KeptText;
using internal::NewDataObject;
using internal::OptionalObject;

// A text chunk holds at most this many characters.
constexpr std::size_t kChunkCharacters = 100;

// --- Reading the laptop's holdings ----------------------------------------------------------

// The entries of a list an input object was given with add<Name>.
std::vector<ObjectPtr> Entries(const ObjectPtr& owner, std::string_view add_method) {
  const std::string name(add_method.substr(3));
  const std::int32_t count = AskCount(owner, "size" + name);
  std::vector<ObjectPtr> entries;
  for (std::int32_t index = 0; index < count; ++index) {
    entries.push_back(
        OptionalObject(AskAt(owner, "get" + name + "At", index), "get" + name + "At"));
  }
  return entries;
}

// The id an input object was given with `setter`; missing ids raise.
std::string RequiredId(const ObjectPtr& object, std::string_view setter, std::string_view what) {
  const std::string getter = "get" + std::string(setter.substr(3));
  std::string id = KeptText(internal::Ask(object, getter));
  if (id.empty()) {
    throw Error(error_number::kGenericFailure,
                fmt::format("The download input lists {} without an id ({} answered nothing)", what,
                            getter));
  }
  return id;
}

ObjectPtr RequiredEntry(const ObjectPtr& entry, std::string_view what) {
  if (!entry) {
    throw Error(error_number::kObjectNotSet,
                fmt::format("The download input holds an empty {} entry", what));
  }
  return entry;
}

// A line list of a held activity: the list getter, the add method of its entries and the
// setter of a line's id.
struct HeldLineList {
  LineKind kind;
  std::string_view set_list;  // on the activity
  std::string_view add_line;  // on the list
  std::string_view set_id;    // on the line
};

constexpr HeldLineList kHeldLineLists[] = {
    {LineKind::kMaterial, js::input::kSetInputMaterialsWithOutData,
     js::input::kAddInputMaterialWithOutData, js::attribute::kCostLine.set},
    {LineKind::kLabor, js::input::kSetInputLaborsWithOutData, js::input::kAddInputLaborWithOutData,
     js::attribute::kCostLine.set},
    {LineKind::kOther, js::input::kSetInputOthersWithOutData, js::input::kAddInputOtherWithOutData,
     js::attribute::kCostLine.set},
    {LineKind::kInspection, js::input::kSetInputInspectionsWithOutData,
     js::input::kAddInputInspectionWithOutData, js::input::kSetInspectionLineAttribute},
};

void ReadHeldActivity(const ObjectPtr& activity, HeldOrder& order) {
  auto& lines = order.activities[RequiredId(activity, js::attribute::kActivity.set, "an activity")];
  for (const HeldLineList& list : kHeldLineLists) {
    const std::string getter = "get" + std::string(list.set_list.substr(3));
    const ObjectPtr holder = OptionalObject(internal::Ask(activity, getter), getter);
    if (!holder) continue;
    std::set<std::string>& ids = lines[list.kind];
    for (const ObjectPtr& line : Entries(holder, list.add_line)) {
      ids.insert(RequiredId(RequiredEntry(line, "line"), list.set_id, "a line"));
    }
  }
}

// --- Building the answer --------------------------------------------------------------------

std::string ProgId(std::string_view class_name) {
  return std::string(js::kPrefix) + std::string(class_name);
}

ObjectPtr NewTextContainer(std::string_view name, std::string_view text) {
  auto container = NewDataObject(ProgId(name));
  const std::string_view entries = ListName(js::graph::kTextValue);
  for (const std::string& chunk : CharacterChunks(text, kChunkCharacters)) {
    auto piece = NewDataObject(js::prog_id::kTextValue);
    piece->Set(js::graph::kGetText.substr(3), Variant(chunk));
    container->Add(entries, Variant(ObjectPtr(std::move(piece))));
  }
  return container;
}

void SetProperties(DataObject& target, PropertyGroup group, const PropertyValues& values) {
  for (const PropertySpec& spec : PropertiesOf(group)) {
    const std::string_view name = PropertyName(spec);
    const auto value = values.find(name);
    if (value == values.end()) continue;
    if (spec.check == ValueCheck::kTextList) {
      target.Set(name, Variant(NewTextContainer(name, value->second)));
    } else {
      target.Set(name, Variant(value->second));
    }
  }
}

void SetAttribute(DataObject& target, const Attribute& attribute, std::string value) {
  target.Set(AttributeName(attribute), Variant(std::move(value)));
}

// A line list an activity hands out.
struct LineList {
  LineKind kind;
  Property holder;  // on the activity
  List entries;     // on the holder
  std::string_view holder_prog_id;
  std::string_view line_prog_id;
};

constexpr LineList kLineLists[] = {
    {LineKind::kMaterial, js::graph::kMaterialRequirement, js::graph::kMaterialData,
     js::prog_id::kMaterialRequirement, js::prog_id::kMaterialData},
    {LineKind::kLabor, js::graph::kLaborRequirement, js::graph::kLaborData,
     js::prog_id::kLaborRequirement, js::prog_id::kLaborData},
    {LineKind::kOther, js::graph::kOtherRequirement, js::graph::kOtherData,
     js::prog_id::kOtherRequirement, js::prog_id::kOtherData},
    {LineKind::kInspection, js::graph::kObjectInspectionsData, js::graph::kInspectionData,
     js::prog_id::kObjectInspectionsData, js::prog_id::kInspectionData},
};

ObjectPtr NewLineData(const Line& line, std::string_view prog_id) {
  auto data = NewDataObject(prog_id);
  if (line.kind == LineKind::kInspection) {
    SetAttribute(*data, js::attribute::kMeasurementType, line.measurement_type);
    SetAttribute(*data, js::attribute::kInspectionNo, line.id);
  } else {
    SetAttribute(*data, js::attribute::kCostLine, line.id);
  }
  SetAttribute(*data, js::attribute::kOrigin, line.origin);
  SetAttribute(*data, js::attribute::kAllowedActions, line.allowed_actions);
  SetAttribute(*data, js::attribute::kActionsPerformed, line.actions_performed);
  SetProperties(*data, GroupOf(line.kind), line.values);
  return data;
}

ObjectPtr NewActivityData(const Activity& activity, const ServiceOrder& order) {
  auto data = NewDataObject(js::prog_id::kActivityData);
  SetAttribute(*data, js::attribute::kActivity, activity.id);
  SetAttribute(*data, js::attribute::kOrigin, activity.origin);
  SetAttribute(*data, js::attribute::kType, activity.type);
  SetAttribute(*data, js::attribute::kOwner, order.employee);
  SetAttribute(*data, js::attribute::kAllowedActions, activity.allowed_actions);
  SetAttribute(*data, js::attribute::kActionsPerformed, activity.actions_performed);

  PropertyValues details = activity.details;
  details[std::string(PropertyName(js::property::kActivityStatus))] = activity.status;
  auto details_object = NewDataObject(js::prog_id::kActivityDetails);
  SetProperties(*details_object, PropertyGroup::kActivityDetails, details);
  data->Set(PropertyName(js::graph::kActivityDetails), Variant(ObjectPtr(details_object)));

  for (const LineList& list : kLineLists) {
    std::shared_ptr<DataObject> holder;
    for (const Line& line : activity.lines) {
      if (line.kind != list.kind) continue;
      if (!holder) holder = NewDataObject(list.holder_prog_id);
      holder->Add(ListName(list.entries), Variant(NewLineData(line, list.line_prog_id)));
    }
    if (holder) data->Set(PropertyName(list.holder), Variant(ObjectPtr(std::move(holder))));
  }
  return data;
}

ObjectPtr NewCancelOrder(const ServiceOrder& order) {
  auto data = NewDataObject(ProgId("CancelOrder"));
  SetAttribute(*data, js::attribute::kServiceOrder, order.id);
  SetAttribute(*data, js::attribute::kCancelledOn, order.cancelled_on);
  SetAttribute(*data, js::attribute::kCancelledReason, order.cancel_reason);
  return data;
}

}  // namespace

std::vector<HeldOrder> ReadHoldings(const ObjectPtr& input) {
  std::vector<HeldOrder> holdings;
  if (!input) return holdings;
  for (const ObjectPtr& entry : Entries(input, js::input::kAddInputServiceOrderWithOutData)) {
    const ObjectPtr order = RequiredEntry(entry, "service order");
    HeldOrder& held = holdings.emplace_back();
    held.id = RequiredId(order, js::attribute::kServiceOrder.set, "a service order");
    for (const ObjectPtr& activities : Entries(order, js::input::kAddInputActivitiesWithOutData)) {
      if (!activities) continue;  // the order was listed without activities
      held.activities_listed = true;
      for (const ObjectPtr& activity :
           Entries(activities, js::input::kAddInputActivityWithOutData)) {
        ReadHeldActivity(RequiredEntry(activity, "activity"), held);
      }
    }
  }
  return holdings;
}

ObjectPtr NewServiceOrderData(const ServiceOrder& order, std::string_view engineer_name) {
  auto data = NewDataObject(js::prog_id::kServiceOrderData);
  SetAttribute(*data, js::attribute::kServiceOrder, order.id);
  SetAttribute(*data, js::attribute::kOrigin, order.origin);
  SetAttribute(*data, js::attribute::kType, order.type);
  SetAttribute(*data, js::attribute::kOwner, order.employee);
  SetAttribute(*data, js::attribute::kAllowedActions, order.allowed_actions);
  SetAttribute(*data, js::attribute::kActionsPerformed, order.actions_performed);
  SetAttribute(*data, js::attribute::kInvoiceid, order.invoice_id);

  namespace p = js::property;
  PropertyValues details = order.details;
  details[std::string(PropertyName(p::kOrderStatus))] = order.status;
  details[std::string(PropertyName(p::kEngineer))] = order.employee;
  details[std::string(PropertyName(p::kEngineerName))] = std::string(engineer_name);
  details[std::string(PropertyName(p::kServiceCenter))] = order.service_center;
  if (!order.cancelled_on.empty()) {
    details[std::string(PropertyName(p::kCancelDate))] = order.cancelled_on;
    details[std::string(PropertyName(p::kCancelReason))] = order.cancel_reason;
  }
  auto details_object = NewDataObject(js::prog_id::kOrderDetails);
  SetProperties(*details_object, PropertyGroup::kOrderDetails, details);
  data->Set(PropertyName(js::graph::kOrderDetails), Variant(ObjectPtr(details_object)));

  auto activities = NewDataObject(js::prog_id::kActivitiesData);
  for (const Activity& activity : order.activities) {
    activities->Add(ListName(js::graph::kActivityData), Variant(NewActivityData(activity, order)));
  }
  data->Set(PropertyName(js::graph::kActivitiesData), Variant(ObjectPtr(activities)));
  return data;
}

ObjectPtr NewJobSheetsResult(std::span<const DownloadEntry> entries,
                             std::string_view engineer_name) {
  auto result = NewDataObject(js::prog_id::kOJobSheets);
  std::shared_ptr<DataObject> new_list;
  std::shared_ptr<DataObject> addition_list;
  std::shared_ptr<DataObject> cancellation_list;
  for (const DownloadEntry& entry : entries) {
    if (entry.kind == DownloadEntryKind::kCancellation) {
      if (!cancellation_list) cancellation_list = NewDataObject(ProgId("CancelOrders"));
      cancellation_list->Add(ListName(js::download::kCancelOrder),
                             Variant(NewCancelOrder(entry.order)));
      continue;
    }
    std::shared_ptr<DataObject>& list =
        entry.kind == DownloadEntryKind::kNew ? new_list : addition_list;
    if (!list) list = NewDataObject(ProgId("JobSheets"));
    auto job_sheet = NewDataObject(ProgId("JobSheetData"));
    job_sheet->Set(PropertyName(js::download::kServiceOrderData),
                   Variant(NewServiceOrderData(entry.order, engineer_name)));
    list->Add(ListName(js::download::kJobSheetData), Variant(ObjectPtr(std::move(job_sheet))));
  }
  if (new_list) {
    result->Set(PropertyName(js::download::kNewJobSheets), Variant(ObjectPtr(new_list)));
  }
  if (addition_list) {
    result->Set(PropertyName(js::download::kAdditionJobSheets), Variant(ObjectPtr(addition_list)));
  }
  if (cancellation_list) {
    result->Set(PropertyName(js::download::kCancellationJobSheets),
                Variant(ObjectPtr(cancellation_list)));
  }
  return result;
}

}  // namespace tqs::erp
