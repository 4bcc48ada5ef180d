// The few XML helpers the programs need beyond pugixml, with the semantics of the DOM they
// were written against: loading that reports a true/false outcome instead of throwing, the
// text of an element with all its descendants, the first direct child element of a name,
// serialisation without a declaration, and XPath selection whose errors are tqs::Error.
//
// The functions are thread-safe as long as no two threads use the same document at once.
#ifndef TQS_PLATFORM_XML_XML_H_
#define TQS_PLATFORM_XML_XML_H_

#include <filesystem>
#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace tqs::xml {

// Parses `text` into `document`, replacing its content. Returns false when the text is not a
// well-formed document with exactly one root element; the document is then empty and, when
// `error` is given, it receives the parser's message with the offset. Never throws.
bool LoadXml(pugi::xml_document& document, std::string_view text, std::string* error = nullptr);

// As LoadXml, reading the file at `path` (a missing or unreadable file is a false outcome).
bool LoadXmlFile(pugi::xml_document& document, const std::filesystem::path& path,
                 std::string* error = nullptr);

// All text of the node and its descendants, concatenated in document order (character data
// and CDATA sections); empty for a null node.
std::string Text(pugi::xml_node node);

// The first child element of `parent` whose name is exactly `name`; a null node when none.
pugi::xml_node FirstChildElement(pugi::xml_node parent, std::string_view name);

// The markup of a node and its subtree: no declaration, no indentation, no line breaks.
// Empty for a null node. Always well-formed XML 1.0 in UTF-8: a character of a value that XML
// cannot carry (a control character other than tab, line feed and carriage return, bytes that
// are not UTF-8) is written as U+FFFD.
std::string Serialize(pugi::xml_node node);

struct DocumentFormat {
  bool declaration = false;  // write <?xml version="1.0"?> first
  bool indent = false;       // one element per line, indented by two blanks
};

// The markup of a whole document; characters as Serialize.
std::string SerializeDocument(const pugi::xml_document& document, DocumentFormat format = {});

// Nodes that `xpath` selects from `context`, in document order. An invalid expression raises
// tqs::Error naming the expression and the parser's message.
pugi::xpath_node_set SelectNodes(pugi::xml_node context, std::string_view xpath);

// The first node that `xpath` selects, a null node when none (an attribute result counts as
// none: use SelectNodes for attributes); errors as SelectNodes.
pugi::xml_node SelectSingleNode(pugi::xml_node context, std::string_view xpath);

}  // namespace tqs::xml

#endif  // TQS_PLATFORM_XML_XML_H_
