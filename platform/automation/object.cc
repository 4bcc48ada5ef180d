#include "platform/automation/object.h"

#include <string>

namespace tqs::automation {

Error MethodNotSupportedError(std::string_view prog_id, std::string_view method) {
  std::string text = "Object doesn't support this property or method: ";
  text += prog_id;
  text += '.';
  text += method;
  return Error(error_number::kMethodNotSupported, std::move(text));
}

}  // namespace tqs::automation
