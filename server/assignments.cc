// The assignment methods of JobSheet: what the engineer did with each assigned activity (action
// taken, downloaded on, accepted on) reaches the ERP's assignment manager; returnDate turns a
// compact UTC stamp into a date object in the server's local time.
#include "common/erp/assignments.h"

#include <ctime>
#include <string>
#include <vector>

#include "common/error.h"
#include "common/text.h"
#include "common/utf8.h"
#include "server/date_object.h"
#include "server/jobsheet.h"
#include "server/text_parameters.h"
#include "server/thread_connection.h"
#include "server/user_defaults.h"

namespace tqs::server {
namespace {

namespace erp = tqs::erp::assignments;
using automation::ObjectPtr;
using automation::Variant;

// An attribute read through the attribute map; a missing one is an error naming it.
Variant Attribute(pugi::xml_node node, const char* name) {
  pugi::xml_attribute attribute = node.attribute(name);
  if (!attribute) {
    throw Error(error_number::kObjectNotSet,
                std::string("Object variable or With block variable not set: the assignment "
                            "element '") +
                    Excerpt(node.name()) + "' has no attribute '" + name + "'");
  }
  return Variant(std::string(attribute.value()));
}

// The children of a node, counted once before the loop walks them.
std::vector<pugi::xml_node> Children(pugi::xml_node parent) {
  std::vector<pugi::xml_node> children;
  for (pugi::xml_node child : parent.children()) children.push_back(child);
  return children;
}

// The UTC stamp "yyyymmddXhhnnss" as local broken-down time, with the zone rules in force.
std::tm UtcStampToLocalTime(const std::string& stamp) {
  const auto field = [&](std::size_t position, std::size_t length) -> int {
    const std::string text(Mid(stamp, position + 1, length));
    const std::optional<std::int16_t> number = Variant(text).TryInt16();
    if (!number) {
      throw Error(error_number::kTypeMismatch, "Type mismatch: '" + Excerpt(text) +
                                                   "' in the time stamp '" + Excerpt(stamp) +
                                                   "' is not a number");
    }
    return *number;
  };
  std::tm utc{};
  utc.tm_year = field(0, 4) - 1900;
  utc.tm_mon = field(4, 2) - 1;
  utc.tm_mday = field(6, 2);
  utc.tm_hour = field(9, 2);
  utc.tm_min = field(11, 2);
  utc.tm_sec = field(13, 2);
  const std::tm given = utc;
  const std::time_t instant = timegm(&utc);
  // timegm normalises an impossible date (month 13, day 32, hour 25) into another one: refuse it
  // instead of answering a date the laptop never sent.
  if (instant == static_cast<std::time_t>(-1) || utc.tm_year != given.tm_year ||
      utc.tm_mon != given.tm_mon || utc.tm_mday != given.tm_mday ||
      utc.tm_hour != given.tm_hour || utc.tm_min != given.tm_min || utc.tm_sec != given.tm_sec) {
    throw InvalidProcedureCallError("'" + Excerpt(stamp) + "' is not a valid UTC time stamp");
  }
  std::tm local{};
  localtime_r(&instant, &local);
  return local;
}

}  // namespace

bool JobSheet::updateAssignments(const std::string& i_sLogin,
                                 const pugi::xml_document& i_oAssignments,
                                 const std::string& i_sDSNString, Variant& o_vFeedBack,
                                 Variant& o_vErrorDetails) {
  std::string refused;
  if (!TextParametersAccepted({{"i_sLogin", i_sLogin}, {"i_sDSNString", i_sDSNString}}, refused)) {
    o_vErrorDetails = std::move(refused);
    return false;
  }
  ThreadConnection& state = ThreadConnection::ForCurrentThread();
  state.set_connection_string(i_sDSNString);
  std::string error_details;
  const bool opened = state.OpenConnection(error_details);
  o_vErrorDetails = error_details;
  if (!opened) return false;
  try {
    const UserDefaults user = LookUpLogin(state.connection(), i_sLogin);
    const bool sent =
        sendAssignments(user.employee, user.bus_component, i_oAssignments, o_vFeedBack,
                        o_vErrorDetails);
    state.DropConnection();
    return sent;
  } catch (const Error& error) {
    o_vErrorDetails = error.description();
  }
  state.DropConnection();
  return false;
}

bool JobSheet::sendAssignments(const std::string& i_sEmployee, const std::string& i_sBusComponent,
                               const pugi::xml_document& i_oAssignments, Variant& o_vFeedBack,
                               Variant& o_vErrorDetails) {
  std::string refused;
  if (!TextParametersAccepted({{"i_sEmployee", i_sEmployee}, {"i_sBusComponent", i_sBusComponent}},
                              refused)) {
    o_vErrorDetails = std::move(refused);
    return false;
  }
  try {
    ObjectPtr input = components_.Create(erp::prog_id::kIAssignments);
    prepareAssignments(i_oAssignments, input);
    ObjectPtr manager = components_.Create(erp::prog_id::kManager);
    ObjectPtr output = components_.Create(erp::prog_id::kOAssignments);
    ObjectPtr error_structure = components_.Create(erp::prog_id::kOEStruct);
    manager->Call(erp::method::kInitialize, {i_sBusComponent});
    std::vector<Variant> args = {i_sEmployee, input, output, error_structure, std::int32_t{0}};
    const ObjectPtr result = manager->Invoke(erp::method::kUpdateAssignments, args).AsObject();
    // Only -1 is a failure; any other value, other negative ones included, is success.
    return result->Call(erp::method::kGetOReturnValue).AsDouble() != -1.0;
  } catch (const Error& error) {
    o_vErrorDetails = error.description();
  }
  return false;
}

Variant JobSheet::prepareAssignments(const pugi::xml_document& i_oAssignments,
                                     ObjectPtr& i_oInputAssignement) {
  const pugi::xml_node root = i_oAssignments.document_element();
  if (!root) return {};
  for (pugi::xml_node order : Children(root)) {
    ObjectPtr service_order = components_.Create(erp::prog_id::kServiceOrderWithOutData);
    service_order->Call(erp::method::kSetServiceOrderID, {Attribute(order, "id")});
    for (pugi::xml_node activity_node : Children(order)) {
      ObjectPtr activity = components_.Create(erp::prog_id::kActivityWithOutData);
      activity->Call(erp::method::kSetActivityID, {Attribute(activity_node, "id")});
      activity->Call(erp::method::kSetActionTaken, {Attribute(activity_node, "ataken")});
      activity->Call(erp::method::kSetDownloadedON, {Attribute(activity_node, "don")});
      activity->Call(erp::method::kSetAcceptedON, {Attribute(activity_node, "aon")});
      service_order->Call(erp::method::kAddActivityWithOutData, {activity});
    }
    if (!i_oInputAssignement) throw ObjectNotSetError();
    i_oInputAssignement->Call(erp::method::kAddServiceOrderWithOutData, {service_order});
  }
  return {};
}

ObjectPtr JobSheet::returnDate(const std::string& i_sDate) {
  CheckTextParameters({{"i_sDate", i_sDate}});
  auto date = std::make_shared<DateObject>();
  std::int32_t fields[6] = {0, 0, 0, 0, 0, 0};
  if (!Trim(i_sDate).empty()) {
    const std::tm local = UtcStampToLocalTime(i_sDate);
    // The object counts years from 1900 and months from 0, as std::tm does.
    const std::int32_t values[6] = {local.tm_year, local.tm_mon,  local.tm_mday,
                                    local.tm_hour, local.tm_min, local.tm_sec};
    std::copy(std::begin(values), std::end(values), fields);
  }
  const char* setters[6] = {"setYear", "setMonth", "setDate", "setHours", "setMinutes",
                            "setSeconds"};
  for (int i = 0; i < 6; ++i) date->Call(setters[i], {fields[i]});
  return date;
}

}  // namespace tqs::server
