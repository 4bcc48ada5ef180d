// Markup nested far deeper than the XML parser accepts, as a hostile caller sends it: the
// recursion it provokes in a walk over the document would exhaust the stack.
#ifndef TQS_TESTS_SUPPORT_DEEP_XML_H_
#define TQS_TESTS_SUPPORT_DEEP_XML_H_

#include <string>

namespace tqs::test_support {

inline constexpr int kHostileDepth = 60'000;

// `leaf` enclosed in `depth` elements named `name`.
inline std::string Deep(const std::string& leaf, int depth = kHostileDepth,
                        const std::string& name = "d") {
  std::string open, close;
  for (int level = 0; level < depth; ++level) {
    open += "<" + name + ">";
    close += "</" + name + ">";
  }
  return open + leaf + close;
}

}  // namespace tqs::test_support

#endif  // TQS_TESTS_SUPPORT_DEEP_XML_H_
