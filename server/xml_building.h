// The DOM building operations of the JobSheet component, used for the upload feedback document:
// create the document when there is none, give it its root element, and create an element with
// its text and attributes under a parent. Attribute values may be text or integers; integers
// are written as their decimal text. The DOM escapes attribute values when it serialises.
#ifndef TQS_SERVER_XML_BUILDING_H_
#define TQS_SERVER_XML_BUILDING_H_

#include <memory>
#include <span>
#include <string_view>

#include <pugixml.hpp>

#include "platform/automation/variant.h"

namespace tqs::server {

struct XmlAttribute {
  std::string_view name;
  automation::Variant value;
};

// Creates a document into `document` when it holds none.
void EnsureXmlDocument(std::unique_ptr<pugi::xml_document>& document);

// Makes a new element named `name` the document element (replacing any earlier one).
pugi::xml_node SetRootElement(pugi::xml_document& document, std::string_view name);

// Creates element `name` with `text` (no text node when empty) and the attributes in the order
// given, appended to `parent`. A null parent raises tqs::Error 91.
pugi::xml_node CreateXmlElement(pugi::xml_document& document, pugi::xml_node parent,
                                std::string_view name, std::string_view text,
                                std::span<const XmlAttribute> attributes);

}  // namespace tqs::server

#endif  // TQS_SERVER_XML_BUILDING_H_
