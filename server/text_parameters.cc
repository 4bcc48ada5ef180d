#include "server/text_parameters.h"

#include <string>

#include "common/error.h"
#include "common/utf8.h"

namespace tqs::server {

void CheckTextParameters(std::initializer_list<TextParameter> parameters) {
  for (const TextParameter& parameter : parameters) {
    const std::string name(parameter.name);
    if (parameter.value.find('\0') != std::string_view::npos) {
      throw InvalidProcedureCallError("the parameter " + name + " holds a NUL character");
    }
    if (!IsValidUtf8(parameter.value)) {
      throw InvalidProcedureCallError("the parameter " + name + " is not valid UTF-8 text");
    }
  }
}

bool TextParametersAccepted(std::initializer_list<TextParameter> parameters,
                            std::string& error_text) {
  try {
    CheckTextParameters(parameters);
    return true;
  } catch (const Error& error) {
    error_text = error.description();
    return false;
  }
}

}  // namespace tqs::server
