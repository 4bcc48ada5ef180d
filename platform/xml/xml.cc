#include "platform/xml/xml.h"

#include <fstream>
#include <iterator>
#include <optional>

#include "common/error.h"
#include "common/text.h"
#include "platform/xml/well_formedness.h"

namespace tqs::xml {
namespace {

// Whitespace-only text between elements is dropped, as the DOM does by default.
constexpr unsigned kParseOptions = pugi::parse_default;

// A well-formed document has exactly one root element.
bool CheckSingleRoot(pugi::xml_document& document, std::string* error) {
  int roots = 0;
  for (pugi::xml_node child : document.children()) {
    if (child.type() == pugi::node_element) ++roots;
  }
  if (roots == 1) return true;
  if (error != nullptr) {
    *error = roots == 0 ? "XML document must have a top level element."
                        : "Only one top level element is allowed in an XML document.";
  }
  document.reset();
  return false;
}

bool Finish(pugi::xml_document& document, const pugi::xml_parse_result& result,
            std::string* error) {
  if (!result) {
    if (error != nullptr) {
      *error = std::string(result.description()) + " at offset " + std::to_string(result.offset);
    }
    document.reset();
    return false;
  }
  return CheckSingleRoot(document, error);
}

class StringWriter final : public pugi::xml_writer {
 public:
  explicit StringWriter(std::string& out) : out_(out) {}
  void write(const void* data, std::size_t size) override {
    out_.append(static_cast<const char*>(data), size);
  }

 private:
  std::string& out_;
};

// Walks the subtree without recursion: an element's depth is bounded by the parser, but the
// walk does not rely on it.
void AppendText(pugi::xml_node root, std::string& out) {
  pugi::xml_node node = root.first_child();
  while (node) {
    if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) out += node.value();
    if (node.type() == pugi::node_element && node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (!node.next_sibling() && node != root) node = node.parent();
    if (node == root) break;
    node = node.next_sibling();
  }
}

// Compiles an XPath expression; a syntax error becomes a tqs::Error naming the expression.
pugi::xpath_query Compile(std::string_view xpath) {
  const std::string expression(xpath);
  try {
    return pugi::xpath_query(expression.c_str());
  } catch (const pugi::xpath_exception& e) {
    throw Error(error_number::kGenericFailure,
                "Invalid XPath expression '" + expression + "': " + e.what());
  }
}

}  // namespace

bool LoadXml(pugi::xml_document& document, std::string_view text, std::string* error) {
  document.reset();
  if (const std::optional<std::string> fault = CheckWellFormed(text, TextEncoding::kUtf8)) {
    if (error != nullptr) *error = *fault;
    return false;
  }
  const pugi::xml_parse_result result =
      // The text is already characters: an encoding named in its declaration does not apply.
      document.load_buffer(text.data(), text.size(), kParseOptions, pugi::encoding_utf8);
  return Finish(document, result, error);
}

bool LoadXmlFile(pugi::xml_document& document, const std::filesystem::path& path,
                 std::string* error) {
  document.reset();
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    if (error != nullptr) *error = "File was not found or could not be opened: " + path.string();
    return false;
  }
  const std::string content{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (file.bad()) {
    if (error != nullptr) *error = "File could not be read: " + path.string();
    return false;
  }
  // Bytes, not characters: the byte order mark or the declaration names the encoding.
  if (const std::optional<std::string> fault = CheckWellFormed(content, TextEncoding::kDeclared)) {
    if (error != nullptr) *error = *fault;
    return false;
  }
  const pugi::xml_parse_result result =
      document.load_buffer(content.data(), content.size(), kParseOptions, pugi::encoding_auto);
  return Finish(document, result, error);
}

std::string Text(pugi::xml_node node) {
  std::string out;
  if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) return node.value();
  AppendText(node, out);
  return out;
}

pugi::xml_node FirstChildElement(pugi::xml_node parent, std::string_view name) {
  // The broker and the job sheet import look up every field of every line by name, so this is
  // one of the hottest calls of a pass: pugixml's own search by a terminated name runs inside
  // the library, where walking the children from here costs several library calls per child.
  constexpr std::size_t kShortName = 64;
  if (name.size() < kShortName && name.find('\0') == std::string_view::npos) {
    char terminated[kShortName];
    name.copy(terminated, name.size());
    terminated[name.size()] = '\0';
    const pugi::xml_node first = parent.child(terminated);
    // A processing instruction carries a name too; only then is the long way needed.
    if (!first || first.type() == pugi::node_element) return first;
  }
  for (pugi::xml_node child : parent.children()) {
    if (child.type() == pugi::node_element && name == child.name()) return child;
  }
  return {};
}

namespace {

// A control character that XML 1.0 forbids, also as a character reference.
bool IsForbiddenControl(unsigned code) {
  return code < 0x20 && code != '\t' && code != '\n' && code != '\r';
}

// pugixml writes a control character of a text or attribute value as a character reference
// ("&#01;"), which XML 1.0 forbids as it forbids the character itself, and copies bytes that
// are not UTF-8 as they are. The markup it wrote is kept; such references and characters
// become U+FFFD. References to tab, line feed and carriage return (attribute values keep them
// that way) stay.
std::string OnlyXmlCharacters(std::string_view markup) {
  std::string out;
  out.reserve(markup.size());
  std::size_t from = 0;
  while (true) {
    const std::size_t reference = markup.find("&#", from);
    AppendXmlCharacters(
        out, markup.substr(from, reference == std::string_view::npos ? std::string_view::npos
                                                                     : reference - from));
    if (reference == std::string_view::npos) break;
    std::size_t end = reference + 2;
    unsigned code = 0;
    while (end < markup.size() && end - reference < 8 && markup[end] >= '0' && markup[end] <= '9') {
      code = code * 10 + static_cast<unsigned>(markup[end] - '0');
      ++end;
    }
    if (end > reference + 2 && end < markup.size() && markup[end] == ';' &&
        IsForbiddenControl(code)) {
      out += kReplacementCharacter;
      from = end + 1;
    } else {
      out += "&#";
      from = reference + 2;
    }
  }
  return out;
}

}  // namespace

std::string Serialize(pugi::xml_node node) {
  std::string out;
  if (!node) return out;
  StringWriter writer(out);
  node.print(writer, "", pugi::format_raw | pugi::format_no_declaration);
  return OnlyXmlCharacters(out);
}

std::string SerializeDocument(const pugi::xml_document& document, DocumentFormat format) {
  std::string out;
  StringWriter writer(out);
  unsigned flags = format.indent ? pugi::format_indent : pugi::format_raw;
  if (!format.declaration) flags |= pugi::format_no_declaration;
  document.save(writer, "  ", flags, pugi::encoding_utf8);
  return OnlyXmlCharacters(out);
}

pugi::xpath_node_set SelectNodes(pugi::xml_node context, std::string_view xpath) {
  return context.select_nodes(Compile(xpath));
}

pugi::xml_node SelectSingleNode(pugi::xml_node context, std::string_view xpath) {
  return context.select_node(Compile(xpath)).node();
}

}  // namespace tqs::xml
