// The checks every fuzz target applies to what the programs answer: text is valid UTF-8, and a
// document is well-formed XML 1.0 for a strict parser (libxml2: no network, no entity
// substitution, no DTD loading). A failed check stops the fuzzing run as a crash: a laptop or a
// strict client could not read the answer. The checks are written independently of the
// programs' own escaping and parsing, so that they judge them rather than repeat them.
#ifndef TQS_FUZZ_XML_CHECK_H_
#define TQS_FUZZ_XML_CHECK_H_

#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace tqs::fuzz {

// Whether `text` is well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF,
// no sequence cut short.
inline bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t length = 0;
    char32_t code = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
      code = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      code = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      code = c & 0x07;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) || code > 0x10FFFF ||
        (code >= 0xD800 && code <= 0xDFFF)) {
      return false;
    }
    i += length;
  }
  return true;
}

inline void RequireUtf8(std::string_view text, const char* what) {
  if (IsValidUtf8(text)) return;
  std::fprintf(stderr, "%s is not valid UTF-8: %.*s\n", what, static_cast<int>(text.size()),
               text.data());
  std::abort();
}

namespace internal {
// libxml2 reports through a callback; the check keeps quiet and takes the outcome only.
inline void IgnoreXmlError(void*, xmlErrorPtr) {}
}  // namespace internal

// Stops the run when `document` is not valid UTF-8 or not well-formed XML 1.0.
inline void RequireWellFormed(const std::string& document) {
  RequireUtf8(document, "answered document");
  xmlParserCtxtPtr context = xmlNewParserCtxt();
  if (context == nullptr) std::abort();
  xmlSetStructuredErrorFunc(nullptr, internal::IgnoreXmlError);
  const xmlDocPtr parsed =
      xmlCtxtReadMemory(context, document.data(), static_cast<int>(document.size()), nullptr,
                        "UTF-8", XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  const bool well_formed = parsed != nullptr && context->wellFormed != 0;
  std::string message;
  if (!well_formed) {
    const xmlError* error = xmlCtxtGetLastError(context);
    if (error != nullptr && error->message != nullptr) message = error->message;
  }
  if (parsed != nullptr) xmlFreeDoc(parsed);
  xmlFreeParserCtxt(context);
  if (!well_formed) {
    std::fprintf(stderr, "answered document is not well-formed (%s): %s\n", message.c_str(),
                 document.c_str());
    std::abort();
  }
}

}  // namespace tqs::fuzz

#endif  // TQS_FUZZ_XML_CHECK_H_
