#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "broker/line_mapping.h"
#include "broker/order_mapping.h"
#include "common/error.h"
#include "platform/xml/xml.h"
#include "tests/broker/document_test_bed.h"
#include "tests/support/error_testing.h"

namespace tqs::broker {
namespace {

using automation::ObjectPtr;
using automation::Variant;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::JobSheetMappingBed;

// One value element and the setter it must reach, as the job sheet contract lists them.
struct Row {
  const char* element;
  const char* setter;
};

// A document whose value elements come in the reverse order of `rows`, each holding
// "v-<element>", plus `extra` markup; and the calls the rows must make on `object`, in row
// order. The reversal shows that the table's order, not the document's, decides.
struct Case {
  std::string xml;
  std::vector<std::string> calls;
};
Case ReversedElements(const std::string& start, const std::vector<Row>& rows,
                      const std::string& object, const std::string& extra = "") {
  Case c;
  c.xml = start + extra;
  for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
    c.xml += "<" + std::string(row->element) + ">v-" + row->element + "</" + row->element + ">";
  }
  for (const Row& row : rows) {
    c.calls.push_back("call " + object + "." + row.setter + "(Text(\"v-" + row.element + "\"))");
  }
  return c;
}

class OrderMappingTest : public ::testing::Test {
 protected:
  JobSheetMappingBed bed_;
  OrderMapping mapping_{bed_.window(), bed_.log(), bed_.registry(), bed_.settings()};
};

TEST_F(OrderMappingTest, OrderDetailsFollowTheTableOrderAndIgnoreOtherElements) {
  const std::vector<Row> rows = {
      {"osta", "setOrderStatus"},
      {"ccfg", "setConfiguration"},
      {"ofbp", "setBusinessPartner"},
      {"lcad", "setLocation"},
      {"ofcn", "setContact"},
      {"refa", "setReference"},
      {"ordt", "setOrderDate"},
      {"pstm", "setPlannedStart"},
      {"pftm", "setPlannedFinish"},
      {"astm", "setExecutionStart"},
      {"aftm", "setExecutionFinish"},
      {"emno", "setEngineer"},
      {"cwoc", "setServiceCenter"},
      {"csar", "setServiceArea"},
      {"emer", "setEmergency"},
      {"ityn", "setInterrupted"},
      {"crit", "setInterruptReason"},
      {"cdis", "setCancelReason"},
      {"cadt", "setCancelDate"},
      {"ccur", "setCurrency"},
      {"asto", "setTotalSalesAmount"},
      {"asco", "setContractSales"},
      {"aswa", "setWarrantySales"},
      {"asdi", "setDiscountAmount"},
      {"inam", "setInvoicingAmount"},
      {"txam", "setTaxAmount"},
      {"indt", "setOfflineInvoiceDate"},
  };
  Case c = ReversedElements(
      "<details><nama>n</nama><estm>e</estm><lftm>l</lftm><emna>m</emna><csco>c</csco>"
      "<txtb>invoice text</txtb><txta>Order text</txta>",
      rows, "OrderDetails#1");
  c.xml += "</details>";

  const ObjectPtr details = mapping_.GetOrderDetails(bed_.Load(c.xml));

  ASSERT_NE(details, nullptr);
  EXPECT_EQ(details, bed_.erp().Instance("OrderDetails#1"));
  std::vector<std::string> expected = {"create Q72dVXRsvordJobSheets.OrderDetails#1",
                                       "create Q72dVXRsvordJobSheets.OrderText#1"};
  expected.insert(expected.end(), c.calls.begin(), c.calls.end());
  expected.insert(expected.end(), {"create Q72dVXRsvordJobSheets.TextValue#1",
                                   "call TextValue#1.SetText(Text(\"Order text\"))",
                                   "call OrderText#1.addTextValue(Object(TextValue#1))",
                                   "call OrderDetails#1.setOrderText(Object(OrderText#1))"});
  EXPECT_THAT(bed_.erp().Journal(), ElementsAreArray(expected)) << bed_.erp().JournalText();
  EXPECT_EQ(bed_.Status(), "");
}

TEST_F(OrderMappingTest, ActivityDetailsFollowTheTableOrderWithTheirThreeTexts) {
  const std::vector<Row> rows = {
      {"asta", "setActivityStatus"},
      {"desc", "setActivityDescription"},
      {"pstm", "setPlannedStart"},
      {"pftm", "setPlannedFinish"},
      {"astm", "setExecutionStart"},
      {"aftm", "setExecutionFinish"},
      {"ccfg", "setConfiguration"},
      {"crob", "setObject"},
      {"oseq", "setObjectNumber"},
      {"cmdl", "setModelItem"},
      {"crtc", "setResponseTime"},
      {"prpr", "setProblemPriority"},
      {"cprl", "setProblem"},
      {"cstn", "setSolution"},
      {"crac", "setReferenceActivity"},
      {"cstp", "setServiceType"},
      {"chme", "setChangeMethod"},
      {"cron", "setNewObject"},
      {"osqn", "setNewObjectNo"},
      {"croo", "setOriginalObject"},
      {"osqo", "setOriginalObjectNo"},
      {"cova", "setMainCounterValue"},
      {"aivl", "setActualIndependentValue"},
      {"nivl", "setPlannedIndependentValue"},
      {"advl", "setActualDependentValue"},
      {"pdvl", "setPlannedDependentValue"},
      {"expr", "setExpectedProblem"},
      {"exsl", "setExpectedSolution"},
      {"rprl", "setReportedProblem"},
  };
  // The texts come in the document as solution, activity, call; they are handed over as
  // activity, call, solution. An empty text still hands over its (empty) container.
  Case c = ReversedElements(
      "<details><txtc>fixed</txtc><txta></txta><txtb>called</txtb><ccll>x</ccll><inam>1</inam>",
      rows, "ActivityDetails#1");
  c.xml += "</details>";

  ASSERT_NE(mapping_.GetActivityDetails(bed_.Load(c.xml)), nullptr);

  std::vector<std::string> expected = {"create Q72dVXRsvordJobSheets.ActivityDetails#1",
                                       "create Q72dVXRsvordJobSheets.ActivityText#1",
                                       "create Q72dVXRsvordJobSheets.CallText#1",
                                       "create Q72dVXRsvordJobSheets.SolutionText#1"};
  expected.insert(expected.end(), c.calls.begin(), c.calls.end());
  expected.insert(
      expected.end(),
      {"call ActivityDetails#1.setActivityText(Object(ActivityText#1))",
       "create Q72dVXRsvordJobSheets.TextValue#1", "call TextValue#1.SetText(Text(\"called\"))",
       "call CallText#1.addTextValue(Object(TextValue#1))",
       "call ActivityDetails#1.setCallText(Object(CallText#1))",
       "create Q72dVXRsvordJobSheets.TextValue#2", "call TextValue#2.SetText(Text(\"fixed\"))",
       "call SolutionText#1.addTextValue(Object(TextValue#2))",
       "call ActivityDetails#1.setSolutionText(Object(SolutionText#1))"});
  EXPECT_THAT(bed_.erp().Journal(), ElementsAreArray(expected)) << bed_.erp().JournalText();
}

TEST_F(OrderMappingTest, ElementRule) {
  // Only the first of two osta counts; OSTA and a nested ordt do not; an empty element passes
  // the empty text; an empty txta hands over an OrderText without chunks.
  mapping_.GetOrderDetails(
      bed_.Load("<details><osta>1</osta><osta>2</osta><OSTA>3</OSTA><x><ordt>d</ordt></x>"
                "<refa/><txta/></details>"));
  EXPECT_THAT(bed_.erp().Journal("call "),
              ElementsAre("call OrderDetails#1.setOrderStatus(Text(\"1\"))",
                          "call OrderDetails#1.setReference(Text(\"\"))",
                          "call OrderDetails#1.setOrderText(Object(OrderText#1))"));
}

TEST_F(OrderMappingTest, DetailsWithoutChildNodesGiveNoObjectAndDetailsWithOnlyTextGiveAnEmptyOne) {
  EXPECT_EQ(mapping_.GetOrderDetails(bed_.Load("<details/>")), nullptr);
  EXPECT_EQ(mapping_.GetActivityDetails(bed_.Load("<details></details>")), nullptr);
  EXPECT_THAT(bed_.erp().Journal(), IsEmpty());

  EXPECT_NE(mapping_.GetOrderDetails(bed_.Load("<details>just text</details>")), nullptr);
  EXPECT_THAT(bed_.erp().Journal(), ElementsAre("create Q72dVXRsvordJobSheets.OrderDetails#1",
                                                "create Q72dVXRsvordJobSheets.OrderText#1"));
}

TEST(TextChunksTest, CutsEveryHundredCharacters) {
  const std::string a100(100, 'a');
  const std::string b100(100, 'b');
  const std::string c50(50, 'c');
  struct {
    std::string text;
    std::vector<std::string> chunks;
  } cases[] = {
      {"", {}},
      {"x", {"x"}},
      {a100, {a100}},
      {a100 + "b", {a100, "b"}},
      {a100 + b100 + c50, {a100, b100, c50}},
      // Line breaks count as characters.
      {std::string(99, 'a') + "\r\nz", {std::string(99, 'a') + "\r", "\nz"}},
      // A character of several bytes is never split.
      {std::string(99, 'a') + "\xC3\xA9" + "z", {std::string(99, 'a') + "\xC3\xA9", "z"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitIntoTextChunks(c.text), c.chunks) << c.text;
  }
}

TEST_F(OrderMappingTest, TextOf250CharactersGivesThreeChunksInOrder) {
  const std::string text = std::string(100, 'a') + std::string(100, 'b') + std::string(50, 'c');
  mapping_.GetOrderDetails(bed_.Load("<details><txta>" + text + "</txta></details>"));
  EXPECT_THAT(bed_.erp().Journal("TextValue"),
              ElementsAre("create Q72dVXRsvordJobSheets.TextValue#1",
                          "call TextValue#1.SetText(Text(\"" + std::string(100, 'a') + "\"))",
                          "call OrderText#1.addTextValue(Object(TextValue#1))",
                          "create Q72dVXRsvordJobSheets.TextValue#2",
                          "call TextValue#2.SetText(Text(\"" + std::string(100, 'b') + "\"))",
                          "call OrderText#1.addTextValue(Object(TextValue#2))",
                          "create Q72dVXRsvordJobSheets.TextValue#3",
                          "call TextValue#3.SetText(Text(\"" + std::string(50, 'c') + "\"))",
                          "call OrderText#1.addTextValue(Object(TextValue#3))"));
}

TEST_F(OrderMappingTest, RejectedSetterEndsTheDetailsMapperWithItsOwnReport) {
  bed_.erp().Throws("OrderDetails", "setCancelDate", Error(440, "  Cancel date rejected "));
  EXPECT_EQ(mapping_.GetOrderDetails(
                bed_.Load("<details><osta>1</osta><cadt>x</cadt><ccur>EUR</ccur></details>")),
            nullptr);
  // The setters before the failure stay called; none after it.
  EXPECT_THAT(bed_.erp().Journal("call "),
              ElementsAre("call OrderDetails#1.setOrderStatus(Text(\"1\"))",
                          "call OrderDetails#1.setCancelDate(Text(\"x\"))"));
  EXPECT_EQ(bed_.Status(), "  Cancel date rejected \r\n");

  bed_.erp().Throws("ActivityDetails", "setActivityStatus", Error(440, "Status rejected"));
  EXPECT_EQ(mapping_.GetActivityDetails(bed_.Load("<details><asta>9</asta></details>")), nullptr);
  EXPECT_EQ(bed_.Status(), "  Cancel date rejected \r\n\r\nStatus rejected\r\n");

  bed_.erp().FailCreate("Q72dVXRsvordJobSheets.OrderText", Error(429, "OrderText unavailable"));
  EXPECT_EQ(mapping_.GetOrderDetails(bed_.Load("<details><osta>1</osta></details>")), nullptr);

  EXPECT_THAT(bed_.LogMessages(), ElementsAre("Error : Cancel date rejected in GetOrderDetails",
                                              "Error Status rejected in GetActivityDetails",
                                              "Error : OrderText unavailable in GetOrderDetails"));
}

TEST_F(OrderMappingTest, PaymentValuesWithLocaleAwareAmounts) {
  JobSheetMappingBed german_bed{[] {
    RegionalSettings german;
    german.decimal_separator = ',';
    german.grouping_separator = '.';
    german.date_order = "DMY";
    german.date_separator = '.';
    return german;
  }()};
  const OrderMapping german{german_bed.window(), german_bed.log(), german_bed.registry(),
                            german_bed.settings()};
  const pugi::xml_node payment = german_bed.Load(
      "<payment><infb>B</infb><infa>A</infa><hamt>1.234,5</hamt><pcur>EUR</pcur>"
      "<amnt>12,50</amnt><mpay>CASH</mpay><other>x</other></payment>");

  ASSERT_NE(german.GetPaymentDetails(payment), nullptr);
  EXPECT_THAT(german_bed.erp().Journal(),
              ElementsAre("create Q72dVXRsvordJobSheets.PaymentData#1",
                          "call PaymentData#1.setPaymentMode(Text(\"CASH\"))",
                          "call PaymentData#1.setAmountInPaymentCurrency(Double(12.5))",
                          "call PaymentData#1.setPaymentCurrency(Text(\"EUR\"))",
                          "call PaymentData#1.setAmountInHeaderCurrency(Double(1234.5))",
                          "call PaymentData#1.setInformationA(Text(\"A\"))",
                          "call PaymentData#1.setInformationB(Text(\"B\"))"));
}

TEST_F(OrderMappingTest, PaymentWithoutChildrenIsStillCreatedAndBadAmountsAreRaised) {
  EXPECT_NE(mapping_.GetPaymentDetails(bed_.Load("<payment/>")), nullptr);
  EXPECT_THAT(bed_.erp().Journal(), ElementsAre("create Q72dVXRsvordJobSheets.PaymentData#1"));

  for (const char* amount : {"", "twelve", "12 EUR", "12,50", "1,5"}) {
    const std::string xml =
        std::string("<payment><mpay>C</mpay><amnt>") + amount + "</amnt></payment>";
    EXPECT_EQ(test_support::ErrorNumberOf([&] { mapping_.GetPaymentDetails(bed_.Load(xml)); }),
              error_number::kTypeMismatch)
        << amount;
    EXPECT_THAT(
        test_support::ErrorDescriptionOf([&] { mapping_.GetPaymentDetails(bed_.Load(xml)); }),
        HasSubstr(std::string("amnt '") + amount + "'"));
  }
  // Raised, not reported: the caller's handler reports it.
  EXPECT_EQ(bed_.Status(), "");
  EXPECT_THAT(bed_.LogMessages(), IsEmpty());
}

class LineMappingTest : public ::testing::Test {
 protected:
  JobSheetMappingBed bed_;
  LineMapping mapping_{bed_.window(), bed_.log(), bed_.registry(), bed_.settings()};
};

TEST_F(LineMappingTest, EachLineKindFollowsItsTable) {
  struct LineCase {
    const char* name;
    std::string start;  // the line's start tag with its attributes
    std::string end;
    std::vector<std::string> attribute_calls;
    std::vector<Row> rows;
    std::function<bool(pugi::xml_node)> map;
  };
  const std::vector<std::string> cost_line_attributes = {".setCostLineAttribute(Text(\"L1\"))",
                                                         ".setOriginAttribute(Text(\"ERP\"))"};
  const std::vector<LineCase> cases = {
      {"MaterialData",
       "<material origin='ERP' lineid='L1'><eqan>9</eqan>",
       "</material>",
       cost_line_attributes,
       {{"item", "setItem"},
        {"dltp", "setDeliveryType"},
        {"cskt", "setServiceKit"},
        {"ccmp", "setCostComponent"},
        {"adqt", "setActualCumulativeQuantity"},
        {"awrh", "setActualWarehouse"},
        {"cups", "setSalesPriceUnit"},
        {"cuqs", "setSalesQuantityUnit"},
        {"qtdl", "setDeliveredQuantity"},
        {"qtsd", "setSubsequentDeliveredQuantity"},
        {"pris", "setSalesPrice"},
        {"asto", "setTotalSalesAmount"},
        {"asco", "setContractSales"},
        {"aswa", "setWarrantySales"},
        {"disc", "setDiscount"},
        {"asdi", "setDiscountAmount"},
        {"inam", "setInvoicingAmount"},
        {"txam", "setTaxAmount"}},
       [&](pugi::xml_node n) { return mapping_.GetMaterialDetails(n) != nullptr; }},
      {"LaborData",
       "<labor lineid='L1' origin='ERP'><eqtm>9</eqtm>",
       "</labor>",
       cost_line_attributes,
       {{"ctsk", "setTask"},
        {"ccmp", "setCostComponent"},
        {"chlt", "setHourlyLaborType"},
        {"acqt", "setActualQuantity"},
        {"aswr", "setSalesRate"},
        {"asto", "setTotalSalesAmount"},
        {"asco", "setContractSales"},
        {"aswa", "setWarrantySales"},
        {"disc", "setDiscount"},
        {"asdi", "setDiscountAmount"},
        {"inam", "setInvoicingAmount"},
        {"txam", "setTaxAmount"}},
       [&](pugi::xml_node n) { return mapping_.GetLaborDetails(n) != nullptr; }},
      {"OtherData",
       "<other lineid='L1' origin='ERP'><eqan>9</eqan>",
       "</other>",
       cost_line_attributes,
       {{"cotp", "setCostType"},
        {"desc", "setOtherDescription"},
        {"ccmp", "setCostComponent"},
        {"afrq", "setActualFrequency"},
        {"aqan", "setActualCumulativeTimeQuantity"},
        {"acpr", "setActualCostPrice"},
        {"cuni", "setUnit"},
        {"pris", "setSalesPrice"},
        {"asto", "setTotalSalesAmount"},
        {"asco", "setContractSales"},
        {"aswa", "setWarrantySales"},
        {"disc", "setDiscount"},
        {"asdi", "setDiscountAmount"},
        {"inam", "setInvoicingAmount"},
        {"txam", "setTaxAmount"},
        {"lcur", "setCostCurrency"}},
       [&](pugi::xml_node n) { return mapping_.GetOtherDetails(n) != nullptr; }},
      {"HourData",
       "<hour lineid='L1' origin='ERP'>",
       "</hour>",
       cost_line_attributes,
       {{"cotp", "setCostType"},
        {"ccmp", "setCostComponent"},
        {"sptm", "setSpentTime"},
        {"ctsk", "setTask"},
        {"chlt", "setHourlyLaborType"},
        {"lbln", "setLaborLineReference"}},
       [&](pugi::xml_node n) { return mapping_.GetHoursSpentDetails(n) != nullptr; }},
      {"InspectionData",
       "<inspection origin='ERP' cmea='TEMP' mseq='3'>",
       "</inspection>",
       {".setInspectionNoAttribute(Text(\"3\"))", ".setMeasurementTypeAttribute(Text(\"TEMP\"))",
        ".setOriginAttribute(Text(\"ERP\"))"},
       {{"rgtm", "setRegistrationTime"},
        {"mivl", "setMeasuredIndependentValue"},
        {"mdvl", "setMeasuredDependentValue"}},
       [&](pugi::xml_node n) { return mapping_.GetInspectionLineDetails(n).IsObject(); }},
  };
  for (const LineCase& line : cases) {
    bed_.erp().ClearJournal();
    const std::string object = std::string(line.name) + "#1";
    Case c = ReversedElements(line.start, line.rows, object);
    c.xml += line.end;
    ASSERT_TRUE(line.map(bed_.Load(c.xml))) << c.xml;
    std::vector<std::string> expected = {"create Q72dVXRsvordJobSheets." + object};
    for (const std::string& call : line.attribute_calls)
      expected.push_back("call " + object + call);
    expected.insert(expected.end(), c.calls.begin(), c.calls.end());
    EXPECT_THAT(bed_.erp().Journal(), ElementsAreArray(expected)) << bed_.erp().JournalText();
  }
  EXPECT_EQ(bed_.Status(), "");
}

TEST_F(LineMappingTest, LinesWithoutChildNodesGiveNoObjectAndReadNoAttribute) {
  EXPECT_EQ(mapping_.GetMaterialDetails(bed_.Load("<material lineid='1' origin='ERP'/>")), nullptr);
  EXPECT_EQ(mapping_.GetLaborDetails(bed_.Load("<labor/>")), nullptr);
  EXPECT_EQ(mapping_.GetOtherDetails(bed_.Load("<other/>")), nullptr);
  EXPECT_EQ(mapping_.GetHoursSpentDetails(bed_.Load("<hour/>")), nullptr);
  // The inspection line answers a Nothing reference, which is an object reference.
  const Variant inspection = mapping_.GetInspectionLineDetails(bed_.Load("<inspection/>"));
  EXPECT_EQ(inspection, Variant(ObjectPtr()));
  EXPECT_THAT(bed_.erp().Journal(), IsEmpty());
  EXPECT_EQ(bed_.Status(), "");
}

TEST_F(LineMappingTest, EmptyDiscountAndSalesRateBecomeZeroOnlyWhereTheRuleSaysSo) {
  const pugi::xml_node material = bed_.Load("<material lineid='1' origin='E'><disc/></material>");
  mapping_.GetMaterialDetails(material);
  // The loaded document holds the replacement too.
  EXPECT_EQ(xml::Text(material.child("disc")), "0.0");
  mapping_.GetMaterialDetails(
      bed_.Load("<material lineid='1' origin='E'><disc>5</disc></material>"));
  mapping_.GetLaborDetails(
      bed_.Load("<labor lineid='1' origin='E'><aswr></aswr><disc></disc></labor>"));
  mapping_.GetOtherDetails(bed_.Load("<other lineid='1' origin='E'><disc/></other>"));
  mapping_.GetMaterialDetails(bed_.Load("<material lineid='1' origin='E'><item/></material>"));

  EXPECT_THAT(bed_.erp().Journal(".set"),
              ElementsAre("call MaterialData#1.setCostLineAttribute(Text(\"1\"))",
                          "call MaterialData#1.setOriginAttribute(Text(\"E\"))",
                          "call MaterialData#1.setDiscount(Text(\"0.0\"))",
                          "call MaterialData#2.setCostLineAttribute(Text(\"1\"))",
                          "call MaterialData#2.setOriginAttribute(Text(\"E\"))",
                          "call MaterialData#2.setDiscount(Text(\"5\"))",
                          "call LaborData#1.setCostLineAttribute(Text(\"1\"))",
                          "call LaborData#1.setOriginAttribute(Text(\"E\"))",
                          "call LaborData#1.setSalesRate(Text(\"0.0\"))",
                          "call LaborData#1.setDiscount(Text(\"\"))",
                          "call OtherData#1.setCostLineAttribute(Text(\"1\"))",
                          "call OtherData#1.setOriginAttribute(Text(\"E\"))",
                          "call OtherData#1.setDiscount(Text(\"\"))",
                          "call MaterialData#3.setCostLineAttribute(Text(\"1\"))",
                          "call MaterialData#3.setOriginAttribute(Text(\"E\"))",
                          "call MaterialData#3.setItem(Text(\"\"))"));
}

TEST_F(LineMappingTest, RegistrationDateIsPassedAsYearMonthDayAndSpentTimeAsText) {
  mapping_.GetHoursSpentDetails(
      bed_.Load("<hour lineid='1' origin='E'><rgdt>5/12/2004</rgdt><sptm>1,5</sptm></hour>"));
  mapping_.GetHoursSpentDetails(
      bed_.Load("<hour lineid='2' origin='E'><rgdt>2004-05-12 08:30</rgdt></hour>"));
  EXPECT_THAT(bed_.erp().Journal("HourData#1.set"),
              ElementsAre("call HourData#1.setCostLineAttribute(Text(\"1\"))",
                          "call HourData#1.setOriginAttribute(Text(\"E\"))",
                          "call HourData#1.setSpentTime(Text(\"1,5\"))",
                          "call HourData#1.setRegistrationDateHours(Text(\"20040512\"))"));
  EXPECT_THAT(bed_.erp().Journal(".setRegistrationDateHours("),
              ElementsAre("call HourData#1.setRegistrationDateHours(Text(\"20040512\"))",
                          "call HourData#2.setRegistrationDateHours(Text(\"20040512\"))"));

  // The same date in a day-first locale.
  RegionalSettings german;
  german.date_order = "DMY";
  german.date_separator = '.';
  JobSheetMappingBed german_bed{german};
  LineMapping german_mapping{german_bed.window(), german_bed.log(), german_bed.registry(),
                             german_bed.settings()};
  german_mapping.GetHoursSpentDetails(
      german_bed.Load("<hour lineid='1' origin='E'><rgdt>12.05.2004</rgdt></hour>"));
  EXPECT_THAT(german_bed.erp().Journal(".setRegistrationDateHours("),
              ElementsAre("call HourData#1.setRegistrationDateHours(Text(\"20040512\"))"));
}

TEST_F(LineMappingTest, FailuresAreReportedByTheMapperAndGiveNoObject) {
  // A date that is no date, a missing lineid, a rejected setter.
  EXPECT_EQ(mapping_.GetHoursSpentDetails(
                bed_.Load("<hour lineid='1' origin='E'><rgdt>someday</rgdt></hour>")),
            nullptr);
  EXPECT_EQ(
      mapping_.GetMaterialDetails(bed_.Load("<material origin='E'><item>I</item></material>")),
      nullptr);
  bed_.erp().Throws("LaborData", "setTask", Error(440, "Task unknown"));
  EXPECT_EQ(
      mapping_.GetLaborDetails(bed_.Load("<labor lineid='1' origin='E'><ctsk>T</ctsk></labor>")),
      nullptr);
  bed_.erp().FailCreate("Q72dVXRsvordJobSheets.OtherData");
  EXPECT_EQ(mapping_.GetOtherDetails(bed_.Load("<other lineid='1' origin='E'><x/></other>")),
            nullptr);

  const std::vector<std::string> log = bed_.LogMessages();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0],
            "Error : Type mismatch: rgdt 'someday' of the hour line is not a date in "
            "GetHoursSpentDetails");
  EXPECT_EQ(log[1],
            "Error : Object variable not set: the material element has no attribute lineid in "
            "GetMaterialDetails");
  EXPECT_EQ(log[2], "Error : Task unknown in GetLaborDetails");
  EXPECT_THAT(log[3], HasSubstr("Q72dVXRsvordJobSheets.OtherData"));
  EXPECT_THAT(log[3], ::testing::EndsWith(" in GetOtherDetails"));
  EXPECT_THAT(bed_.Status(), ::testing::StartsWith(
                                 "Type mismatch: rgdt 'someday' of the hour line is not a date\r\n"
                                 "Object variable not set: the material element has no attribute "
                                 "lineid\r\nTask unknown\r\n"));
}

TEST_F(LineMappingTest, InspectionLineWithoutMseqAnswersEmptyAndEndsItsLogMessageApart) {
  const Variant answer = mapping_.GetInspectionLineDetails(
      bed_.Load("<inspection cmea='T' origin='E'><mivl>1</mivl></inspection>"));
  EXPECT_TRUE(answer.IsEmpty());
  EXPECT_EQ(bed_.Status(),
            "Object variable not set: the inspection element has no attribute mseq\r\n");
  // The message's line end comes after a further print zone separator: blanks up to the next
  // multiple of 14 columns, counted from the start of the line (the stamp takes 42).
  const std::string message =
      "Error : Object variable not set: the inspection element has no attribute mseq in "
      "GetInspectionLineDetails";
  EXPECT_THAT(bed_.LogMessages(),
              ElementsAre(message + std::string(14 - (42 + message.size()) % 14, ' ')));
}

}  // namespace
}  // namespace tqs::broker
