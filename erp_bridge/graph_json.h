// The JSON form of the values and object graphs that cross the ERP contract, as the bridge
// sends them to an adapter and reads them back. A value is written as:
//   text                 a JSON string (plain text, no escaping beyond JSON's own)
//   whole number         a JSON integer (16- and 32-bit alike)
//   other number         a JSON number with a decimal point or exponent
//   Boolean              true / false
//   null, empty          null
//   date and time        {"date": "2026-03-04T08:30:00"} (local time, no zone)
//   data object          {"class": "<programmatic identifier>",
//                         "properties": {"<Name>": value, ...},
//                         "lists": {"<Name>": [value, ...], ...}}
// where a property's name is its accessor's name without set/get/has ("OrderStatus" for
// setOrderStatus) and a list's name its accessor's without add/size/...At ("ActivityData").
// Names keep the spelling of their first use. "class", "properties" and "lists" may be left
// out of an answer's objects (an empty class, no properties, no lists).
//
// Stateless functions; an object graph is read by one thread at a time.
#ifndef TQS_ERP_BRIDGE_GRAPH_JSON_H_
#define TQS_ERP_BRIDGE_GRAPH_JSON_H_

#include <nlohmann/json.hpp>
#include <string>

#include "platform/automation/variant.h"

namespace tqs::erp_bridge {

// The deepest object graph written or read; deeper ones (or cycles) raise.
inline constexpr int kMostGraphDepth = 64;

// The JSON form of `value`. An object that is not a data object of the bridge's own (or a
// graph deeper than kMostGraphDepth) raises tqs::Error 13 naming it.
nlohmann::json ValueToJson(const automation::Variant& value);

// The value a JSON form describes; objects become new data objects (bridge_objects.h). A form
// that fits none of the shapes above raises tqs::Error (the generic failure) saying where:
// `where` names the place in the answer ("result", "arguments.3").
automation::Variant ValueFromJson(const nlohmann::json& json, const std::string& where);

}  // namespace tqs::erp_bridge

#endif  // TQS_ERP_BRIDGE_GRAPH_JSON_H_
