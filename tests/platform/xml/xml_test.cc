#include "platform/xml/xml.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/error.h"
#include "common/text.h"
#include "platform/xml/well_formedness.h"
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

std::string Nested(int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += "<e>";
  for (int i = 0; i < depth; ++i) text += "</e>";
  return text;
}

TEST(LoadXmlTest, RefusesWhatXml10DoesNotAllowWithoutPrintingAnything) {
  using namespace std::string_literals;
  const struct {
    const char* what;
    std::string text;
  } malformed[] = {
      {"duplicate attribute", "<a x='1' x='2'/>"},
      {"undefined entity", "<a>&nbsp;</a>"},
      {"lone ampersand", "<a>fish & chips</a>"},
      {"less-than in attribute", "<a x='1<2'/>"},
      {"unquoted attribute", "<a x=1/>"},
      {"text after the root", "<a/>tail"},
      {"element after the root", "<a/><b/>"},
      {"reference to U+0001", "<a>&#1;</a>"},
      {"reference to a surrogate", "<a>&#xD800;</a>"},
      {"reference to U+FFFE", "<a x='&#xFFFE;'/>"},
      {"raw U+0001", "<a>\x01</a>"},
      {"raw U+0001 in an attribute", "<a x='\x01'/>"},
      {"raw NUL", "<a>\0</a>"s},
      {"truncated UTF-8 sequence", "<a>\xC3(</a>"},
      {"byte never in UTF-8", "<a>\xFF</a>"},
      {"overlong UTF-8", "<a>\xC0\xAF</a>"},
      {"encoded surrogate", "<a>\xED\xA0\x80</a>"},
      {"declaration not first", " <?xml version='1.0'?><a/>"},
      {"DOCTYPE", "<!DOCTYPE a><a/>"},
      {"DOCTYPE declaring an entity", "<!DOCTYPE a [<!ENTITY e 'x'>]><a>&e;</a>"},
      {"external DOCTYPE", "<!DOCTYPE a SYSTEM 'http://127.0.0.1:9/a.dtd'><a/>"},
      {"nested too deep", Nested(kMaxNestingDepth + 1)},
  };
  testing::internal::CaptureStderr();
  pugi::xml_document document;
  for (const auto& [what, text] : malformed) {
    SCOPED_TRACE(what);
    ASSERT_TRUE(LoadXml(document, "<earlier/>"));
    std::string error;
    EXPECT_FALSE(LoadXml(document, text, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(document.first_child());
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

  const struct {
    const char* what;
    std::string text;
    std::string root_text;
  } well_formed[] = {
      {"CDATA", "<a><![CDATA[<x> & ]]]]></a>", "<x> & ]]"},
      {"character references", "<a>&#233;&#x41;&#x10FFFF;&amp;&lt;&gt;&quot;&apos;</a>",
       "\xC3\xA9\x41\xF4\x8F\xBF\xBF&<>\"'"},
      {"comments and processing instructions",
       "<?xml version='1.0'?><!--c--><?p d?><a><!--x-->t<?q r?></a><!--after-->\n", "t"},
      {"encoding declaration", "<?xml version='1.0' encoding='ISO-8859-1'?><a>\xC3\xA9</a>",
       "\xC3\xA9"},
      {"UTF-16 declared", "<?xml version='1.0' encoding='UTF-16'?><a>x</a>", "x"},
      {"unknown encoding declared", "<?xml version='1.0' encoding='no-such'?><a>x</a>", "x"},
      {"byte order mark", "\xEF\xBB\xBF<a>x</a>", "x"},
      {"undeclared namespace prefix", "<p:a xmlns:q='urn:q'>x</p:a>", "x"},
      {"nested as deep as allowed", Nested(kMaxNestingDepth), ""},
  };
  for (const auto& [what, text, root_text] : well_formed) {
    SCOPED_TRACE(what);
    std::string error;
    ASSERT_TRUE(LoadXml(document, text, &error)) << error;
    EXPECT_EQ(Text(document.document_element()), root_text);
  }
}

TEST(LoadXmlTest, ParallelLoadsKeepTheirOwnOutcomeAndMessage) {
  // Each thread refuses its own fault; the messages must not cross between threads.
  const std::vector<std::pair<std::string, std::string>> cases = {{"<a>&nbsp;</a>", "nbsp"},
                                                                  {"<a x='1' x='2'/>", "x"},
                                                                  {"<a/>tail", "Extra"},
                                                                  {"<!DOCTYPE a><a/>", "DOCTYPE"}};
  std::vector<std::string> failures(cases.size());
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < cases.size(); ++t) {
    threads.emplace_back([&, t] {
      pugi::xml_document document;
      for (int round = 0; round < 500 && failures[t].empty(); ++round) {
        std::string error;
        if (LoadXml(document, cases[t].first, &error) ||
            error.find(cases[t].second) == std::string::npos) {
          failures[t] = cases[t].first + ": " + error;
        }
        if (!LoadXml(document, "<ok>" + std::to_string(round) + "</ok>", &error)) {
          failures[t] = "well-formed text refused: " + error;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (const std::string& failure : failures) EXPECT_EQ(failure, "");
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
  EXPECT_FALSE(LoadXmlFile(document, temp.WriteFile("entity.xml", "<r>&nbsp;</r>"), &error));
  EXPECT_FALSE(LoadXmlFile(document, temp.WriteFile("doctype.xml", "<!DOCTYPE r><r/>")));

  // File content is bytes: the declaration or the byte order mark names their encoding.
  ASSERT_TRUE(LoadXmlFile(
      document,
      temp.WriteFile("latin1.xml", "<?xml version='1.0' encoding='ISO-8859-1'?><r>\xE9</r>"),
      &error))
      << error;
  EXPECT_EQ(Text(document.document_element()), "\xC3\xA9");
  const std::string utf16{"\xFF\xFE<\0r\0>\0\xE9\0<\0/\0r\0>\0", 18};
  ASSERT_TRUE(LoadXmlFile(document, temp.WriteFile("utf16.xml", utf16), &error)) << error;
  EXPECT_EQ(Text(document.document_element()), "\xC3\xA9");
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

TEST(TextTest, WalksAnyDepthWithoutRecursion) {
  // Deeper than a parsed document can be, and deeper than a recursive walk survives.
  pugi::xml_document document;
  pugi::xml_node node = document.append_child("e");
  std::string expected;
  for (int level = 0; level < 1'000'000; ++level) {
    if (level % 100'000 == 0) {
      node.append_child(pugi::node_pcdata).set_value("t");
      expected += "t";
    }
    node = node.append_child("e");
  }
  node.append_child(pugi::node_cdata).set_value("end");
  node.parent().append_child(pugi::node_pcdata).set_value("after");
  document.append_child("next").append_child(pugi::node_pcdata).set_value("not this");
  EXPECT_EQ(Text(document.first_child()), expected + "endafter");
}

TEST(FirstChildElementTest, MatchesDirectChildrenByExactName) {
  pugi::xml_document document;
  ASSERT_TRUE(
      LoadXml(document, "<r><x><y n='deep'/></x><Y n='case'/><y n='first'/><y n='second'/></r>"));
  pugi::xml_node r = document.document_element();
  EXPECT_STREQ(FirstChildElement(r, "y").attribute("n").value(), "first");
  EXPECT_STREQ(FirstChildElement(r, "Y").attribute("n").value(), "case");
  EXPECT_FALSE(FirstChildElement(r, "z"));
  EXPECT_FALSE(FirstChildElement(pugi::xml_node(), "y"));
  // Only elements: a processing instruction of the same name before them is passed over.
  r.prepend_child(pugi::node_pi).set_name("y");
  EXPECT_STREQ(FirstChildElement(r, "y").attribute("n").value(), "first");
  // Exactly the name: not a prefix of it, not one with a NUL inside, also when long.
  EXPECT_FALSE(FirstChildElement(r, std::string_view("y\0", 2)));
  EXPECT_FALSE(FirstChildElement(r, std::string_view("yy").substr(0, 2)));
  const std::string long_name(100, 'l');
  r.append_child(long_name.c_str()).append_attribute("n") = "long";
  EXPECT_STREQ(FirstChildElement(r, long_name).attribute("n").value(), "long");
  EXPECT_FALSE(FirstChildElement(r, long_name.substr(0, 99)));
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
    const std::optional<std::string> fault =
        ::tqs::xml::CheckWellFormed(markup, ::tqs::xml::TextEncoding::kUtf8);
    EXPECT_FALSE(fault) << *fault << markup;
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
