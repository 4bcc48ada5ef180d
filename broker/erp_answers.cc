#include "broker/erp_answers.h"

#include <optional>
#include <string>

#include "common/error.h"

namespace tqs::broker {

using automation::Variant;
using automation::VariantType;

namespace {

// An answer as the error texts show it: text in quotes, anything else by its type and value.
std::string Shown(const Variant& answer) {
  if (answer.type() == VariantType::kText) return "'" + answer.AsText() + "'";
  if (answer.IsEmpty()) return "nothing";
  return answer.DebugString();
}

}  // namespace

automation::ObjectPtr RequireObject(const Variant& answer, std::string_view call) {
  if (automation::ObjectPtr object = answer.TryObject()) return object;
  throw Error(error_number::kObjectNotSet,
              "Object variable not set: " + std::string(call) + " returned no object");
}

std::int32_t WholeNumber(const Variant& answer, std::string_view call,
                         const RegionalSettings& settings) {
  switch (answer.type()) {
    case VariantType::kInt16:
    case VariantType::kInt32:
      return answer.AsInt32();
    case VariantType::kNull:
      throw Error(error_number::kInvalidUseOfNull,
                  "Invalid use of Null: " + std::string(call) + " returned null, not a number");
    default:
      break;
  }
  // No answer at all is not taken as 0: a count or return value the ERP did not give must not
  // turn into "no errors" or "processed".
  std::optional<double> number;
  if (answer.type() == VariantType::kText) {
    number = ParseNumber(answer.AsText(), settings);
  } else if (!answer.IsEmpty()) {
    number = answer.TryDouble();
  }
  if (!number) {
    throw Error(error_number::kTypeMismatch, "Type mismatch: " + std::string(call) + " returned " +
                                                 Shown(answer) + ", not a number");
  }
  try {
    return ToInt32(*number);
  } catch (const Error& error) {
    throw Error(error.number(),
                error.description() + ": " + std::string(call) + " returned " + Shown(answer));
  }
}

}  // namespace tqs::broker
