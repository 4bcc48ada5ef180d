#include "erp/job_sheet_import.h"

#include <fmt/format.h>

#include <algorithm>
#include <pugixml.hpp>

#include "common/erp/job_sheets.h"
#include "common/error.h"
#include "erp/properties.h"
#include "erp/value_checks.h"
#include "erp/values.h"
#include "platform/xml/xml.h"

namespace tqs::erp {

namespace {

namespace p = job_sheets::property;

// An import failure: names the source and what was wrong.
class ImportError {
 public:
  explicit ImportError(std::string_view source) : source_(source) {}
  [[noreturn]] void Raise(std::string_view what) const {
    throw Error(error_number::kGenericFailure,
                fmt::format("Cannot import the job sheets of '{}': {}", source_, what));
  }

 private:
  std::string_view source_;
};

std::string AttributeOr(pugi::xml_node element, const char* name, std::string_view fallback) {
  const pugi::xml_attribute attribute = element.attribute(name);
  return attribute ? attribute.value() : std::string(fallback);
}

// The values of a details element or a line, by property name, from the child elements whose
// names are the group's element codes. Unknown elements are ignored.
PropertyValues ReadElements(pugi::xml_node parent, PropertyGroup group) {
  PropertyValues values;
  if (!parent) return values;
  for (const PropertySpec& spec : PropertiesOf(group)) {
    const pugi::xml_node element = xml::FirstChildElement(parent, spec.code);
    if (element) values.emplace(PropertyName(spec), xml::Text(element));
  }
  return values;
}

std::string Take(PropertyValues& values, const Property& property) {
  const auto found = values.find(PropertyName(property));
  if (found == values.end()) return {};
  std::string value = std::move(found->second);
  values.erase(found);
  return value;
}

struct LineElements {
  LineKind kind;
  const char* list;
  const char* line;
};

constexpr LineElements kLineElements[] = {
    {LineKind::kMaterial, "materials", "material"},
    {LineKind::kLabor, "labors", "labor"},
    {LineKind::kOther, "others", "other"},
    {LineKind::kInspection, "inspections", "inspection"},
};

class Importer {
 public:
  Importer(Store& store, std::string_view source) : store_(store), error_(source) {}

  void ImportJobSheet(pugi::xml_node job_sheet) {
    const pugi::xml_node element = xml::FirstChildElement(job_sheet, "serviceorder");
    if (!element) error_.Raise("a jobsheet element holds no serviceorder element");
    ServiceOrder order;
    order.id = Required(element, "id", "a service order");
    const auto fail = [&](std::string_view what) {
      error_.Raise(fmt::format("service order '{}': {}", order.id, what));
    };
    order.origin = AttributeOr(element, "origin", kErpOrigin);
    order.type = AttributeOr(element, "type", "");
    order.allowed_actions = AttributeOr(element, "allowedactions", kAllowedOrderActions);
    order.actions_performed = AttributeOr(element, "actionsperformed", "");
    order.invoice_id = AttributeOr(element, "invoiceid", "");

    PropertyValues details =
        ReadElements(xml::FirstChildElement(element, "details"), PropertyGroup::kOrderDetails);
    Check(PropertyGroup::kOrderDetails, details, fail);
    order.status = Take(details, p::kOrderStatus);
    if (order.status.empty()) order.status = order_status::kReleased;
    order.employee = Take(details, p::kEngineer);
    const std::string engineer_name = Take(details, p::kEngineerName);
    order.service_center = Take(details, p::kServiceCenter);
    order.cancelled_on = Take(details, p::kCancelDate);
    order.cancel_reason = Take(details, p::kCancelReason);
    order.details = std::move(details);
    if (order.employee.empty()) fail("its details name no engineer (emno)");
    AddEngineerWhenNew(order.employee, engineer_name, order.service_center);
    if (order.service_center.empty()) {
      order.service_center = store_.FindEmployee(order.employee)->service_center;
    }
    const std::optional<ServiceOrder> existing = store_.FindServiceOrder(order.id);
    order.assigned_on =
        existing && existing->employee == order.employee ? existing->assigned_on : Today();

    const pugi::xml_node activities = xml::FirstChildElement(element, "activities");
    for (pugi::xml_node activity_element : activities.children("activity")) {
      Activity& activity = order.activities.emplace_back();
      activity.id = Required(activity_element, "id", "an activity of service order " + order.id);
      if (std::count_if(order.activities.begin(), order.activities.end(),
                        [&](const Activity& a) { return a.id == activity.id; }) > 1) {
        fail(fmt::format("activity '{}' is listed twice", activity.id));
      }
      ReadActivity(activity_element, activity, fail);
    }
    store_.PutServiceOrder(order);
    report_.orders.push_back(order.id);
  }

