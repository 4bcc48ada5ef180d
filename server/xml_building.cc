#include "server/xml_building.h"

#include <string>

#include "common/error.h"

namespace tqs::server {

void EnsureXmlDocument(std::unique_ptr<pugi::xml_document>& document) {
  if (!document) document = std::make_unique<pugi::xml_document>();
}

pugi::xml_node SetRootElement(pugi::xml_document& document, std::string_view name) {
  if (pugi::xml_node old_root = document.document_element()) document.remove_child(old_root);
  return document.append_child(std::string(name).c_str());
}

pugi::xml_node CreateXmlElement(pugi::xml_document& document, pugi::xml_node parent,
                                std::string_view name, std::string_view text,
                                std::span<const XmlAttribute> attributes) {
  if (!parent) throw ObjectNotSetError();
  pugi::xml_node element = parent.append_child(std::string(name).c_str());
  if (!text.empty()) element.text().set(std::string(text).c_str());
  for (const XmlAttribute& attribute : attributes) {
    element.append_attribute(std::string(attribute.name).c_str()) =
        attribute.value.AsText().c_str();
  }
  return element;
}

}  // namespace tqs::server
