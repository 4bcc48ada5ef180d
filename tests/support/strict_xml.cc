#include "tests/support/strict_xml.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>

namespace tqs::test_support {

bool IsWellFormedXml(std::string_view text, std::string* error) {
  xmlParserCtxtPtr context = xmlNewParserCtxt();
  if (!context) {
    if (error) *error = "libxml2 could not make a parser";
    return false;
  }
  const xmlDocPtr document =
      xmlCtxtReadMemory(context, text.data(), static_cast<int>(text.size()), "document.xml",
                        "UTF-8", XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  const bool well_formed = document != nullptr && context->wellFormed;
  if (!well_formed && error) {
    const xmlError* last = xmlCtxtGetLastError(context);
    *error = last && last->message ? last->message : "not well-formed";
  }
  if (document) xmlFreeDoc(document);
  xmlFreeParserCtxt(context);
  return well_formed;
}

}  // namespace tqs::test_support
