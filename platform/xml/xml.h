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
// well-formed XML 1.0 document with exactly one root element, as a conforming parser judges it
// (well_formedness.h): among others duplicate attributes, undefined entities, a lone '&',
// characters XML forbids, invalid UTF-8 and content after the root are refused. Also refused:
// any DOCTYPE (no entity is ever declared or expanded), elements nested deeper than
// kMaxNestingDepth (257) levels, and names, attribute values, CDATA sections and processing
// instructions beyond the parser's size limits. The text is characters in UTF-8: an encoding
// named in its declaration is ignored. On false the document is empty and, when `error` is
// given, it receives the first fault's message with its offset. Never throws.
bool LoadXml(pugi::xml_document& document, std::string_view text, std::string* error = nullptr);

// As LoadXml, reading the file at `path` (a missing or unreadable file is a false outcome). The
// file's bytes are read in the encoding its byte order mark or declaration names (UTF-8 when
// neither does); an encoding the parser does not know makes the file malformed.
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
