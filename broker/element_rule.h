// The element rule by which the broker's mappers carry value elements of an uploaded document
// into ERP setters: take the first direct child element whose name equals the code exactly
// (case-sensitive; deeper descendants do not count). When there is none, the setter is not
// called and the ERP object keeps whatever it holds for that field; otherwise the setter is
// called once with the element's text content, unchanged (an empty element passes the empty
// string). Other children are ignored.
//
// Pure functions over the document and the object they are given; as thread-safe as those.
#ifndef TQS_BROKER_ELEMENT_RULE_H_
#define TQS_BROKER_ELEMENT_RULE_H_

#include <optional>
#include <pugixml.hpp>
#include <span>
#include <string>
#include <string_view>

#include "platform/automation/object.h"

namespace tqs::broker {

// One row of a mapping table: a value element's code and the ERP setter it feeds.
struct ElementSetter {
  std::string_view element;
  std::string_view setter;
};

// The text content of the first direct child element of `parent` named `code`, or nullopt when
// there is none.
std::optional<std::string> ElementText(pugi::xml_node parent, std::string_view code);

// Applies `rows` in order to `target` by the element rule.
void ApplyElements(pugi::xml_node parent, std::span<const ElementSetter> rows,
                   automation::Object& target);

// Whether the node has any child node at all (elements, text, anything).
inline bool HasChildNodes(pugi::xml_node node) { return static_cast<bool>(node.first_child()); }

}  // namespace tqs::broker

#endif  // TQS_BROKER_ELEMENT_RULE_H_
