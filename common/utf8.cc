#include "common/utf8.h"

#include <cstdint>
#include <cstring>

namespace tqs {

std::size_t WellFormedSize(std::string_view text, std::size_t position, std::size_t* ill_formed) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[position + i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t size = 0;
  unsigned char low = 0x80;   // the range of the second byte (Unicode's table of well-formed
  unsigned char high = 0xBF;  // sequences): excludes overlong forms, surrogates, > U+10FFFF
  if (lead >= 0xC2 && lead <= 0xDF) {
    size = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    size = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    size = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    if (ill_formed != nullptr) *ill_formed = 1;  // a continuation byte, C0/C1 or F5..FF
    return 0;
  }
  for (std::size_t i = 1; i < size; ++i) {
    if (position + i == text.size() || byte(i) < low || byte(i) > high) {
      if (ill_formed != nullptr) *ill_formed = i;
      return 0;
    }
    low = 0x80;
    high = 0xBF;
  }
  return size;
}

namespace {

// The byte offset of the 0-based character `index` (text.size() when the text is shorter).
std::size_t OffsetOfCharacter(std::string_view text, std::size_t index) {
  std::size_t offset = 0;
  for (; index > 0 && offset < text.size(); --index) offset += CharacterSize(text, offset);
  return offset;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    // Most of an upload is ASCII: eight bytes without a high bit are taken at once.
    if (i + 8 <= text.size()) {
      std::uint64_t block;
      std::memcpy(&block, text.data() + i, sizeof block);
      if ((block & 0x8080808080808080ULL) == 0) {
        i += 8;
        continue;
      }
    }
    const std::size_t size = WellFormedSize(text, i);
    if (size == 0) return false;
    i += size;
  }
  return true;
}

std::string ReplaceInvalidUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t size = WellFormedSize(text, i);
    if (size == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(text.substr(i, size));
      i += size;
    }
  }
  return out;
}

std::size_t CharacterSize(std::string_view text, std::size_t position) {
  if (position >= text.size()) return 0;
  const std::size_t size = WellFormedSize(text, position);
  return size == 0 ? 1 : size;
}

std::size_t CharacterCount(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); i += CharacterSize(text, i)) ++count;
  return count;
}

std::string_view Mid(std::string_view text, std::size_t start, std::size_t length) {
  const std::size_t first = OffsetOfCharacter(text, start == 0 ? 0 : start - 1);
  const std::string_view rest = text.substr(first);
  return rest.substr(0, OffsetOfCharacter(rest, length));
}

std::string_view Left(std::string_view text, std::size_t length) { return Mid(text, 1, length); }

std::vector<std::string> CharacterChunks(std::string_view text, std::size_t length) {
  std::vector<std::string> chunks;
  if (length == 0) length = 1;
  while (!text.empty()) {
    const std::string_view chunk = Left(text, length);
    chunks.emplace_back(chunk);
    text.remove_prefix(chunk.size());
  }
  return chunks;
}

}  // namespace tqs
