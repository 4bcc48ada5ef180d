#include "broker/job_sheet_process_result.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "common/error.h"
#include "tests/broker/document_test_bed.h"

namespace tqs::broker {
namespace {

using automation::ObjectPtr;
using automation::Variant;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::JobSheetMappingBed;

// Builds scripted error structures from recorded objects: every node gets its own identifier
// ("Err.<name>"), so each answers its own values.
class ErrorTree {
 public:
  explicit ErrorTree(test_support::RecordingComponents& erp) : erp_(erp) {}

  // An object answering each method of `answers` with its value.
  ObjectPtr Node(const std::string& name, const std::map<std::string, Variant>& answers) {
    const std::string id = "Err." + name;
    ObjectPtr node = erp_.NewObject(id);
    for (const auto& [method, value] : answers) erp_.Returns(id, method, value);
    return node;
  }

  // An item: its identifying answers plus result, error description and new line number.
  ObjectPtr Item(const std::string& name, std::map<std::string, Variant> identity, Variant result,
                 Variant error, Variant new_line) {
    identity["getResult"] = result;
    identity["getErrorDescription"] = error;
    identity["getNewLineID"] = new_line;
    return Node(name, identity);
  }

  // A list answering `size` with the number of `items` and `at` with the item at the index
  // (an absent item is a default Variant).
  ObjectPtr List(const std::string& name, const std::string& size, const std::string& at,
                 std::vector<Variant> items, std::map<std::string, Variant> answers = {}) {
    answers[size] = Variant(static_cast<std::int32_t>(items.size()));
    ObjectPtr list = Node(name, answers);
    erp_.OnCall("Err." + name, at, [items](std::span<Variant> args) {
      return items.at(static_cast<std::size_t>(args[0].AsInt32()));
    });
    return list;
  }

 private:
  test_support::RecordingComponents& erp_;
};

class ProcessResultTest : public ::testing::Test {
 protected:
  std::string Build(const Variant& structure) { return result_.BuildProcessResult(structure); }

  // A structure with the order errors `orders`.
  Variant Structure(std::vector<Variant> orders) {
    return Variant(tree_.List("Structure", "sizeOrderError", "getOrderErrorAt", orders));
  }

  // An order error with the given activity and payment groups (Empty for absent).
  Variant Order(const std::string& name, Variant id, Variant activities, Variant payments,
                Variant error = Variant("")) {
    ObjectPtr order =
        tree_.Item(name, {{"getServiceOrderAttribute", id}}, Variant(0), error, Variant(""));
    bed_.erp().Returns("Err." + name, "getActivitiesErrorAt", activities);
    bed_.erp().Returns("Err." + name, "getPaymentsErrorAt", payments);
    return Variant(order);
  }

