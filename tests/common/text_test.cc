#include "common/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/utf8.h"

namespace tqs {
namespace {

TEST(EscapeXmlTextTest, ReplacesTheFiveCharactersAmpersandFirst) {
  // An entity already in the text is escaped again: the ampersand goes first.
  EXPECT_EQ(EscapeXmlText("&lt;"), "&amp;lt;");
  EXPECT_EQ(EscapeXmlText("&apos;&quot;"), "&amp;apos;&amp;quot;");
  EXPECT_EQ(EscapeXmlText("a&b'c\"d<e>f"), "a&amp;b&apos;c&quot;d&lt;e&gt;f");
  EXPECT_EQ(EscapeXmlText("<<>>"), "&lt;&lt;&gt;&gt;");
  EXPECT_EQ(EscapeXmlText("plain text 123"), "plain text 123");
  EXPECT_EQ(EscapeXmlText(""), "");
}

// What each kind of character becomes, and how many U+FFFD the escape reports.
TEST(EscapeXmlTextTest, WritesEveryCharacterXmlCannotCarryAsTheReplacementCharacter) {
  const std::string r(kReplacementCharacter);
  struct Case {
    std::string_view name;
    std::string text;
    std::string escaped;
    std::size_t replaced;
  };
  std::vector<Case> cases = {
      {"tab, line feed, carriage return kept", "a\tb\nc\rd", "a\tb\nc\rd", 0},
      {"DEL and C1 controls are XML characters", "\x7F\xC2\x80\xC2\x9F", "\x7F\xC2\x80\xC2\x9F", 0},
      {"two-byte", "Gr\xC3\xBC\xC3\x9F", "Gr\xC3\xBC\xC3\x9F", 0},
      {"three-byte and U+FFFD itself", "\xE2\x82\xAC\xEF\xBF\xBD", "\xE2\x82\xAC\xEF\xBF\xBD", 0},
      {"last before the surrogates, first after", "\xED\x9F\xBF\xEE\x80\x80",
       "\xED\x9F\xBF\xEE\x80\x80", 0},
      {"U+FFFD neighbours U+FFFC", "\xEF\xBF\xBC", "\xEF\xBF\xBC", 0},
      {"four-byte up to U+10FFFF", "\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF",
       "\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF", 0},
      {"markup next to a replacement", "<\x01&", "&lt;" + r + "&amp;", 1},
      {"U+FFFE",
       "a\xEF\xBF\xBE"
       "b",
       "a" + r + "b", 1},
      {"U+FFFF", "\xEF\xBF\xBF", r, 1},
      {"encoded surrogate U+D800", "\xED\xA0\x80", r + r + r, 3},
      {"encoded surrogate U+DFFF", "x\xED\xBF\xBFy", "x" + r + r + r + "y", 3},
      {"overlong slash", "\xC0\xAF", r + r, 2},
      {"overlong three-byte", "\xE0\x80\xAF", r + r + r, 3},
      {"overlong four-byte", "\xF0\x80\x80\xAF", r + r + r + r, 4},
      {"above U+10FFFF", "\xF4\x90\x80\x80", r + r + r + r, 4},
      {"lead bytes that start nothing", "\xF5\xFF", r + r, 2},
      {"lone continuation byte",
       "a\x80"
       "b",
       "a" + r + "b", 1},
      {"two-byte cut at the end", "ab\xC3", "ab" + r, 1},
      {"three-byte cut at the end", "\xE2\x82", r, 1},
      {"four-byte cut at the end", "\xF0\x9F\x98", r, 1},
      {"cut by an ASCII character", "\xE2\x82<", r + "&lt;", 1},
  };
  for (int control = 0; control < 0x20; ++control) {
    if (control == '\t' || control == '\n' || control == '\r') continue;
    cases.push_back({"C0 control", std::string(1, static_cast<char>(control)) + "x", r + "x", 1});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.text.size()) + " bytes");
    EXPECT_EQ(EscapeXmlText(c.text), c.escaped);
    std::string appended = "head";
    EXPECT_EQ(AppendEscapedXml(appended, c.text), c.replaced);
    EXPECT_EQ(appended, "head" + c.escaped);
  }
}

TEST(EscapeXmlTextTest, CharactersAloneKeepMarkupAndReplaceWhatXmlCannotCarry) {
  std::string out;
  EXPECT_EQ(AppendXmlCharacters(out, "<a b='&#10;'>\x0B\xC3</a>"), 2U);
  EXPECT_EQ(out, "<a b='&#10;'>" + std::string(kReplacementCharacter) +
                     std::string(kReplacementCharacter) + "</a>");
}

TEST(QuoteSqlTest, MakesNationalLiteralWithDoubledApostrophes) {
  EXPECT_EQ(QuoteSql("O'Neil"), "N'O''Neil'");
  EXPECT_EQ(QuoteSql(""), "N''");
  EXPECT_EQ(QuoteSql("''"), "N''''''");
  EXPECT_EQ(QuoteSql("x' OR '1'='1"), "N'x'' OR ''1''=''1'");
}

TEST(ExcerptTest, QuotesShortTextWholeAndCutsLongTextAtACharacterWithItsSize) {
  EXPECT_EQ(Excerpt(""), "");
  EXPECT_EQ(Excerpt(std::string(kExcerptBytes, 'x')), std::string(kExcerptBytes, 'x'));
  EXPECT_EQ(Excerpt(std::string(10 << 20, 'x')),
            std::string(kExcerptBytes, 'x') + "... (10485760 bytes)");
  EXPECT_EQ(Excerpt("abcdef", 4), "abcd... (6 bytes)");

  // "\xE2\x82\xAC" (the euro sign) straddling the limit is left out whole, whatever its
  // offset; a byte that begins no character counts as one.
  for (std::size_t lead = 0; lead < 3; ++lead) {
    const std::string text = std::string(lead, 'a') + "\xE2\x82\xAC\xE2\x82\xAC";
    const std::string cut = Excerpt(text, 4);
    const std::string kept = cut.substr(0, cut.find("..."));
    EXPECT_EQ(kept, text.substr(0, lead + (lead + 3 <= 4 ? 3 : 0))) << lead;
    EXPECT_TRUE(IsValidUtf8(cut)) << lead;
  }
  EXPECT_EQ(Excerpt("\xE2\x82xyz", 2), "\xE2\x82... (5 bytes)");
}

TEST(TrimTest, RemovesSpacesOnly) {
  EXPECT_EQ(Trim("  Auto  "), "Auto");
  EXPECT_EQ(Trim("a b"), "a b");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim("\tAuto\r\n"), "\tAuto\r\n");
}

}  // namespace
}  // namespace tqs