  void ImportCancellation(pugi::xml_node element) {
    const std::string id = Required(element, "id", "a cancelled service order");
    std::optional<ServiceOrder> order = store_.FindServiceOrder(id);
    if (!order) error_.Raise(fmt::format("cancelled service order '{}' is not in the store", id));
    order->status = order_status::kCancelled;
    order->cancelled_on = AttributeOr(element, "cadt", Today());
    order->cancel_reason = AttributeOr(element, "cdis", "");
    store_.PutServiceOrder(*order);
    report_.cancelled.push_back(id);
  }

  ImportReport TakeReport() { return std::move(report_); }

 private:
  std::string Required(pugi::xml_node element, const char* attribute, std::string_view what) {
    const pugi::xml_attribute value = element.attribute(attribute);
    if (!value || std::string_view(value.value()).empty()) {
      error_.Raise(fmt::format("{} has no '{}' attribute", what, attribute));
    }
    return value.value();
  }

  template <typename Fail>
  void Check(PropertyGroup group, const PropertyValues& values, const Fail& fail) {
    for (const PropertySpec& spec : PropertiesOf(group)) {
      const auto value = values.find(PropertyName(spec));
      if (value == values.end()) continue;
      if (spec.check == ValueCheck::kTask && !value->second.empty() &&
          !store_.IsTask(value->second)) {
        store_.PutTask(value->second, value->second);  // a task named by the imported work
        continue;
      }
      if (auto problem = CheckValue(spec, group, value->second, store_)) fail(*problem);
    }
  }

  void AddEngineerWhenNew(const std::string& number, const std::string& name,
                          const std::string& service_center) {
    if (store_.FindEmployee(number)) return;
    store_.PutEmployee(Employee{number, name.empty() ? number : name, service_center});
    report_.employees.push_back(number);
  }

  template <typename Fail>
  void ReadActivity(pugi::xml_node element, Activity& activity, const Fail& fail) {
    activity.origin = AttributeOr(element, "origin", kErpOrigin);
    activity.type = AttributeOr(element, "type", "");
    activity.allowed_actions = AttributeOr(element, "allowedactions", kAllowedOrderActions);
    activity.actions_performed = AttributeOr(element, "actionsperformed", "");
    PropertyValues details =
        ReadElements(xml::FirstChildElement(element, "details"), PropertyGroup::kActivityDetails);
    Check(PropertyGroup::kActivityDetails, details, fail);
    activity.status = Take(details, p::kActivityStatus);
    if (activity.status.empty()) activity.status = activity_status::kReleased;
    activity.details = std::move(details);

    for (const LineElements& kind : kLineElements) {
      const pugi::xml_node list = xml::FirstChildElement(element, kind.list);
      for (pugi::xml_node line_element : list.children(kind.line)) {
        Line& line = activity.lines.emplace_back();
        line.kind = kind.kind;
        const std::string what = fmt::format("a {} line of activity {}", kind.line, activity.id);
        if (kind.kind == LineKind::kInspection) {
          line.id = Required(line_element, "mseq", what);
          line.measurement_type = Required(line_element, "cmea", what);
        } else {
          line.id = Required(line_element, "lineid", what);
        }
        line.origin = AttributeOr(line_element, "origin", kErpOrigin);
        line.allowed_actions = AttributeOr(line_element, "allowedactions", kAllowedLineActions);
        line.actions_performed = AttributeOr(line_element, "actionsperformed", "");
        line.values = ReadElements(line_element, GroupOf(kind.kind));
        Check(GroupOf(kind.kind), line.values, fail);
        const auto same =
            std::count_if(activity.lines.begin(), activity.lines.end(),
                          [&](const Line& l) { return l.kind == line.kind && l.id == line.id; });
        if (same > 1) {
          fail(fmt::format("activity '{}' lists {} line '{}' twice", activity.id, kind.line,
                           line.id));
        }
      }
    }
  }

  Store& store_;
  ImportError error_;
  ImportReport report_;
};

}  // namespace

ImportReport ImportJobSheets(Store& store, std::string_view documents, std::string_view source) {
  pugi::xml_document document;
  const pugi::xml_parse_result parsed = document.load_buffer(
      documents.data(), documents.size(), pugi::parse_default | pugi::parse_fragment);
  if (!parsed) {
    ImportError(source).Raise(fmt::format("{} at offset {}", parsed.description(), parsed.offset));
  }
  Importer importer(store, source);
  store.InTransaction([&] {
    for (const pugi::xpath_node& found : xml::SelectNodes(document, "//jobsheet")) {
      importer.ImportJobSheet(found.node());
    }
    for (const pugi::xpath_node& found :
         xml::SelectNodes(document, "//cancellations/serviceorder")) {
      importer.ImportCancellation(found.node());
    }
  });
  ImportReport report = importer.TakeReport();
  if (report.orders.empty() && report.cancelled.empty()) {
    ImportError(source).Raise("it holds no jobsheet and no cancellation element");
  }
  return report;
}

}  // namespace tqs::erp
