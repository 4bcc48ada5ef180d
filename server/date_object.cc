#include "server/date_object.h"

#include <string>

#include "common/error.h"

namespace tqs::server {
namespace {

struct FieldMethods {
  const char* name;  // "Year" gives setYear / getYear
  DateObject::Field field;
};

constexpr FieldMethods kFields[] = {
    {"Year", DateObject::Field::kYear},       {"Month", DateObject::Field::kMonth},
    {"Date", DateObject::Field::kDate},       {"Hours", DateObject::Field::kHours},
    {"Minutes", DateObject::Field::kMinutes}, {"Seconds", DateObject::Field::kSeconds},
};

}  // namespace

automation::Variant DateObject::Invoke(std::string_view method,
                                       std::span<automation::Variant> args) {
  for (const FieldMethods& entry : kFields) {
    const int index = static_cast<int>(entry.field);
    if (method == std::string("set") + entry.name) {
      if (args.size() != 1) {
        throw InvalidProcedureCallError(std::string(method) + " takes one value");
      }
      fields_[index] = args[0].AsInt32();
      return {};
    }
    if (method == std::string("get") + entry.name) return fields_[index];
  }
  throw automation::MethodNotSupportedError(kMoniker, method);
}

}  // namespace tqs::server
