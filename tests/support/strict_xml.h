// IsWellFormedXml asks a conforming XML 1.0 parser (libxml2, with no network, no entity
// substitution and no DTD loading) whether a text is a well-formed document in UTF-8: what a
// laptop or any strict reader of the documents we write will accept. pugixml cannot answer
// this, as it lets control characters and bytes that are not UTF-8 through.
//
// Thread-safe.
#ifndef TQS_TESTS_SUPPORT_STRICT_XML_H_
#define TQS_TESTS_SUPPORT_STRICT_XML_H_

#include <string>
#include <string_view>

namespace tqs::test_support {

// True when `text` is well-formed; otherwise false with the parser's first message in `error`.
bool IsWellFormedXml(std::string_view text, std::string* error = nullptr);

}  // namespace tqs::test_support

#endif  // TQS_TESTS_SUPPORT_STRICT_XML_H_