  JobSheetMappingBed bed_;
  ErrorTree tree_{bed_.erp()};
  JobSheetProcessResult result_{bed_.window(), bed_.log(), bed_.settings()};
};

TEST_F(ProcessResultTest, ReproducesTheDocumentationExample) {
  const Variant material = Variant(tree_.Item("Material", {{"getCostLineAttribute", Variant(1)}},
                                              Variant(0), Variant(""), Variant(7)));
  const Variant materials =
      Variant(tree_.List("Materials", "sizeMaterialError", "getMaterialErrorAt", {material}));
  const Variant activity = Variant(tree_.Item(
      "Activity",
      {{"getActivityAttribute", Variant("10")}, {"getMaterialRequirementError", materials}},
      Variant(0), Variant(""), Variant("")));
  const Variant activities =
      Variant(tree_.List("Activities", "sizeActivityError", "getActivityErrorAt", {activity}));

  EXPECT_EQ(Build(Structure({Order("Order", Variant("SO100"), activities, Variant())})),
            "<jobsheet><serviceorder id='SO100' result='0' error='' new='' ><activities>"
            "<activity id='10' result='0' error='' new='' ><materials><material lineid='1' "
            "result='0' error='' new='7' /></materials>    </activity></activities>"
            "</serviceorder></jobsheet>");
  // The groups are reached with a 16-bit 0, the entries with their 32-bit index.
  EXPECT_THAT(bed_.erp().Journal("ErrorAt("),
              ElementsAre("call Structure#1.getOrderErrorAt(Int32(0))",
                          "call Order#1.getActivitiesErrorAt(Int16(0))",
                          "call Activities#1.getActivityErrorAt(Int32(0))",
                          "call Materials#1.getMaterialErrorAt(Int32(0))",
                          "call Order#1.getPaymentsErrorAt(Int16(0))"));
  EXPECT_EQ(bed_.Status(), "");
}

TEST_F(ProcessResultTest, EveryGroupInItsPlaceAndOrder) {
  auto line = [&](const std::string& name, std::map<std::string, Variant> identity) {
    return Variant(tree_.Item(name, std::move(identity), Variant(-1), Variant("bad"), Variant()));
  };
  auto group = [&](const std::string& name, const std::string& kind, std::vector<Variant> items) {
    return Variant(tree_.List(name, "size" + kind + "Error", "get" + kind + "ErrorAt", items));
  };
  const Variant activity = Variant(tree_.Item(
      "Activity",
      {{"getActivityAttribute", Variant("20")},
       {"getMaterialRequirementError", group("Materials", "Material", {})},
       {"getHoursAccountingError",
        group("Hours", "Hour", {line("Hour", {{"getCostLineAttribute", Variant("H1")}})})},
       {"getLaborRequirementError",
        group("Labors", "Labor",
              {Variant(), line("Labor", {{"getCostLineAttribute", Variant("B2")}})})},
       {"getOtherRequirementError",
        group("Others", "Other", {line("Other", {{"getCostLineAttribute", Variant("O1")}})})},
       {"getInspectionsError",
        group("Inspections", "Inspection",
              {line("Inspection", {{"getMeasurementTypeAttribute", Variant("TEMP")},
                                   {"getInspectionNoAttribute", Variant(std::int16_t{4})}})})}},
      Variant(-3), Variant(""), Variant()));
  // An absent activity error writes nothing; one without groups writes its tags only.
  const Variant bare = Variant(tree_.Item("Bare", {{"getActivityAttribute", Variant("30")}},
                                          Variant(0), Variant(), Variant()));
  const Variant activities = group("Activities", "Activity", {activity, Variant(), bare});
  const Variant payments =
      group("Payments", "Payment",
            {line("Payment", {{"getPaymentLineAttribute", Variant("P1")}}), Variant::Null()});

  EXPECT_EQ(Build(Structure({Order("Order", Variant("SO7"), activities, payments)})),
            "<jobsheet><serviceorder id='SO7' result='0' error='' new='' ><activities>"
            "<activity id='20' result='-3' error='' new='' >"
            "<materials></materials>    "
            "<hoursspent><hour lineid='H1' result='-1' error='bad' new='' /></hoursspent>"
            "<labors><labor lineid='B2' result='-1' error='bad' new='' /></labors>"
            "<others><other lineid='O1' result='-1' error='bad' new='' /></others>"
            "<inspections><inspection cmea='TEMP' mseq='4' result='-1' error='bad' new='' />"
            "</inspections></activity>"
            "<activity id='30' result='0' error='' new='' ></activity></activities>"
            "<payments><payment id='P1' result='-1' error='bad' new='' /></payments>"
            "</serviceorder></jobsheet>");
}

TEST_F(ProcessResultTest, OrderErrorsWithoutGroupsAndTheLastPresentOrderWins) {
  EXPECT_EQ(Build(Structure({})), "");
  EXPECT_EQ(Build(Structure({Variant(), Variant::Null()})), "");
  EXPECT_EQ(Build(Structure({Order("Only", Variant("SO1"), Variant(), Variant())})),
            "<jobsheet><serviceorder id='SO1' result='0' error='' new='' >"
            "</serviceorder></jobsheet>");
  EXPECT_EQ(Build(Structure({Order("First", Variant("SO1"), Variant(), Variant()),
                             Order("Second", Variant("SO2"), Variant(), Variant()), Variant()})),
            "<jobsheet><serviceorder id='SO2' result='0' error='' new='' >"
            "</serviceorder></jobsheet>");
  EXPECT_EQ(bed_.Status(), "");
}

TEST_F(ProcessResultTest, ErrorDescriptionsAndIdentifiersAreEscaped) {
  struct {
    Variant error;
    const char* written;
  } cases[] = {
      {Variant("a < b & 'c'"), "a &lt; b &amp; &apos;c&apos;"},
      {Variant("already &amp; escaped"), "already &amp;amp; escaped"},
      {Variant("say \"x\" > y"), "say &quot;x&quot; &gt; y"},
      {Variant::Null(), ""},
      {Variant(), ""},
      {Variant(12), "12"},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string name = "Order" + std::to_string(++n);
    // The identifier's markup characters are escaped as well, so the document stays readable.
    EXPECT_EQ(Build(Structure({Order(name, Variant("S<&'1"), Variant(), Variant(), c.error)})),
              std::string("<jobsheet><serviceorder id='S&lt;&amp;&apos;1' result='0' error='") + c.written +
                  "' new='' ></serviceorder></jobsheet>")
        << c.error.DebugString();
  }
}

TEST_F(ProcessResultTest, UnreadableStructureIsReportedAndGivesTheEmptyText) {
  // No structure at all; a count that is no number; a call the ERP rejects.
  EXPECT_EQ(Build(Variant(ObjectPtr())), "");
  EXPECT_EQ(Build(Variant(tree_.Node("Counted", {{"sizeOrderError", Variant("many")}}))), "");
  const Variant order = Order("Order", Variant("SO1"), Variant(), Variant());
  bed_.erp().Throws("Err.Order", "getNewLineID", Error(-2147467259, "Unspecified error"));
  EXPECT_EQ(Build(Structure({order})), "");

  const std::vector<std::string> log = bed_.LogMessages();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0],
            "Error : Object variable not set: getOErrorProcessStructForProcessJobSheet returned no "
            "object in BuildProcessResult");
  EXPECT_EQ(log[1],
            "Error : Type mismatch: sizeOrderError returned 'many', not a number in "
            "BuildProcessResult");
  // The generic failure code shows its description here: only the ERP call itself shows the
  // status text for it.
  EXPECT_EQ(log[2], "Error : Unspecified error in BuildProcessResult");
  EXPECT_EQ(bed_.Status(),
            "Object variable not set: getOErrorProcessStructForProcessJobSheet returned no "
            "object\r\nType mismatch: sizeOrderError returned 'many', not a number\r\n"
            "Unspecified error\r\n");
}

}  // namespace
}  // namespace tqs::broker
