// The strict well-formedness check that every XML text passes before the DOM is built. pugixml
// accepts much that XML 1.0 forbids (duplicate attributes, undefined entities, a lone '&',
// characters outside the XML character range, invalid UTF-8); a conforming parser decides
// instead. The check builds no tree, substitutes no entity, loads no DTD and never touches the
// network; what it refuses beyond XML 1.0 is listed at kMaxNestingDepth and CheckWellFormed.
#ifndef TQS_PLATFORM_XML_WELL_FORMEDNESS_H_
#define TQS_PLATFORM_XML_WELL_FORMEDNESS_H_

#include <optional>
#include <string>
#include <string_view>

namespace tqs::xml {

// Elements may nest this many levels deep, the root being level 1: no element may have more
// than 256 enclosing elements (libxml2's limit without XML_PARSE_HUGE). A deeper document is
// refused as not well-formed. The limit keeps every walk over a document, ours and the DOM's,
// bounded.
inline constexpr int kMaxNestingDepth = 257;

enum class TextEncoding {
  kUtf8,      // the text is already characters in UTF-8; a declared encoding is ignored
  kDeclared,  // raw file content: byte order mark or declaration name the encoding (else UTF-8)
};

// Nothing when `text` is a well-formed XML 1.0 document with exactly one root element; else
// the message of the first fault with its offset, line and column. Also refused: a document
// type declaration (DOCTYPE) of any kind, so that no entity is ever declared or expanded,
// nesting deeper than kMaxNestingDepth, and what libxml2 limits without XML_PARSE_HUGE: a name
// longer than 50,000 characters, an attribute value, CDATA section or processing instruction
// longer than 10,000,000 bytes (text between tags, comments and the whole document are not
// limited). Never throws for any input; thread-safe.
std::optional<std::string> CheckWellFormed(std::string_view text, TextEncoding encoding);

}  // namespace tqs::xml

#endif  // TQS_PLATFORM_XML_WELL_FORMEDNESS_H_
