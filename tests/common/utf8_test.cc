#include "common/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tqs {
namespace {

// "é" (2 bytes), "€" (3 bytes), "😀" (4 bytes).
constexpr std::string_view kMixed = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";

TEST(Utf8Test, TellsWellFormedTextFromBytesThatAreNone) {
  struct Case {
    std::string text;
    bool valid;
  };
  const Case cases[] = {
      {"", true},
      {std::string(kMixed), true},
      {"\xEF\xBF\xBD", true},
      {"\xF4\x8F\xBF\xBF", true},      // U+10FFFF
      {"\xC3", false},                 // a character cut in half
      {"\xA9z", false},                // its second half
      {"\xC0\xAF", false},             // overlong "/"
      {"\xE0\x80\xAF", false},         // overlong, three bytes
      {"\xED\xA0\x80", false},         // a surrogate
      {"\xF4\x90\x80\x80", false},     // above U+10FFFF
      {"\xE2\x82", false},             // truncated at the end
      {"\xE2\x28\xAC", false},         // second byte no continuation
      {std::string("a\0b", 3), true},  // NUL is a character (the JobSheet refuses it)
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.text));
    EXPECT_EQ(IsValidUtf8(c.text), c.valid);
    // The same inside ASCII text, at every place of an eight-byte block and across two.
    for (std::size_t before = 0; before <= 17; ++before) {
      for (std::size_t after : {0, 3, 9}) {
        const std::string padded = std::string(before, 'x') + c.text + std::string(after, 'y');
        EXPECT_EQ(IsValidUtf8(padded), c.valid) << before << " before, " << after << " after";
      }
    }
  }
}

TEST(Utf8Test, CutsAndCountsCharactersNotBytes) {
  EXPECT_EQ(CharacterCount(kMixed), 5u);
  EXPECT_EQ(Mid(kMixed, 2, 2), "\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(Mid(kMixed, 4, 10), "\xF0\x9F\x98\x80z");
  EXPECT_EQ(Mid(kMixed, 6, 1), "");
  EXPECT_EQ(Mid(kMixed, 0, 1), "a");
  EXPECT_EQ(Left(kMixed, 3), "a\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(Left(kMixed, 0), "");
  // Bytes that begin no character count one each and are never joined to their neighbours.
  EXPECT_EQ(CharacterCount("\xC3z\xA9"), 3u);
  EXPECT_EQ(Mid("\xC3z\xA9", 2, 1), "z");

  EXPECT_EQ(CharacterChunks("", 2), std::vector<std::string>{});
  EXPECT_EQ(CharacterChunks(kMixed, 2),
            (std::vector<std::string>{"a\xC3\xA9", "\xE2\x82\xAC\xF0\x9F\x98\x80", "z"}));
  for (std::size_t length = 1; length <= 6; ++length) {
    for (const std::string& chunk : CharacterChunks(kMixed, length)) {
      EXPECT_TRUE(IsValidUtf8(chunk)) << length;
    }
  }
}

TEST(Utf8Test, ReplacesEachByteThatBeginsNoCharacter) {
  EXPECT_EQ(ReplaceInvalidUtf8(kMixed), kMixed);
  EXPECT_EQ(ReplaceInvalidUtf8("Fa\xC3"), "Fa\xEF\xBF\xBD");
  EXPECT_EQ(ReplaceInvalidUtf8("\xE2\x82z\xFF"), "\xEF\xBF\xBD\xEF\xBF\xBDz\xEF\xBF\xBD");
}

}  // namespace
}  // namespace tqs
