#include "server/download/job_sheets_input.h"

#include <fmt/format.h>

#include <pugixml.hpp>
#include <string>
#include <vector>

#include "common/erp/job_sheets.h"
#include "common/error.h"
#include "platform/xml/xml.h"
#include "server/download/erp_values_internal.h"
#include "server/error_trap.h"

namespace tqs::server::download {

namespace {

namespace js = erp::job_sheets;
using automation::ObjectPtr;
using automation::Variant;

// One kind of line list under a request activity, in the order the ERP receives them.
struct InputLineList {
  std::string_view element;       // request element holding the lines
  std::string_view list_prog_id;  // the list object
  std::string_view line_prog_id;  // one line object
  std::string_view set_line_id;   // line id setter on the line object
  std::string_view add_line;      // append on the list object
  std::string_view set_on_activity;
};

constexpr InputLineList kInputLineLists[] = {
    {"materials", js::prog_id::kInputMaterialsWithOutData, js::prog_id::kInputMaterialWithOutData,
     js::attribute::kCostLine.set, js::input::kAddInputMaterialWithOutData,
     js::input::kSetInputMaterialsWithOutData},
    {"labors", js::prog_id::kInputLaborsWithOutData, js::prog_id::kInputLaborWithOutData,
     js::attribute::kCostLine.set, js::input::kAddInputLaborWithOutData,
     js::input::kSetInputLaborsWithOutData},
    {"others", js::prog_id::kInputOthersWithOutData, js::prog_id::kInputOtherWithOutData,
     js::attribute::kCostLine.set, js::input::kAddInputOtherWithOutData,
     js::input::kSetInputOthersWithOutData},
    {"inspections", js::prog_id::kInputInspectionsWithOutData,
     js::prog_id::kInputInspectionWithOutData, js::input::kSetInspectionLineAttribute,
     js::input::kAddInputInspectionWithOutData, js::input::kSetInputInspectionsWithOutData},
};

// Calls `method` with one argument, passed by reference.
void CallWith(const ObjectPtr& object, std::string_view method, Variant argument) {
  Variant args[] = {std::move(argument)};
  object->Invoke(method, args);
}

// The text of a required attribute of a request node. A missing attribute is the failed read
// of an object that is not there (error 91), named by node and attribute.
std::string RequiredAttribute(pugi::xml_node node, const char* name) {
  const pugi::xml_attribute attribute = node.attribute(name);
  if (!attribute) {
    const std::string node_name =
        node.type() == pugi::node_element ? fmt::format("element '{}'", node.name()) : "text node";
    throw Error(error_number::kObjectNotSet,
                fmt::format("Object variable or With block variable not set: the request's {} "
                            "has no '{}' attribute",
                            node_name, name));
  }
  return attribute.value();
}

ObjectPtr BuildActivity(const automation::ComponentRegistry& components,
                        pugi::xml_node activity_node) {
  ObjectPtr activity = components.Create(js::prog_id::kInputActivityWithOutData);
  CallWith(activity, js::attribute::kActivity.set, RequiredAttribute(activity_node, "id"));
  for (const InputLineList& kind : kInputLineLists) {
    const pugi::xml_node lines_node = xml::FirstChildElement(activity_node, kind.element);
    if (!lines_node) continue;
    ObjectPtr list = components.Create(kind.list_prog_id);
    for (pugi::xml_node line_node : lines_node.children()) {
      ObjectPtr line = components.Create(kind.line_prog_id);
      CallWith(line, kind.set_line_id, RequiredAttribute(line_node, "lineid"));
      CallWith(list, kind.add_line, Variant(line));
    }
    CallWith(activity, kind.set_on_activity, Variant(list));
  }
  return activity;
}

ObjectPtr BuildServiceOrder(const automation::ComponentRegistry& components,
                            pugi::xml_node order_node) {
  ObjectPtr order = components.Create(js::prog_id::kInputServiceOrderWithOutData);
  CallWith(order, js::attribute::kServiceOrder.set, RequiredAttribute(order_node, "id"));
  ObjectPtr activities;  // stays Nothing for an order the request lists without children
  if (order_node.first_child()) {
    const pugi::xml_node activities_node = xml::FirstChildElement(order_node, "activities");
    if (!activities_node) {
      throw Error(error_number::kObjectNotSet,
                  fmt::format("Object variable or With block variable not set: the request's "
                              "serviceorder '{}' has child nodes but no 'activities' element",
                              order_node.attribute("id").value()));
    }
    activities = components.Create(js::prog_id::kInputActivitiesWithOutData);
    for (pugi::xml_node activity_node : activities_node.children()) {
      CallWith(activities, js::input::kAddInputActivityWithOutData,
               Variant(BuildActivity(components, activity_node)));
    }
  }
  CallWith(order, js::input::kAddInputActivitiesWithOutData, Variant(activities));
  return order;
}

}  // namespace

bool BuildJobSheetsInput(const automation::ComponentRegistry& components, std::string_view request,
                         ObjectPtr& input, std::string& error_text) {
  return Trapped(error_text, [&] {
    ObjectPtr job_sheets = components.Create(js::prog_id::kIJobSheets);
    pugi::xml_document document;
    if (xml::LoadXml(document, request)) {
      for (const pugi::xpath_node& found : xml::SelectNodes(document, "//serviceorder")) {
        CallWith(job_sheets, js::input::kAddInputServiceOrderWithOutData,
                 Variant(BuildServiceOrder(components, found.node())));
      }
    }
    input = std::move(job_sheets);
  });
}

}  // namespace tqs::server::download
