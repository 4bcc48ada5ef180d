#include "erp/upload_objects.h"

#include <string>

#include "common/erp/job_sheets.h"
#include "erp/late_bound_internal.h"
#include "erp/properties.h"

namespace tqs::erp {

namespace {

namespace js = job_sheets;
namespace errors = job_sheets::process_errors;
using automation::ObjectPtr;
using automation::Variant;
using internal::Ask;
using internal::AskAt;
using internal::AskCount;
using internal::AskPresence;
using internal::DataObject;
using internal::KeptText;
using internal::NewDataObject;
using internal::OptionalObject;

// --- Reading --------------------------------------------------------------------------------

std::string AttributeText(const ObjectPtr& object, const Attribute& attribute) {
  return KeptText(Ask(object, attribute.get));
}

ObjectPtr ObjectOf(const ObjectPtr& owner, std::string_view getter) {
  return OptionalObject(Ask(owner, getter), getter);
}

// The entries of a list read with its size and indexed getter; an empty entry is nullptr.
std::vector<ObjectPtr> Entries(const ObjectPtr& list, const List& methods) {
  std::vector<ObjectPtr> entries;
  const std::int32_t count = AskCount(list, methods.size);
  for (std::int32_t index = 0; index < count; ++index) {
    entries.push_back(OptionalObject(AskAt(list, methods.at, index), methods.at));
  }
  return entries;
}

// The joined text of a text container's chunks.
std::string ContainerText(const ObjectPtr& container) {
  std::string text;
  if (!container) return text;
  for (const ObjectPtr& piece : Entries(container, js::graph::kTextValue)) {
    if (piece) text += KeptText(Ask(piece, js::graph::kGetText));
  }
  return text;
}

PropertyValues ReadProperties(const ObjectPtr& object, PropertyGroup group) {
  PropertyValues values;
  for (const PropertySpec& spec : PropertiesOf(group)) {
    if (!AskPresence(object, spec.property.has)) continue;
    const Variant value = Ask(object, spec.property.get);
    values.emplace(PropertyName(spec), spec.check == ValueCheck::kTextList
                                           ? ContainerText(OptionalObject(value, spec.property.get))
                                           : KeptText(value));
  }
  return values;
}

std::optional<PropertyValues> ReadDetails(const ObjectPtr& owner, const Property& holder,
                                          PropertyGroup group) {
  const ObjectPtr details = ObjectOf(owner, holder.get);
  if (!details) return std::nullopt;
  return ReadProperties(details, group);
}

// A line list of an activity: its holder on the activity and the entries' accessors.
struct LineList {
  LineKind kind;
  Property holder;
  List entries;
};

constexpr LineList kLineLists[] = {
    {LineKind::kMaterial, js::graph::kMaterialRequirement, js::graph::kMaterialData},
    {LineKind::kHour, js::graph::kHoursAccounting, js::graph::kHourData},
    {LineKind::kLabor, js::graph::kLaborRequirement, js::graph::kLaborData},
    {LineKind::kOther, js::graph::kOtherRequirement, js::graph::kOtherData},
    {LineKind::kInspection, js::graph::kObjectInspectionsData, js::graph::kInspectionData},
};

UploadedLine ReadLine(const ObjectPtr& data, LineKind kind) {
  UploadedLine line;
  if (!data) {
    line.present = false;
    return line;
  }
  if (kind == LineKind::kInspection) {
    line.id = AttributeText(data, js::attribute::kInspectionNo);
    line.measurement_type = AttributeText(data, js::attribute::kMeasurementType);
  } else {
    line.id = AttributeText(data, js::attribute::kCostLine);
  }
  line.origin = AttributeText(data, js::attribute::kOrigin);
  line.values = ReadProperties(data, GroupOf(kind));
  return line;
}

UploadedActivity ReadActivity(const ObjectPtr& data) {
  UploadedActivity activity;
  if (!data) {
    activity.present = false;
    return activity;
  }
  activity.id = AttributeText(data, js::attribute::kActivity);
  activity.origin = AttributeText(data, js::attribute::kOrigin);
  activity.actions_performed = AttributeText(data, js::attribute::kActionsPerformed);
  activity.details =
      ReadDetails(data, js::graph::kActivityDetails, PropertyGroup::kActivityDetails);
  for (const LineList& list : kLineLists) {
    const ObjectPtr holder = ObjectOf(data, list.holder.get);
    if (!holder) continue;
    auto& lines = activity.lines[static_cast<std::size_t>(list.kind)].emplace();
    for (const ObjectPtr& line : Entries(holder, list.entries)) {
      lines.push_back(ReadLine(line, list.kind));
    }
  }
  return activity;
}

// --- The error structure --------------------------------------------------------------------

std::string ProgId(std::string_view class_name) {
  return std::string(js::kPrefix) + std::string(class_name);
}

// "getActivitiesErrorAt" -> "ActivitiesError": the list an indexed group getter reads.
std::string_view IndexedListName(std::string_view getter) {
  getter.remove_prefix(3);
  getter.remove_suffix(2);
  return getter;
}

std::shared_ptr<DataObject> NewItem(std::string_view class_name, const Attribute& id_attribute,
                                    const ObjectOutcome& outcome) {
  auto item = NewDataObject(ProgId(class_name));
  item->Set(AttributeName(id_attribute), Variant(outcome.id));
  item->Set(errors::kGetResult.substr(3), Variant(outcome.result));
  item->Set(errors::kGetErrorDescription.substr(3), Variant(outcome.description));
  item->Set(errors::kGetNewLineID.substr(3), Variant(outcome.new_id));
  return item;
}

ObjectPtr NewLineItem(LineKind kind, const ObjectOutcome& outcome) {
  if (kind != LineKind::kInspection) {
    return NewItem("LineError", js::attribute::kCostLine, outcome);
  }
  auto item = NewItem("InspectionError", js::attribute::kInspectionNo, outcome);
  item->Set(AttributeName(js::attribute::kMeasurementType), Variant(outcome.measurement_type));
  return item;
}

// The error group of a line kind: its getter on the activity error and its list.
struct LineErrorGroup {
  LineKind kind;
  std::string_view getter;
  List items;
};

constexpr LineErrorGroup kLineErrorGroups[] = {
    {LineKind::kMaterial, errors::kGetMaterialRequirementError, errors::kMaterialErrors},
    {LineKind::kHour, errors::kGetHoursAccountingError, errors::kHourErrors},
    {LineKind::kLabor, errors::kGetLaborRequirementError, errors::kLaborErrors},
    {LineKind::kOther, errors::kGetOtherRequirementError, errors::kOtherErrors},
    {LineKind::kInspection, errors::kGetInspectionsError, errors::kInspectionErrors},
};

ObjectPtr NewActivityItem(const ActivityOutcome& outcome) {
  auto item = NewItem("ActivityError", js::attribute::kActivity, outcome.activity);
  for (const LineErrorGroup& group : kLineErrorGroups) {
    const auto& lines = outcome.lines[static_cast<std::size_t>(group.kind)];
    if (!lines) continue;
    auto group_object = NewDataObject(ProgId(group.getter.substr(3)));
    for (const ObjectOutcome& line : *lines) {
      group_object->Add(ListName(group.items), Variant(NewLineItem(group.kind, line)));
    }
    item->Set(group.getter.substr(3), Variant(ObjectPtr(std::move(group_object))));
  }
  return item;
}

}  // namespace

UploadedJobSheet ReadUploadedJobSheet(const ObjectPtr& job_sheet_for_process) {
  UploadedJobSheet job_sheet;
  const ObjectPtr order = job_sheet_for_process
                              ? ObjectOf(job_sheet_for_process, js::download::kServiceOrderData.get)
                              : nullptr;
  if (!order) {
    job_sheet.present = false;
    return job_sheet;
  }
  job_sheet.id = AttributeText(order, js::attribute::kServiceOrder);
  job_sheet.origin = AttributeText(order, js::attribute::kOrigin);
  job_sheet.actions_performed = AttributeText(order, js::attribute::kActionsPerformed);
  job_sheet.invoice_id = AttributeText(order, js::attribute::kInvoiceid);
  job_sheet.details = ReadDetails(order, js::graph::kOrderDetails, PropertyGroup::kOrderDetails);
  if (const ObjectPtr activities = ObjectOf(order, js::graph::kActivitiesData.get)) {
    auto& list = job_sheet.activities.emplace();
    for (const ObjectPtr& activity : Entries(activities, js::graph::kActivityData)) {
      list.push_back(ReadActivity(activity));
    }
  }
  if (const ObjectPtr payments = ObjectOf(order, js::graph::kPaymentsData.get)) {
    auto& list = job_sheet.payments.emplace();
    for (const ObjectPtr& payment : Entries(payments, js::graph::kPaymentData)) {
      if (payment) {
        list.push_back(ReadProperties(payment, PropertyGroup::kPayment));
      } else {
        list.push_back(std::nullopt);
      }
    }
  }
  return job_sheet;
}

ObjectPtr NewProcessErrorStructure(const JobSheetOutcome& outcome) {
  auto structure = NewDataObject(js::prog_id::kOErrorProcessStructForProcessJobSheet);
  auto order = NewItem("OrderError", js::attribute::kServiceOrder, outcome.order);
  // The groups are read with the index 0 whether or not the upload held them: an absent group
  // is an empty entry, not a missing one.
  Variant activities;
  if (outcome.activities) {
    auto list = NewDataObject(ProgId("ActivitiesError"));
    for (const ActivityOutcome& activity : *outcome.activities) {
      list->Add(ListName(errors::kActivityErrors), Variant(NewActivityItem(activity)));
    }
    activities = Variant(ObjectPtr(std::move(list)));
  }
  order->Add(IndexedListName(errors::kGetActivitiesErrorAt), activities);
  Variant payments;
  if (outcome.payments) {
    auto list = NewDataObject(ProgId("PaymentsError"));
    for (const ObjectOutcome& payment : *outcome.payments) {
      list->Add(ListName(errors::kPaymentErrors),
                Variant(NewItem("PaymentError", js::attribute::kPaymentLine, payment)));
    }
    payments = Variant(ObjectPtr(std::move(list)));
  }
  order->Add(IndexedListName(errors::kGetPaymentsErrorAt), payments);
  structure->Add(ListName(errors::kOrderErrors), Variant(ObjectPtr(std::move(order))));
  return structure;
}

}  // namespace tqs::erp
