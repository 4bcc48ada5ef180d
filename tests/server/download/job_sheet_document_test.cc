#include "server/download/job_sheet_document.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "common/conversions.h"
#include "common/error.h"
#include "common/text.h"
#include "server/download/erp_values_internal.h"
#include "tests/server/download/erp_script.h"

namespace tqs::server::download {
namespace {

using automation::ObjectPtr;
using automation::Variant;
using test_support::ErpScript;
using ::testing::ElementsAre;
using Answers = std::vector<std::pair<std::string, Variant>>;

// `text` with the first `from` replaced by `to`; fails the test when `from` is not there.
std::string Replace(std::string_view text, std::string_view from, std::string_view to) {
  std::string result(text);
  const auto at = result.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) result.replace(at, from.size(), to);
  return result;
}

Answers LineHead(const std::string& id, const std::string& prefix) {
  return {{"getCostLineAttribute", Variant(id)},
          {"getOriginAttribute", Variant(prefix + "o")},
          {"getAllowedActionsAttribute", Variant(prefix + "a")},
          {"getActionsPerformedAttribute", Variant(prefix + "p")}};
}

// A service order with details, two activities (the first with details and one line of each
// kind, the second without details and with an empty materials list) and the expected text.
class FullServiceOrder {
 public:
  explicit FullServiceOrder(ErpScript& script) {
    script.AnswerAllDetails();
    const ObjectPtr material = script.Object("material", LineHead("M&'1", "m"));
    const ObjectPtr labor = script.Object("labor", LineHead("L1", "l"));
    const ObjectPtr other = script.Object("other", LineHead("X1", "x"));
    const ObjectPtr inspection =
        script.Object("inspection", {{"getMeasurementTypeAttribute", Variant("C&'")},
                                     {"getInspectionNoAttribute", Variant("7&'")},
                                     {"getOriginAttribute", Variant("io")},
                                     {"getAllowedActionsAttribute", Variant("ia")},
                                     {"getActionsPerformedAttribute", Variant("ip")}});
    const ObjectPtr activity1 = script.Object(
        "act1",
        {{"getActivityAttribute", Variant("10&'")},
         {"getOriginAttribute", Variant("a&'")},
         {"getTypeAttribute", Variant("at")},
         {"getOwnerAttribute", Variant("aw")},
         {"getAllowedActionsAttribute", Variant("aa")},
         {"getActionsPerformedAttribute", Variant("ap")},
         {"getActivityDetails", Variant(script.Object("act1details"))},
         {"hasMaterialRequirement", Variant(true)},
         {"getMaterialRequirement", Variant(script.List("materials1", "sizeMaterialData",
                                                        "getMaterialDataAt", {Variant(material)}))},
         {"hasLaborRequirement", Variant(true)},
         {"getLaborRequirement",
          Variant(script.List("labors1", "sizeLaborData", "getLaborDataAt", {Variant(labor)}))},
         {"hasOtherRequirement", Variant(true)},
         {"getOtherRequirement",
          Variant(script.List("others1", "sizeOtherData", "getOtherDataAt", {Variant(other)}))},
         {"hasObjectInspectionsData", Variant(true)},
         {"getObjectInspectionsData",
          Variant(script.List("inspections1", "sizeInspectionData", "getInspectionDataAt",
                              {Variant(inspection)}))}});
    // No details, an empty materials list, labors announced by a null answer (counts as
    // false), others absent, inspections never answered (Empty counts as false).
    const ObjectPtr activity2 = script.Object(
        "act2", {{"getActivityAttribute", Variant("20")},
                 {"hasMaterialRequirement", Variant(true)},
                 {"getMaterialRequirement",
                  Variant(script.List("materials2", "sizeMaterialData", "getMaterialDataAt", {}))},
                 {"hasLaborRequirement", Variant::Null()},
                 {"hasOtherRequirement", Variant(false)}});
    order = script.Object(
        "so", {{"getServiceOrderAttribute", Variant("SO&'1")},
               {"getOriginAttribute", Variant("o&'")},
               {"getTypeAttribute", Variant("t")},
               {"getOwnerAttribute", Variant("w")},
               {"getAllowedActionsAttribute", Variant("RDP,MD")},
               {"getActionsPerformedAttribute", Variant("")},
               {"getInvoiceidAttribute", Variant("I<1>")},
               {"getOrderDetails", Variant(script.Object("details"))},
               {"hasActivitiesData", Variant(true)},
               {"getActivitiesData",
                Variant(script.List("activities", "sizeActivityData", "getActivityDataAt",
                                    {Variant(activity1), Variant(activity2)}))}});
  }

