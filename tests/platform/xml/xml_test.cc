#include "platform/xml/xml.h"

#include <gtest/gtest.h>

#include <string>

#include "common/error.h"
#include "common/text.h"
#include "tests/support/strict_xml.h"
#include "tests/support/temp_dir.h"

namespace tqs::xml {
namespace {

TEST(LoadXmlTest, ReportsOutcomeWithoutThrowing) {
  pugi::xml_document document;
  std::string error;
  EXPECT_TRUE(LoadXml(document, "<a x='1'><b/></a>", &error));
  EXPECT_STREQ(document.document_element().name(), "a");

  const char* invalid[] = {"", "   ", "<a><b></a>", "<a/><b/>", "text", "<a/>trailing<"};
  for (const char* text : invalid) {
    SCOPED_TRACE(text);
    error.clear();
    EXPECT_FALSE(LoadXml(document, text, &error));
    EXPECT_FALSE(error.empty());
    // A failed load leaves no content behind from this or an earlier load.
    EXPECT_FALSE(document.first_child());
  }
  EXPECT_FALSE(LoadXml(document, "<a>"));

  // Text is taken as it is, whatever encoding its declaration names.
  ASSERT_TRUE(LoadXml(document, "<?xml version='1.0' encoding='ISO-8859-1'?><a>\xc3\xa9</a>"));
  EXPECT_EQ(Text(document.document_element()), "\xc3\xa9");
}

TEST(LoadXmlTest, LoadsFiles) {
  tqs::test_support::ScopedTempDir temp;
  pugi::xml_document document;
  EXPECT_TRUE(LoadXmlFile(document, temp.WriteFile("d.xml", "<?xml version='1.0'?>\n<r><x/></r>")));
  EXPECT_TRUE(FirstChildElement(document.document_element(), "x"));
  std::string error;
  EXPECT_FALSE(LoadXmlFile(document, temp.path() / "missing.xml", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(LoadXmlFile(document, temp.WriteFile("bad.xml", "<r>")));
}

TEST(TextTest, ConcatenatesAllDescendantText) {
  pugi::xml_document document;
  ASSERT_TRUE(LoadXml(document, "<a>x<b>y<c>z</c></b><!--no--><![CDATA[<w>]]><d/>&amp;</a>"));
  const pugi::xml_node a = document.document_element();
  EXPECT_EQ(Text(a), "xyz<w>&");
  EXPECT_EQ(Text(a.child("b")), "yz");
  EXPECT_EQ(Text(a.child("d")), "");
  EXPECT_EQ(Text(pugi::xml_node()), "");
}

TEST(FirstChildElementTest, MatchesDirectChildrenByExactName) {
  pugi::xml_document document;
  ASSERT_TRUE(
      LoadXml(document, "<r><x><y n='deep'/></x><Y n='case'/><y n='first'/><y n='second'/></r>"));
  const pugi::xml_node r = document.document_element();
  EXPECT_STREQ(FirstChildElement(r, "y").attribute("n").value(), "first");
  EXPECT_STREQ(FirstChildElement(r, "Y").attribute("n").value(), "case");
  EXPECT_FALSE(FirstChildElement(r, "z"));
  EXPECT_FALSE(FirstChildElement(pugi::xml_node(), "y"));
}

TEST(SerializeTest, WritesMarkupWithoutDeclarationOrIndentation) {
  pugi::xml_document document;
  ASSERT_TRUE(LoadXml(document,
                      "<?xml version='1.0'?>\n<r>\n  <recordids a='x&amp;&lt;'>\n"
                      "    <order>5</order>\n    <e/>\n  </recordids>\n</r>"));
  const pugi::xml_node ids = document.document_element().child("recordids");
  EXPECT_EQ(Serialize(ids), "<recordids a=\"x&amp;&lt;\"><order>5</order><e/></recordids>");
  EXPECT_EQ(Serialize(pugi::xml_node()), "");

  EXPECT_EQ(SerializeDocument(document),
            "<r><recordids a=\"x&amp;&lt;\"><order>5</order><e/></recordids></r>");
  const std::string with_declaration = SerializeDocument(document, {.declaration = true});
  EXPECT_EQ(with_declaration.rfind("<?xml version=\"1.0\"?><r>", 0), 0u) << with_declaration;
  const std::string indented = SerializeDocument(document, {.indent = true});
  EXPECT_NE(indented.find("\n  <recordids"), std::string::npos) << indented;
}

// Values set through the DOM may hold anything; what is serialised is still read by a strict
// parser, with U+FFFD in place of what XML cannot carry.
TEST(SerializeTest, NeverWritesCharactersXmlForbids) {
  const std::string r(kReplacementCharacter);
  pugi::xml_document document;
  pugi::xml_node root = document.append_child("feedback");
  root.append_attribute("description") =
      "a\x01"
      "b\tc\nd&#1;";
  root.append_attribute("id") = "\xC3";
  root.append_child("e").text().set("x\x0By\x1Fz \xED\xA0\x80 \xE2\x82\xAC");

  const std::string expected = "<feedback description=\"a" + r + "b&#09;c&#10;d&amp;#1;\" id=\"" +
                               r + "\"><e>x" + r + "y" + r + "z " + r + r + r +
                               " \xE2\x82\xAC</e></feedback>";
  EXPECT_EQ(Serialize(root), expected);
  EXPECT_EQ(SerializeDocument(document), expected);
  for (const std::string& markup :
       {Serialize(root), SerializeDocument(document, {.declaration = true, .indent = true})}) {
    std::string parser_error;
    EXPECT_TRUE(test_support::IsWellFormedXml(markup, &parser_error)) << parser_error << markup;
  }
}

TEST(SelectTest, SelectsNodesAndTranslatesErrors) {
  pugi::xml_document document;
  ASSERT_TRUE(LoadXml(document, "<r><a><b i='1'/><b i='2'/></a><a><b i='3'/></a><b i='4'/></r>"));
  const pugi::xpath_node_set nodes = SelectNodes(document, "//a/b");
  ASSERT_EQ(nodes.size(), 3u);
  EXPECT_STREQ(nodes[2].node().attribute("i").value(), "3");
  EXPECT_STREQ(SelectSingleNode(document, "//a/b").attribute("i").value(), "1");
  EXPECT_FALSE(SelectSingleNode(document, "//nothing"));

  try {
    SelectNodes(document, "//a[");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_NE(e.description().find("//a["), std::string::npos) << e.description();
  }
  EXPECT_THROW(SelectSingleNode(document, "///"), Error);
}

}  // namespace
}  // namespace tqs::xml
