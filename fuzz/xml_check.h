// RequireWellFormed stops the fuzzing run (as a crash) when a document that the server answers is
// not well-formed XML: a laptop could not read it.
#ifndef TQS_FUZZ_XML_CHECK_H_
#define TQS_FUZZ_XML_CHECK_H_

#include <cstdio>
#include <cstdlib>
#include <pugixml.hpp>
#include <string>

namespace tqs::fuzz {

inline void RequireWellFormed(const std::string& document) {
  pugi::xml_document parsed;
  const pugi::xml_parse_result result = parsed.load_string(document.c_str());
  if (!result) {
    std::fprintf(stderr, "answered document is not well-formed (%s): %s\n", result.description(),
                 document.c_str());
    std::abort();
  }
}

}  // namespace tqs::fuzz

#endif  // TQS_FUZZ_XML_CHECK_H_
