#include "common/text.h"

#include <gtest/gtest.h>

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

TEST(QuoteSqlTest, MakesNationalLiteralWithDoubledApostrophes) {
  EXPECT_EQ(QuoteSql("O'Neil"), "N'O''Neil'");
  EXPECT_EQ(QuoteSql(""), "N''");
  EXPECT_EQ(QuoteSql("''"), "N''''''");
  EXPECT_EQ(QuoteSql("x' OR '1'='1"), "N'x'' OR ''1''=''1'");
}

TEST(TrimTest, RemovesSpacesOnly) {
  EXPECT_EQ(Trim("  Auto  "), "Auto");
  EXPECT_EQ(Trim("a b"), "a b");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim("\tAuto\r\n"), "\tAuto\r\n");
}

}  // namespace
}  // namespace tqs
