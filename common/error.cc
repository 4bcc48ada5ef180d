#include "common/error.h"

#include <utility>

namespace tqs {

Error::Error(std::int32_t number, std::string description)
    : std::runtime_error(description), number_(number), description_(std::move(description)) {}

Error OverflowError() { return Error(error_number::kOverflow, "Overflow"); }

Error TypeMismatchError() { return Error(error_number::kTypeMismatch, "Type mismatch"); }

Error SubscriptOutOfRangeError() {
  return Error(error_number::kSubscriptOutOfRange, "Subscript out of range");
}

Error ObjectNotSetError() {
  return Error(error_number::kObjectNotSet, "Object variable or With block variable not set");
}

Error InvalidUseOfNullError() { return Error(error_number::kInvalidUseOfNull, "Invalid use of Null"); }

Error InvalidProcedureCallError(std::string_view detail) {
  std::string text = "Invalid procedure call or argument";
  if (!detail.empty()) {
    text += ": ";
    text += detail;
  }
  return Error(error_number::kInvalidProcedureCall, std::move(text));
}

}  // namespace tqs
