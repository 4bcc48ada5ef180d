#include <fmt/format.h>

#include "common/conversions.h"
#include "common/error.h"
#include "erp/late_bound_internal.h"

namespace tqs::erp::internal {

namespace {

// "Wrong number of arguments or invalid property assignment".
constexpr std::int32_t kWrongNumberOfArguments = 450;

}  // namespace

Variant Ask(const ObjectPtr& object, std::string_view method) { return object->Invoke(method, {}); }

Variant AskAt(const ObjectPtr& object, std::string_view method, std::int32_t index) {
  Variant args[] = {Variant(index)};
  return object->Invoke(method, args);
}

std::int32_t AskCount(const ObjectPtr& object, std::string_view method) {
  const Variant answer = Ask(object, method);
  if (answer.IsEmpty()) return 0;
  try {
    return answer.AsInt32();
  } catch (const Error& error) {
    throw Error(error.number(), fmt::format("{} ({} answered {})", error.description(), method,
                                            answer.DebugString()));
  }
}

bool AskPresence(const ObjectPtr& object, std::string_view method) {
  const Variant answer = Ask(object, method);
  if (answer.IsEmpty() || answer.IsNull()) return false;
  try {
    return answer.AsBoolean();
  } catch (const Error& error) {
    throw Error(error.number(), fmt::format("{} ({} answered {})", error.description(), method,
                                            answer.DebugString()));
  }
}

ObjectPtr OptionalObject(const Variant& value, std::string_view what) {
  switch (value.type()) {
    case automation::VariantType::kEmpty:
    case automation::VariantType::kNull:
      return nullptr;
    case automation::VariantType::kObject:
      try {
        return value.AsObject();
      } catch (const Error&) {
        return nullptr;  // Nothing
      }
    default:
      throw Error(error_number::kTypeMismatch,
                  fmt::format("Type mismatch: {} is {}, not an object", what, value.DebugString()));
  }
}

std::string KeptText(const Variant& value) {
  switch (value.type()) {
    case automation::VariantType::kEmpty:
    case automation::VariantType::kNull:
    case automation::VariantType::kObject:
      return {};
    case automation::VariantType::kBoolean:
      return value.AsBoolean() ? "1" : "0";
    case automation::VariantType::kInt16:
    case automation::VariantType::kInt32:
      return std::to_string(value.AsInt32());
    case automation::VariantType::kDouble:
      return fmt::format("{}", value.AsDouble());
    case automation::VariantType::kDate:
      return FormatDatePattern(value.AsDate(), "yyyy-mm-dd hh:nn:ss");
    case automation::VariantType::kText:
      break;
  }
  return value.AsText();
}

void RequireArguments(std::span<Variant> args, std::size_t count, std::string_view prog_id,
                      std::string_view method) {
  if (args.size() != count) {
    throw Error(kWrongNumberOfArguments,
                fmt::format("Wrong number of arguments or invalid property assignment: {}.{} "
                            "takes {}, got {}",
                            prog_id, method, count, args.size()));
  }
}

std::shared_ptr<DataObject> NewDataObject(std::string_view prog_id) {
  return std::make_shared<DataObject>(std::string(prog_id));
}

}  // namespace tqs::erp::internal
