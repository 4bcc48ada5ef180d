#include "broker/result_writing.h"

#include "common/text.h"

namespace tqs::broker {

std::string ValueText(const automation::Variant& value) { return value.ToTextOrEmpty(); }

std::string AttributeText(const automation::Variant& value, std::size_t& replaced) {
  std::string text;
  replaced += AppendEscapedXml(text, ValueText(value));
  return text;
}

std::string OutcomeAttributes(const automation::Variant& result,
                              const automation::Variant& error_description,
                              const automation::Variant& new_line_id, std::size_t& replaced) {
  std::string text = " result='";
  replaced += AppendEscapedXml(text, ValueText(result));
  text += "' error='";
  replaced += AppendEscapedXml(text, ValueText(error_description));
  text += "' new='";
  replaced += AppendEscapedXml(text, ValueText(new_line_id));
  text += "'";
  return text;
}

}  // namespace tqs::broker
