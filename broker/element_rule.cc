#include "broker/element_rule.h"

#include "platform/xml/xml.h"

namespace tqs::broker {

std::optional<std::string> ElementText(pugi::xml_node parent, std::string_view code) {
  const pugi::xml_node element = xml::FirstChildElement(parent, code);
  if (!element) return std::nullopt;
  return xml::Text(element);
}

void ApplyElements(pugi::xml_node parent, std::span<const ElementSetter> rows,
                   automation::Object& target) {
  for (const ElementSetter& row : rows) {
    if (std::optional<std::string> text = ElementText(parent, row.element)) {
      target.Call(row.setter, {automation::Variant(std::move(*text))});
    }
  }
}

}  // namespace tqs::broker
