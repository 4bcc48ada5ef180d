#include "broker/result_writing.h"

#include "common/text.h"

namespace tqs::broker {

std::string ValueText(const automation::Variant& value) { return value.ToTextOrEmpty(); }

std::string IdentifierText(const automation::Variant& value) {
  return EscapeXmlText(ValueText(value));
}

std::string OutcomeAttributes(const automation::Variant& result,
                              const automation::Variant& error_description,
                              const automation::Variant& new_line_id) {
  std::string text = " result='";
  text += ValueText(result);
  text += "' error='";
  text += EscapeXmlText(ValueText(error_description));
  text += "' new='";
  text += ValueText(new_line_id);
  text += "'";
  return text;
}

}  // namespace tqs::broker
