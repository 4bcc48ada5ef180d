#include "broker/job_sheet_assembly.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "common/erp/job_sheets.h"
#include "common/error.h"
#include "platform/xml/xml.h"

namespace tqs::broker {

namespace {

namespace js = erp::job_sheets;
namespace a = erp::job_sheets::attribute;
namespace g = erp::job_sheets::graph;
using automation::ObjectPtr;
using automation::Variant;

// "Object required": a value that holds no object at all where an object reference is needed.
constexpr std::int32_t kObjectRequired = 424;

enum class LineKind { kMaterial, kLabor, kHour, kOther, kInspection };

// One line list of an activity: its element, the collection that receives its lines and the
// activity setter that receives the collection.
struct LineList {
  LineKind kind;
  std::string_view element;
  std::string_view collection;   // created when the element is present
  std::string_view placeholder;  // a line object created with the collection, or per line
  bool placeholder_per_line;
  std::string_view add;  // on the collection
  std::string_view set;  // on the activity
};

constexpr LineList kLineLists[] = {
    {LineKind::kMaterial, "materials", js::prog_id::kMaterialRequirement,
     js::prog_id::kMaterialData, false, g::kMaterialData.add, g::kMaterialRequirement.set},
    {LineKind::kLabor, "labors", js::prog_id::kLaborRequirement, js::prog_id::kLaborData, false,
     g::kLaborData.add, g::kLaborRequirement.set},
    {LineKind::kHour, "hoursspent", js::prog_id::kHoursAccounting, js::prog_id::kHourData, false,
     g::kHourData.add, g::kHoursAccounting.set},
    {LineKind::kOther, "others", js::prog_id::kOtherRequirement, js::prog_id::kOtherData, true,
     g::kOtherData.add, g::kOtherRequirement.set},
    {LineKind::kInspection, "inspections", js::prog_id::kObjectInspectionsData,
     js::prog_id::kInspectionData, false, g::kInspectionData.add, g::kObjectInspectionsData.set},
};

// Calls `method` with one object (or Nothing) passed by reference.
void PassObject(const ObjectPtr& target, std::string_view method, const ObjectPtr& object) {
  Variant args[] = {Variant(object)};
  target->Invoke(method, args);
}

// Calls `method` with the text of the required attribute `name` of `node`.
void PassAttribute(const ObjectPtr& target, std::string_view method, pugi::xml_node node,
                   std::string_view name) {
  target->Call(method, {Variant(RequiredAttribute(node, name))});
}

// The object reference an inspection line mapper's answer is assigned to: the line object or
// Nothing. An answer that holds no object at all (the mapper failed) cannot be assigned.
ObjectPtr InspectionReference(const Variant& answer, std::size_t index) {
  if (answer.IsObject()) return answer == Variant(ObjectPtr()) ? nullptr : answer.AsObject();
  throw Error(kObjectRequired, "Object required: inspection line " + std::to_string(index + 1) +
                                   " of the activity gave no inspection data");
}

}  // namespace

JobSheetAssembly::JobSheetAssembly(const automation::ComponentRegistry& components,
                                   const OrderMapping& orders, const LineMapping& lines)
    : components_(components), orders_(orders), lines_(lines) {}

void JobSheetAssembly::MapServiceOrder(pugi::xml_node service_order,
                                       const ObjectPtr& service_order_data,
                                       const ObjectPtr& activities_data) const {
  PassAttribute(service_order_data, a::kServiceOrder.set, service_order, "id");
  PassAttribute(service_order_data, a::kOrigin.set, service_order, "origin");
  PassAttribute(service_order_data, a::kActionsPerformed.set, service_order, "actionsperformed");

  if (const pugi::xml_node details = xml::FirstChildElement(service_order, "details")) {
    PassObject(service_order_data, g::kOrderDetails.set, orders_.GetOrderDetails(details));
  }

  if (const pugi::xml_node activities = xml::FirstChildElement(service_order, "activities")) {
    for (pugi::xml_node activity : activities.children()) {
      const ObjectPtr activity_data = MapActivity(activity, service_order, service_order_data);
      PassObject(activities_data, g::kActivityData.add, activity_data);
    }
    PassObject(service_order_data, g::kActivitiesData.set, activities_data);
  }

  if (const pugi::xml_node payments = xml::FirstChildElement(service_order, "payments")) {
    MapPayments(payments, service_order_data);
  }
}

ObjectPtr JobSheetAssembly::MapActivity(pugi::xml_node activity, pugi::xml_node service_order,
                                        const ObjectPtr& service_order_data) const {
  const ObjectPtr activity_data = components_.Create(js::prog_id::kActivityData);
  PassAttribute(activity_data, a::kActivity.set, activity, "id");
  PassAttribute(activity_data, a::kOrigin.set, activity, "origin");
  PassAttribute(activity_data, a::kActionsPerformed.set, activity, "actionsperformed");
  PassAttribute(service_order_data, a::kInvoiceid.set, service_order, "invoiceid");

  if (const pugi::xml_node details = xml::FirstChildElement(activity, "details")) {
    PassObject(activity_data, g::kActivityDetails.set, orders_.GetActivityDetails(details));
  }
  MapActivityLines(activity, activity_data);
  return activity_data;
}

void JobSheetAssembly::MapActivityLines(pugi::xml_node activity,
                                        const ObjectPtr& activity_data) const {
  for (const LineList& list : kLineLists) {
    const pugi::xml_node element = xml::FirstChildElement(activity, list.element);
    if (!element) continue;
    const ObjectPtr collection = components_.Create(list.collection);
    if (!list.placeholder_per_line) components_.Create(list.placeholder);
    std::size_t index = 0;
    for (pugi::xml_node line : element.children()) {
      if (list.placeholder_per_line) components_.Create(list.placeholder);
      ObjectPtr line_data;
      switch (list.kind) {
        case LineKind::kMaterial:
          line_data = lines_.GetMaterialDetails(line);
          break;
        case LineKind::kLabor:
          line_data = lines_.GetLaborDetails(line);
          break;
        case LineKind::kHour:
          line_data = lines_.GetHoursSpentDetails(line);
          break;
        case LineKind::kOther:
          line_data = lines_.GetOtherDetails(line);
          break;
        case LineKind::kInspection:
          line_data = InspectionReference(lines_.GetInspectionLineDetails(line), index);
          break;
      }
      PassObject(collection, list.add, line_data);
      ++index;
    }
    PassObject(activity_data, list.set, collection);
  }
}

void JobSheetAssembly::MapPayments(pugi::xml_node payments,
                                   const ObjectPtr& service_order_data) const {
  const ObjectPtr payments_data = components_.Create(js::prog_id::kPaymentsData);
  components_.Create(js::prog_id::kPaymentData);
  for (pugi::xml_node payment : payments.children()) {
    PassObject(payments_data, g::kPaymentData.add, orders_.GetPaymentDetails(payment));
  }
  PassObject(service_order_data, g::kPaymentsData.set, payments_data);
}

}  // namespace tqs::broker
