#include "erp_bridge/graph_json.h"

#include <fmt/format.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>

#include "common/conversions.h"
#include "common/error.h"
#include "erp_bridge/bridge_objects.h"
#include "platform/automation/data_object.h"

namespace tqs::erp_bridge {

namespace {

using automation::DataObject;
using automation::Variant;
using automation::VariantType;
using nlohmann::json;

constexpr std::string_view kDateKey = "date";
constexpr std::string_view kClassKey = "class";
constexpr std::string_view kPropertiesKey = "properties";
constexpr std::string_view kListsKey = "lists";

json ToJson(const Variant& value, int depth);

json ObjectToJson(const Variant& value, int depth) {
  const automation::ObjectPtr object = value.TryObject();
  if (!object) return nullptr;  // Nothing
  const auto* data = dynamic_cast<const DataObject*>(object.get());
  if (data == nullptr) {
    throw Error(error_number::kTypeMismatch,
                fmt::format("Type mismatch: the ERP bridge can describe only the data objects it "
                            "created itself, not an object of class '{}'",
                            object->ProgId()));
  }
  if (depth >= kMostGraphDepth) {
    throw Error(error_number::kTypeMismatch,
                fmt::format("Type mismatch: the object graph handed to the ERP bridge is deeper "
                            "than {} objects (or holds itself)",
                            kMostGraphDepth));
  }
  json properties = json::object();
  for (const std::string& name : data->PropertyNames()) {
    const Variant& property = data->Get(name);
    if (property.IsEmpty()) continue;
    properties[name] = ToJson(property, depth + 1);
  }
  json lists = json::object();
  for (const std::string& name : data->ListNames()) {
    json entries = json::array();
    for (const Variant& entry : data->List(name)) entries.push_back(ToJson(entry, depth + 1));
    lists[name] = std::move(entries);
  }
  return {{kClassKey, data->ProgId()},
          {kPropertiesKey, std::move(properties)},
          {kListsKey, std::move(lists)}};
}

json ToJson(const Variant& value, int depth) {
  switch (value.type()) {
    case VariantType::kEmpty:
    case VariantType::kNull:
      return nullptr;
    case VariantType::kBoolean:
      return value.AsBoolean();
    case VariantType::kInt16:
    case VariantType::kInt32:
      return value.AsInt32();
    case VariantType::kDouble: {
      const double number = value.AsDouble();
      if (!std::isfinite(number)) {
        throw Error(error_number::kOverflow,
                    "Overflow: the ERP bridge cannot send a number that is not finite");
      }
      return number;
    }
    case VariantType::kText:
      return value.AsText();
    case VariantType::kDate:
      return {{kDateKey, FormatDatePattern(value.AsDate(), "yyyy-mm-ddThh:nn:ss")}};
    case VariantType::kObject:
      return ObjectToJson(value, depth);
  }
  return nullptr;
}

[[noreturn]] void Malformed(const std::string& where, std::string_view what) {
  throw Error(error_number::kGenericFailure, fmt::format("{}: {}", where, what));
}

// "yyyy-mm-ddThh:mm:ss", every field in range.
std::optional<DateTime> ParseIsoDate(const std::string& text) {
  int year = 0;
  unsigned month = 0, day = 0, hour = 0, minute = 0, second = 0;
  char tail = 0;
  if (text.size() != 19 || std::sscanf(text.c_str(), "%4d-%2u-%2uT%2u:%2u:%2u%c", &year, &month,
                                       &day, &hour, &minute, &second, &tail) != 6) {
    return std::nullopt;
  }
  const std::chrono::year_month_day date{std::chrono::year(year), std::chrono::month(month),
                                         std::chrono::day(day)};
  if (!date.ok() || hour > 23 || minute > 59 || second > 59) return std::nullopt;
  return DateTime(std::chrono::local_days(date).time_since_epoch() + std::chrono::hours(hour) +
                  std::chrono::minutes(minute) + std::chrono::seconds(second));
}

Variant FromJson(const json& value, const std::string& where, int depth);

Variant ObjectFromJson(const json& value, const std::string& where, int depth) {
  if (depth >= kMostGraphDepth) {
    Malformed(where, fmt::format("objects are nested deeper than {}", kMostGraphDepth));
  }
  for (const auto& [key, member] : value.items()) {
    if (key != kClassKey && key != kPropertiesKey && key != kListsKey) {
      Malformed(where, fmt::format("an object has the unknown member '{}'", key));
    }
  }
  std::string prog_id;
  if (const auto found = value.find(kClassKey); found != value.end()) {
    if (!found->is_string()) Malformed(where, "\"class\" is not a string");
    prog_id = found->get<std::string>();
  }
  auto object = NewBridgeObject(prog_id);
  if (const auto found = value.find(kPropertiesKey); found != value.end()) {
    if (!found->is_object()) Malformed(where, "\"properties\" is not an object");
    for (const auto& [name, property] : found->items()) {
      if (name.empty()) Malformed(where, "a property has an empty name");
      object->Set(name, FromJson(property, where + ".properties." + name, depth + 1));
    }
  }
  if (const auto found = value.find(kListsKey); found != value.end()) {
    if (!found->is_object()) Malformed(where, "\"lists\" is not an object");
    for (const auto& [name, entries] : found->items()) {
      if (name.empty()) Malformed(where, "a list has an empty name");
      if (!entries.is_array()) Malformed(where + ".lists." + name, "the list is not an array");
      for (std::size_t index = 0; index < entries.size(); ++index) {
        object->Add(name, FromJson(entries[index],
                                   fmt::format("{}.lists.{}[{}]", where, name, index), depth + 1));
      }
    }
  }
  return Variant(automation::ObjectPtr(std::move(object)));
}

Variant FromJson(const json& value, const std::string& where, int depth) {
  switch (value.type()) {
    case json::value_t::null:
      return Variant::Null();
    case json::value_t::boolean:
      return Variant(value.get<bool>());
    case json::value_t::string:
      return Variant(value.get<std::string>());
    case json::value_t::number_integer:
    case json::value_t::number_unsigned: {
      if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        if (number <= static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
          return Variant(static_cast<std::int32_t>(number));
        }
        return Variant(static_cast<double>(number));
      }
      const auto number = value.get<std::int64_t>();
      if (number >= std::numeric_limits<std::int32_t>::min() &&
          number <= std::numeric_limits<std::int32_t>::max()) {
        return Variant(static_cast<std::int32_t>(number));
      }
      return Variant(static_cast<double>(number));
    }
    case json::value_t::number_float:
      return Variant(value.get<double>());
    case json::value_t::object:
      if (value.size() == 1 && value.contains(kDateKey)) {
        const json& text = value.at(kDateKey);
        const std::optional<DateTime> date =
            text.is_string() ? ParseIsoDate(text.get<std::string>()) : std::nullopt;
        if (!date) Malformed(where, "a date must be written \"yyyy-mm-ddThh:mm:ss\"");
        return Variant(*date);
      }
      return ObjectFromJson(value, where, depth);
    default:
      Malformed(where, "an array is no value (lists belong under \"lists\")");
  }
}

}  // namespace

json ValueToJson(const Variant& value) { return ToJson(value, 0); }

Variant ValueFromJson(const json& json_value, const std::string& where) {
  return FromJson(json_value, where, 0);
}

}  // namespace tqs::erp_bridge