  ObjectPtr order;

  static std::string ExpectedActivity1() {
    return std::string(
               "<activity id='10&amp;&apos;' origin='a&amp;&apos;' type='at' owner='aw' "
               "allowedactions='aa' actionsperformed='ap' ><details>") +
           std::string(test_support::kActivityDetailsText) +
           "</details><materials><material lineid='M&amp;&apos;1' origin='mo' allowedactions='ma' "
           "actionsperformed='mp' >" +
           std::string(test_support::kMaterialText) +
           "</material></materials><labors><labor lineid='L1' origin='lo' allowedactions='la' "
           "actionsperformed='lp' >" +
           std::string(test_support::kLaborText) +
           "</labor></labors><others><other lineid='X1' origin='xo' allowedactions='xa' "
           "actionsperformed='xp' >" +
           std::string(test_support::kOtherText) +
           "</other></others><inspections><inspection cmea='C&amp;&apos;' mseq='7&amp;&apos;' "
           "origin='io' allowedactions='ia' actionsperformed='ip' >" +
           std::string(test_support::kInspectionText) + "</inspection></inspections></activity>";
  }

  static std::string ExpectedDocument() {
    return std::string(
               "<jobsheet><serviceorder id='SO&amp;&apos;1' origin='o&amp;&apos;' type='t' "
               "owner='w' allowedactions='RDP,MD' actionsperformed='' "
               "invoiceid = 'I&lt;1&gt;' ><details>") +
           std::string(test_support::kOrderDetailsText) + "</details><activities>" +
           ExpectedActivity1() +
           "<activity id='20' origin='' type='' owner='' allowedactions='' "
           "actionsperformed='' ><materials></materials></activity>"
           "</activities></serviceorder></jobsheet>";
  }
};

TEST(JobSheetDocumentTest, WritesTheWholeServiceOrderInDocumentOrder) {
  ErpScript script;
  const FullServiceOrder fixture(script);

  std::string output = "stale";
  ASSERT_TRUE(BuildServiceOrderXml(Variant(fixture.order), output)) << output;
  EXPECT_EQ(output, FullServiceOrder::ExpectedDocument());

  // The head is read first, then the details, then the activities through their list.
  auto& erp = script.erp();
  EXPECT_THAT(erp.Journal("call so#1."),
              ElementsAre("call so#1.getServiceOrderAttribute()", "call so#1.getOriginAttribute()",
                          "call so#1.getTypeAttribute()", "call so#1.getOwnerAttribute()",
                          "call so#1.getAllowedActionsAttribute()",
                          "call so#1.getActionsPerformedAttribute()",
                          "call so#1.getInvoiceidAttribute()", "call so#1.getOrderDetails()",
                          "call so#1.hasActivitiesData()", "call so#1.getActivitiesData()"));
  EXPECT_THAT(erp.Journal("call activities#1."),
              ElementsAre("call activities#1.sizeActivityData()",
                          "call activities#1.getActivityDataAt(Int32(0))",
                          "call activities#1.getActivityDataAt(Int32(1))"));
  const std::vector<std::string> details_calls = erp.Journal("call details#1.");
  ASSERT_GE(details_calls.size(), 4u);
  EXPECT_THAT(
      std::vector<std::string>(details_calls.begin(), details_calls.begin() + 4),
      ElementsAre("call details#1.hasOrderStatus()", "call details#1.getOrderStatus()",
                  "call details#1.hasConfiguration()", "call details#1.getConfiguration()"));
  EXPECT_THAT(
      erp.Journal("call act2#1."),
      ElementsAre("call act2#1.getActivityAttribute()", "call act2#1.getOriginAttribute()",
                  "call act2#1.getTypeAttribute()", "call act2#1.getOwnerAttribute()",
                  "call act2#1.getAllowedActionsAttribute()",
                  "call act2#1.getActionsPerformedAttribute()", "call act2#1.getActivityDetails()",
                  "call act2#1.hasMaterialRequirement()", "call act2#1.getMaterialRequirement()",
                  "call act2#1.hasLaborRequirement()", "call act2#1.hasOtherRequirement()",
                  "call act2#1.hasObjectInspectionsData()"));

  // The activity writer alone gives the same element.
  ASSERT_TRUE(BuildActivityXml(Variant(erp.Instance("act1#1")), output)) << output;
  EXPECT_EQ(output, FullServiceOrder::ExpectedActivity1());
}

// One line element under scripted faults: the setup changes the answers of the material line
// "line" (head: lineid M1, origin mo, allowedactions ma, actionsperformed mp).
struct LineCase {
  std::string name;
  std::function<void(ErpScript&)> setup;
  bool succeeds;
  std::string expected;  // the whole output
};

TEST(JobSheetDocumentTest, LineElementsFollowPresenceAndValueRules) {
  const std::string head =
      "<material lineid='M1' origin='mo' allowedactions='ma' actionsperformed='mp' >";
  const std::string item = "<item>getItem&amp;&apos;</item>";
  const std::string lines(test_support::kMaterialText);
  const std::vector<LineCase> cases = {
      {"every element present", [](ErpScript&) {}, true, head + lines + "</material>"},
      {"presence false leaves the element out",
       [](ErpScript& s) { s.Answer("line", "hasItem", Variant(false)); }, true,
       head + Replace(lines, item, "") + "</material>"},
      {"a null presence answer counts as false",
       [](ErpScript& s) { s.Answer("line", "hasItem", Variant::Null()); }, true,
       head + Replace(lines, item, "") + "</material>"},
      {"present with an empty text writes an empty pair",
       [](ErpScript& s) { s.Answer("line", "getItem", Variant("")); }, true,
       head + Replace(lines, item, "<item></item>") + "</material>"},
      {"a null as-delivered value writes an empty pair",
       [](ErpScript& s) { s.Answer("line", "getDeliveryType", Variant::Null()); }, true,
       head + Replace(lines, "<dltp>getDeliveryType&amp;&apos;</dltp>", "<dltp></dltp>") +
           "</material>"},
      {"a null escaped value fails naming the getter",
       [](ErpScript& s) { s.Answer("line", "getItem", Variant::Null()); }, false,
       "Invalid use of Null (getItem answered Null)"},
      {"an error of a getter is the output",
       [](ErpScript& s) {
         s.Raise("line", "getServiceKit",
                 Error(error_number::kGenericFailure, "service kit SK-9 is locked"));
       },
       false, "service kit SK-9 is locked"},
      {"an error of a presence test is the output",
       [](ErpScript& s) {
         s.Raise("line", "hasTaxAmount", Error(error_number::kGenericFailure, "tax offline"));
       },
       false, "tax offline"},
      {"a null head attribute is written empty",
       [](ErpScript& s) { s.Answer("line", "getOriginAttribute", Variant::Null()); }, true,
       Replace(head, "origin='mo'", "origin=''") + lines + "</material>"},
  };
  for (const LineCase& test : cases) {
    SCOPED_TRACE(test.name);
    ErpScript script;
    script.AnswerAllDetails();
    const ObjectPtr line = script.Object("line", LineHead("M1", "m"));
    test.setup(script);
    std::string output = "stale";
    EXPECT_EQ(BuildMaterialXml(Variant(line), output), test.succeeds);
    EXPECT_EQ(output, test.expected);
  }
}

TEST(JobSheetDocumentTest, ServiceOrderEdgesAndInnermostErrors) {
  struct OrderCase {
    std::string name;
    std::function<void(ErpScript&)> setup;
    bool succeeds;
    std::string expected;
  };
  const std::string head =
      "<jobsheet><serviceorder id='SO&amp;&apos;1' origin='o&amp;&apos;' type='t' owner='w' "
      "allowedactions='RDP,MD' actionsperformed='' invoiceid = 'I&lt;1&gt;' >";
  const std::string full = FullServiceOrder::ExpectedDocument();
  const std::vector<OrderCase> cases = {
      {"no details object: no details element, activities still written",
       [](ErpScript& s) {
         s.Answer("so", "getOrderDetails", Variant(ObjectPtr()));
         s.Answer("so", "getActivitiesData",
                  Variant(s.List("none", "sizeActivityData", "getActivityDataAt", {})));
       },
       true, head + "<activities></activities></serviceorder></jobsheet>"},
      {"no activities data: no activities element",
       [](ErpScript& s) {
         s.Answer("so", "getOrderDetails", Variant());
         s.Answer("so", "hasActivitiesData", Variant(false));
       },
       true, head + "</serviceorder></jobsheet>"},
      {"an empty text list writes an empty pair",
       [](ErpScript& s) {
         s.Answer("details", "getOrderText",
                  Variant(s.List("notext", "sizeTextValue", "getTextValueAt", {})));
       },
       true, Replace(full, "<txta>getOrderText&amp;1&lt;2&gt;&apos;3</txta>", "<txta></txta>")},
      {"announced activities that are missing fail",
       [](ErpScript& s) { s.Answer("so", "getActivitiesData", Variant()); }, false,
       "Object variable or With block variable not set (getActivitiesData answered Empty)"},
      {"a null id fails: the id is escaped",
       [](ErpScript& s) { s.Answer("so", "getServiceOrderAttribute", Variant::Null()); }, false,
       "Invalid use of Null (getServiceOrderAttribute answered Null)"},
      {"a failing line of the second activity fails the order with its text",
       [](ErpScript& s) {
         const ObjectPtr labor = s.Object("badlabor", LineHead("L9", "b"));
         s.Raise("badlabor", "getHourlyLaborType",
                 Error(error_number::kGenericFailure, "labor type HLT-3 unknown"));
         s.Answer("act2", "hasLaborRequirement", Variant(true));
         s.Answer("act2", "getLaborRequirement",
                  Variant(s.List("labors2", "sizeLaborData", "getLaborDataAt", {Variant(labor)})));
       },
       false, "labor type HLT-3 unknown"},
      {"a failing text chunk fails the order",
       [](ErpScript& s) { s.Answer("text1chunk2", "GetText", Variant::Null()); }, false,
       "Invalid use of Null (GetText answered Null)"},
  };
  for (const OrderCase& test : cases) {
    SCOPED_TRACE(test.name);
    ErpScript script;
    const FullServiceOrder fixture(script);
    test.setup(script);
    std::string output = "stale";
    EXPECT_EQ(BuildServiceOrderXml(Variant(fixture.order), output), test.succeeds);
    EXPECT_EQ(output, test.expected);
  }
}

// Every kind of answer in an escaped element (item), an as-delivered element (dltp) and an
// escaped head attribute (cmea): text is escaped where the answer holds it, the other types
// are written in their text form, characters XML cannot carry become U+FFFD and are counted.
TEST(JobSheetDocumentTest, EveryKindOfValueIsWrittenInItsTextFormAndEscaped) {
  using namespace std::chrono;
  const DateTime date = local_days{year{2026} / 12 / 8} + hours{14} + minutes{30};
  const std::string decimal =
      std::string("2") + RegionalSettings::Current().decimal_separator + "5";
  const std::string fffd(kReplacementCharacter);
  const std::string long_text = std::string(100000, 'a') + "<&>" + std::string(50000, 'b');
  const std::string long_escaped =
      std::string(100000, 'a') + "&lt;&amp;&gt;" + std::string(50000, 'b');
  struct ValueCase {
    std::string name;
    Variant value;
    std::string expected;  // the element's text, in both kinds of element
    std::size_t replaced;  // per element
  };
  const std::vector<ValueCase> cases = {
      {"a whole number", Variant(std::int32_t{-42}), "-42", 0},
      {"a 16-bit number", Variant(std::int16_t{7}), "7", 0},
      {"a decimal number", Variant(2.5), decimal, 0},
      {"a Boolean", Variant(true), "True", 0},
      {"a date", Variant(date), FormatGeneralDate(date), 0},
      {"empty", Variant(), "", 0},
      {"empty text", Variant(""), "", 0},
      {"every markup character, an entity escaped again", Variant("a&b'c\"d<e>f &amp; \t\r\n"),
       "a&amp;b&apos;c&quot;d&lt;e&gt;f &amp;amp; \t\r\n", 0},
      {"UTF-8 text is kept", Variant("M\xC3\xBCller \xE2\x82\xAC \xF0\x9F\x94\xA7"),
       "M\xC3\xBCller \xE2\x82\xAC \xF0\x9F\x94\xA7", 0},
      {"control characters", Variant("a\x01!\x1F~"), "a" + fffd + "!" + fffd + "~", 2},
      {"bytes that are not UTF-8", Variant("ok\xC3 \xFF<\xED\xA0\x80"),
       "ok" + fffd + " " + fffd + "&lt;" + fffd + fffd + fffd, 5},
      {"a long text", Variant(long_text), long_escaped, 0},
  };
  for (const ValueCase& test : cases) {
    SCOPED_TRACE(test.name);
    ErpScript script;
    const ObjectPtr material = script.Object("line", {{"getCostLineAttribute", Variant("M1")},
                                                      {"hasItem", Variant(true)},
                                                      {"getItem", test.value},
                                                      {"hasDeliveryType", Variant(true)},
                                                      {"getDeliveryType", test.value}});
    const ObjectPtr inspection = script.Object(
        "inspection",
        {{"getMeasurementTypeAttribute", test.value}, {"getInspectionNoAttribute", test.value}});
    const internal::ReplacementTally replaced;
    std::string output = "a much longer stale text than some of the elements written over it";
    ASSERT_TRUE(BuildMaterialXml(Variant(material), output)) << output;
    EXPECT_EQ(output,
              "<material lineid='M1' origin='' allowedactions='' actionsperformed='' ><item>" +
                  test.expected + "</item><dltp>" + test.expected + "</dltp></material>");
    ASSERT_TRUE(BuildInspectionXml(Variant(inspection), output)) << output;
    EXPECT_EQ(output, "<inspection cmea='" + test.expected + "' mseq='" + test.expected +
                          "' origin='' allowedactions='' actionsperformed='' ></inspection>");
    EXPECT_EQ(replaced.count(), 4 * test.replaced);
  }

  // Null: nothing as delivered, a failure naming the getter where text is required.
  ErpScript script;
  const ObjectPtr material = script.Object("line", {{"hasDeliveryType", Variant(true)},
                                                    {"getDeliveryType", Variant::Null()},
                                                    {"hasItem", Variant(true)},
                                                    {"getItem", Variant::Null()}});
  std::string output;
  EXPECT_FALSE(BuildMaterialXml(Variant(material), output));
  EXPECT_EQ(output, "Invalid use of Null (getItem answered Null)");
  script.Answer("line", "hasItem", Variant(false));
  ASSERT_TRUE(BuildMaterialXml(Variant(material), output)) << output;
  EXPECT_EQ(output,
            "<material lineid='' origin='' allowedactions='' actionsperformed='' ><dltp></dltp>"
            "</material>");
}

TEST(JobSheetDocumentTest, CancellationElementIsEmptyAndEscapesIdAndReason) {
  ErpScript script;
  const ObjectPtr cancelled = script.Object(
      "cancelled", {{"getServiceOrderAttribute", Variant("C&'1")},
                    {"getCancelledOnAttribute", Variant("2004-05-12 <x>")},
                    {"getCancelledReasonAttribute", Variant("moved \"away\" & <gone>")}});
  std::string output;
  ASSERT_TRUE(BuildCancellationXml(Variant(cancelled), output)) << output;
  EXPECT_EQ(output,
            "<serviceorder id='C&amp;&apos;1' cadt='2004-05-12 &lt;x&gt;' "
            "cdis='moved &quot;away&quot; &amp; &lt;gone&gt;' />");
  EXPECT_THAT(script.erp().Journal(),
              ElementsAre("call cancelled#1.getServiceOrderAttribute()",
                          "call cancelled#1.getCancelledOnAttribute()",
                          "call cancelled#1.getCancelledReasonAttribute()"));

  script.Answer("cancelled", "getCancelledOnAttribute", Variant::Null());
  ASSERT_TRUE(BuildCancellationXml(Variant(cancelled), output)) << output;
  EXPECT_EQ(output,
            "<serviceorder id='C&amp;&apos;1' cadt='' "
            "cdis='moved &quot;away&quot; &amp; &lt;gone&gt;' />");

  script.Answer("cancelled", "getCancelledReasonAttribute", Variant::Null());
  EXPECT_FALSE(BuildCancellationXml(Variant(cancelled), output));
  EXPECT_EQ(output, "Invalid use of Null (getCancelledReasonAttribute answered Null)");

  // Not an object at all.
  EXPECT_FALSE(BuildCancellationXml(Variant(), output));
  EXPECT_EQ(output,
            "Object variable or With block variable not set (getCancelOrderAt answered Empty)");
}

}  // namespace
}  // namespace tqs::server::download
