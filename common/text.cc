#include "common/text.h"

#include <array>
#include <cstdint>

#include "common/utf8.h"

namespace tqs {

namespace {

// How the escaping treats a byte.
enum ByteClass : std::uint8_t {
  kPlain,      // copied: printable ASCII, tab, line feed, carriage return
  kMarkup,     // one of the five characters with an entity
  kForbidden,  // a C0 control that XML 1.0 forbids
  kMultiByte,  // the first byte of a UTF-8 sequence, or a byte that cannot start one
};

constexpr std::array<ByteClass, 256> kByteClasses = [] {
  std::array<ByteClass, 256> classes{};
  for (int byte = 0; byte < 256; ++byte) {
    if (byte < 0x20) {
      classes[byte] = (byte == '\t' || byte == '\n' || byte == '\r') ? kPlain : kForbidden;
    } else if (byte < 0x80) {
      classes[byte] = kPlain;
    } else {
      classes[byte] = kMultiByte;
    }
  }
  for (const char markup : {'&', '\'', '"', '<', '>'}) classes[markup] = kMarkup;
  return classes;
}();

std::string_view EntityOf(char markup) {
  switch (markup) {
    case '&':
      return "&amp;";
    case '\'':
      return "&apos;";
    case '"':
      return "&quot;";
    case '<':
      return "&lt;";
    default:
      return "&gt;";
  }
}

// U+FFFE and U+FFFF, the two noncharacters XML 1.0 excludes from its characters.
bool IsExcludedNoncharacter(const unsigned char* p, std::size_t length) {
  return length == 3 && p[0] == 0xEF && p[1] == 0xBF && p[2] >= 0xBE;
}

// Appends `text` to `out`, escaping the markup characters when `kEscapeMarkup`, and writing
// U+FFFD for every character XML cannot carry. Runs of bytes that need nothing are appended
// in one piece.
template <bool kEscapeMarkup>
std::size_t AppendChecked(std::string& out, std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* const end = p + text.size();
  const auto* run = p;
  std::size_t replaced = 0;
  const auto flush = [&] { out.append(reinterpret_cast<const char*>(run), p - run); };
  while (true) {
    while (p != end && kByteClasses[*p] == kPlain) ++p;  // the fast path: plain ASCII
    if (p == end) break;
    switch (kByteClasses[*p]) {
      case kPlain:
        break;
      case kMarkup:
        if constexpr (kEscapeMarkup) {
          flush();
          out += EntityOf(static_cast<char>(*p));
          run = ++p;
        } else {
          ++p;
        }
        break;
      case kForbidden:
        flush();
        out += kReplacementCharacter;
        ++replaced;
        run = ++p;
        break;
      case kMultiByte: {
        std::size_t ill_formed = 0;
        const auto* const begin = reinterpret_cast<const unsigned char*>(text.data());
        const std::size_t length = WellFormedSize(text, p - begin, &ill_formed);
        if (length != 0 && !IsExcludedNoncharacter(p, length)) {
          p += length;
          break;
        }
        flush();
        out += kReplacementCharacter;
        ++replaced;
        p += length != 0 ? length : ill_formed;
        run = p;
        break;
      }
    }
  }
  flush();
  return replaced;
}

}  // namespace

std::string EscapeXmlText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  AppendChecked<true>(out, text);
  return out;
}

std::size_t AppendEscapedXml(std::string& out, std::string_view text) {
  return AppendChecked<true>(out, text);
}

std::size_t AppendXmlCharacters(std::string& out, std::string_view text) {
  return AppendChecked<false>(out, text);
}

std::string QuoteSql(std::string_view text) {
  std::string out = "N'";
  out.reserve(text.size() + 4);
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  out += '\'';
  return out;
}

std::string Excerpt(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return std::string(text);
  std::size_t end = 0;
  for (std::size_t size = CharacterSize(text, end); size != 0 && end + size <= limit;
       size = CharacterSize(text, end)) {
    end += size;
  }
  return std::string(text.substr(0, end)) + "... (" + std::to_string(text.size()) + " bytes)";
}

std::string AsciiLowerCase(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

std::string AsciiUpperCase(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return folded;
}

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

}  // namespace tqs
