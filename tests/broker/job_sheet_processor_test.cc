#include "broker/job_sheet_processor.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/error.h"
#include "common/text.h"
#include "platform/xml/well_formedness.h"
#include "tests/broker/document_test_bed.h"

namespace tqs::broker {
namespace {

using automation::Variant;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::DocumentTestBed;

constexpr const char* kProcessedOn = "2026-12-07 12:49:30";

// A job sheet with a value of every kind: order details with a text, one activity with details,
// one line of each list, and a payment. Elements the broker does not read back (type, nama,
// eqan) are ignored.
constexpr const char* kRealisticJobSheet =
    "<jobsheet><serviceorder id='SO100' origin='ERP' type='N' actionsperformed='RDP' "
    "invoiceid='INV7'>"
    "<details><osta>20</osta><nama>Smith &amp; Co</nama><ordt>2026-12-01</ordt>"
    "<txta>Order text</txta></details>"
    "<activities><activity id='10' origin='ERP' actionsperformed='RDP'>"
    "<details><asta>30</asta><desc>Fix &amp; test</desc><txtb>Call</txtb></details>"
    "<materials><material lineid='1' origin='ERP'><item>ITEM-1</item><eqan>9</eqan><disc/>"
    "</material></materials>"
    "<labors><labor lineid='2' origin='LAP'><ctsk>T1</ctsk><aswr/></labor></labors>"
    "<hoursspent><hour lineid='3' origin='LAP'><sptm>1,5</sptm><rgdt>5/12/2004</rgdt></hour>"
    "</hoursspent>"
    "<others><other lineid='4' origin='LAP'><desc>Parking</desc><disc/></other></others>"
    "<inspections><inspection mseq='1' cmea='TEMP' origin='ERP'><mivl>21.5</mivl>"
    "</inspection></inspections>"
    "</activity></activities>"
    "<payments><payment><mpay>CASH</mpay><amnt>12.50</amnt></payment></payments>"
    "</serviceorder></jobsheet>";

// A log message whose line end is written as a separate item: blanks follow up to the next
// print zone (14 columns, counted from the start of the line; the stamp takes 42).
std::string WithMessageEndApart(const std::string& message) {
  return message + std::string(14 - (42 + message.size()) % 14, ' ');
}

// A job sheet with one activity holding `activity_content`, or the activity start replaced.
std::string JobSheet(const std::string& activity_content, const std::string& activity_start =
                                                              "<activity id='10' origin='ERP' "
                                                              "actionsperformed='RDP'>") {
  return "<jobsheet><serviceorder id='SO100' origin='ERP' actionsperformed='RDP' "
         "invoiceid='INV7'><activities>" +
         activity_start + activity_content + "</activity></activities></serviceorder></jobsheet>";
}

class JobSheetProcessorTest : public testing::OnEachBackend {};
TQS_INSTANTIATE_FOR_BACKENDS(JobSheetProcessorTest);

TEST_P(JobSheetProcessorTest, RealisticJobSheetMakesEveryCallInOrderAndFinishesTheRow) {
  DocumentTestBed bed(GetParam());
  bed.AddJobSheet("4711_0", kRealisticJobSheet);
  bed.AnswerProcessJobSheet({Variant(0)});
  // The ERP reports one order error without groups.
  bed.erp().Returns("oErrorProcessStructForProcessJobSheet", "sizeOrderError", Variant(1));
  const auto order = bed.erp().NewObject("Q72dVXRsvordJobSheets.OrderError");
  bed.erp().Returns("oErrorProcessStructForProcessJobSheet", "getOrderErrorAt", Variant(order));
  bed.erp().Returns("OrderError", "getServiceOrderAttribute", Variant("SO100"));
  bed.erp().Returns("OrderError", "getResult", Variant(0));

  bed.RunPass();

  EXPECT_THAT(
      bed.erp().Journal(),
      ElementsAre(
          "create Q72dVXRsvordJobSheets.JobSheetsManager#1",
          "create Q72dVXRsvordJobSheets.ioState#1",
          "create Q72dVXRsvordJobSheets.oErrorProcessStructForProcessJobSheet#1",
          "create Q72dVXRsvordJobSheets.iJobSheetForProcess#1",
          "create Q72dVXRsvordJobSheets.ServiceOrderData#1",
          "create Q72dVXRsvordJobSheets.OrderDetails#1",
          "create Q72dVXRsvordJobSheets.ActivitiesData#1",
          "call ServiceOrderData#1.setServiceOrderAttribute(Text(\"SO100\"))",
          "call ServiceOrderData#1.setOriginAttribute(Text(\"ERP\"))",
          "call ServiceOrderData#1.setActionsPerformedAttribute(Text(\"RDP\"))",
          // Order details.
          "create Q72dVXRsvordJobSheets.OrderDetails#2", "create Q72dVXRsvordJobSheets.OrderText#1",
          "call OrderDetails#2.setOrderStatus(Text(\"20\"))",
          "call OrderDetails#2.setOrderDate(Text(\"2026-12-01\"))",
          "create Q72dVXRsvordJobSheets.TextValue#1",
          "call TextValue#1.SetText(Text(\"Order text\"))",
          "call OrderText#1.addTextValue(Object(TextValue#1))",
          "call OrderDetails#2.setOrderText(Object(OrderText#1))",
          "call ServiceOrderData#1.setOrderDetails(Object(OrderDetails#2))",
          // The activity.
          "create Q72dVXRsvordJobSheets.ActivityData#1",
          "call ActivityData#1.setActivityAttribute(Text(\"10\"))",
          "call ActivityData#1.setOriginAttribute(Text(\"ERP\"))",
          "call ActivityData#1.setActionsPerformedAttribute(Text(\"RDP\"))",
          "call ServiceOrderData#1.setInvoiceidAttribute(Text(\"INV7\"))",
          "create Q72dVXRsvordJobSheets.ActivityDetails#1",
          "create Q72dVXRsvordJobSheets.ActivityText#1", "create Q72dVXRsvordJobSheets.CallText#1",
          "create Q72dVXRsvordJobSheets.SolutionText#1",
          "call ActivityDetails#1.setActivityStatus(Text(\"30\"))",
          "call ActivityDetails#1.setActivityDescription(Text(\"Fix & test\"))",
          "create Q72dVXRsvordJobSheets.TextValue#2", "call TextValue#2.SetText(Text(\"Call\"))",
          "call CallText#1.addTextValue(Object(TextValue#2))",
          "call ActivityDetails#1.setCallText(Object(CallText#1))",
          "call ActivityData#1.setActivityDetails(Object(ActivityDetails#1))",
          // Materials.
          "create Q72dVXRsvordJobSheets.MaterialRequirement#1",
          "create Q72dVXRsvordJobSheets.MaterialData#1",
          "create Q72dVXRsvordJobSheets.MaterialData#2",
          "call MaterialData#2.setCostLineAttribute(Text(\"1\"))",
          "call MaterialData#2.setOriginAttribute(Text(\"ERP\"))",
          "call MaterialData#2.setItem(Text(\"ITEM-1\"))",
          "call MaterialData#2.setDiscount(Text(\"0.0\"))",
          "call MaterialRequirement#1.addMaterialData(Object(MaterialData#2))",
          "call ActivityData#1.setMaterialRequirement(Object(MaterialRequirement#1))",
          // Labors.
          "create Q72dVXRsvordJobSheets.LaborRequirement#1",
          "create Q72dVXRsvordJobSheets.LaborData#1", "create Q72dVXRsvordJobSheets.LaborData#2",
          "call LaborData#2.setCostLineAttribute(Text(\"2\"))",
          "call LaborData#2.setOriginAttribute(Text(\"LAP\"))",
          "call LaborData#2.setTask(Text(\"T1\"))", "call LaborData#2.setSalesRate(Text(\"0.0\"))",
          "call LaborRequirement#1.addLaborData(Object(LaborData#2))",
          "call ActivityData#1.setLaborRequirement(Object(LaborRequirement#1))",
          // Hours.
          "create Q72dVXRsvordJobSheets.hoursAccounting#1",
          "create Q72dVXRsvordJobSheets.HourData#1", "create Q72dVXRsvordJobSheets.HourData#2",
          "call HourData#2.setCostLineAttribute(Text(\"3\"))",
          "call HourData#2.setOriginAttribute(Text(\"LAP\"))",
          "call HourData#2.setSpentTime(Text(\"1,5\"))",
          "call HourData#2.setRegistrationDateHours(Text(\"20040512\"))",
          "call hoursAccounting#1.addHourData(Object(HourData#2))",
          "call ActivityData#1.setHoursAccounting(Object(hoursAccounting#1))",
          // Others: a new OtherData before each line.
          "create Q72dVXRsvordJobSheets.OtherRequirement#1",
          "create Q72dVXRsvordJobSheets.OtherData#1", "create Q72dVXRsvordJobSheets.OtherData#2",
          "call OtherData#2.setCostLineAttribute(Text(\"4\"))",
          "call OtherData#2.setOriginAttribute(Text(\"LAP\"))",
          "call OtherData#2.setOtherDescription(Text(\"Parking\"))",
          "call OtherData#2.setDiscount(Text(\"\"))",
          "call OtherRequirement#1.addOtherData(Object(OtherData#2))",
          "call ActivityData#1.setOtherRequirement(Object(OtherRequirement#1))",
          // Inspections.
          "create Q72dVXRsvordJobSheets.ObjectInspectionsData#1",
          "create Q72dVXRsvordJobSheets.InspectionData#1",
          "create Q72dVXRsvordJobSheets.InspectionData#2",
          "call InspectionData#2.setInspectionNoAttribute(Text(\"1\"))",
          "call InspectionData#2.setMeasurementTypeAttribute(Text(\"TEMP\"))",
          "call InspectionData#2.setOriginAttribute(Text(\"ERP\"))",
          "call InspectionData#2.setMeasuredIndependentValue(Text(\"21.5\"))",
          "call ObjectInspectionsData#1.addInspectionData(Object(InspectionData#2))",
          "call ActivityData#1.setObjectInspectionsData(Object(ObjectInspectionsData#1))",
          "call ActivitiesData#1.addActivityData(Object(ActivityData#1))",
          "call ServiceOrderData#1.setActivitiesData(Object(ActivitiesData#1))",
          // Payments.
          "create Q72dVXRsvordJobSheets.PaymentsData#1",
          "create Q72dVXRsvordJobSheets.PaymentData#1",
          "create Q72dVXRsvordJobSheets.PaymentData#2",
          "call PaymentData#2.setPaymentMode(Text(\"CASH\"))",
          "call PaymentData#2.setAmountInPaymentCurrency(Double(12.5))",
          "call PaymentsData#1.addPaymentData(Object(PaymentData#2))",
          "call ServiceOrderData#1.setPaymentsData(Object(PaymentsData#1))",
          // The ERP call.
          "call iJobSheetForProcess#1.setServiceOrderData(Object(ServiceOrderData#1))",
          "call JobSheetsManager#1.Initialize(Text(\"BC200\"))",
          "call JobSheetsManager#1.ProcessJobSheet(Text(\"E200\"), Object(iJobSheetForProcess#1), "
          "Int32(0), Object(ioState#1), Object(oErrorProcessStructForProcessJobSheet#1), "
          "Int32(0))",
          "call ProcessOutput#1.getOErrorProcessStructForProcessJobSheet()",
          "call oErrorProcessStructForProcessJobSheet#1.sizeOrderError()",
          "call oErrorProcessStructForProcessJobSheet#1.getOrderErrorAt(Int32(0))",
          "call OrderError#1.getServiceOrderAttribute()", "call OrderError#1.getResult()",
          "call OrderError#1.getErrorDescription()", "call OrderError#1.getNewLineID()",
          "call OrderError#1.getActivitiesErrorAt(Int16(0))",
          "call OrderError#1.getPaymentsErrorAt(Int16(0))",
          "call ProcessOutput#1.getOReturnValue()"))
      << bed.erp().JournalText();
  EXPECT_THAT(bed.Row("4711_0"),
              ElementsAre("10",
                          "<jobsheet><serviceorder id='SO100' result='0' error='' new='' >"
                          "</serviceorder></jobsheet>",
                          kProcessedOn));
  EXPECT_EQ(bed.StatusLines(), "\r\nS7 4711\r\nS11\r\n\r\n");
  EXPECT_THAT(bed.LogMessages(), IsEmpty());
}

// The ERP's texts are plain text and may hold anything: the stored result document is
// well-formed XML in valid UTF-8 (which PostgreSQL insists on), every value escaped, U+FFFD in
// place of what XML cannot carry, and one warning in the error log for the document.
TEST_P(JobSheetProcessorTest, ResultDocumentIsWellFormedWhateverTheErpsTextsHold) {
  DocumentTestBed bed(GetParam());
  bed.AddJobSheet("4711_0", JobSheet(""));
  bed.AnswerProcessJobSheet({Variant(0)});
  bed.erp().Returns("oErrorProcessStructForProcessJobSheet", "sizeOrderError", Variant(1));
  const auto order = bed.erp().NewObject("Q72dVXRsvordJobSheets.OrderError");
  bed.erp().Returns("oErrorProcessStructForProcessJobSheet", "getOrderErrorAt", Variant(order));
  bed.erp().Returns("OrderError", "getServiceOrderAttribute", Variant("SO<1>"));
  bed.erp().Returns("OrderError", "getResult", Variant("1'"));
  bed.erp().Returns("OrderError", "getErrorDescription",
                    Variant("Price & <qty>\x01 bad\x0B, \xC3(cut)"));

  bed.RunPass();

  const std::string r(kReplacementCharacter);
  const std::vector<std::string> row = bed.Row("4711_0");
  ASSERT_EQ(row.size(), 3U);
  EXPECT_EQ(row[0], "10");
  EXPECT_EQ(row[1],
            "<jobsheet><serviceorder id='SO&lt;1&gt;' result='1&apos;' error='Price "
            "&amp; &lt;qty&gt;" +
                r + " bad" + r + ", " + r + "(cut)' new='' ></serviceorder></jobsheet>");
  const std::optional<std::string> fault =
      ::tqs::xml::CheckWellFormed(row[1], ::tqs::xml::TextEncoding::kUtf8);
  EXPECT_FALSE(fault) << *fault;
  EXPECT_THAT(bed.LogMessages(),
              ElementsAre("Warning : the ERP's values held 3 character(s) that XML cannot carry "
                          "(control characters or bytes that are not UTF-8), written as U+FFFD "
                          "into the result document in BuildProcessResult"));
  EXPECT_EQ(bed.StatusLines(), "\r\nS7 4711\r\nS11\r\n\r\n");
}

TEST_P(JobSheetProcessorTest, ReturnValueDecidesStatusAndStatusText) {
  struct {
    Variant return_value;
    const char* status;
    const char* status_lines;
  } cases[] = {
      {Variant(0), "10", "S11\r\n\r\n"},   {Variant(-1), "15", "S0\r\n\r\n"},
      {Variant(-2), "15", "S0\r\n\r\n"},   {Variant(-3), "15", "S14\r\n\r\n"},
      {Variant(5), "<null>", ""},          {Variant(std::int16_t{-3}), "15", "S14\r\n\r\n"},
      {Variant("-1"), "15", "S0\r\n\r\n"}, {Variant(-2.0), "15", "S0\r\n\r\n"},
  };
  DocumentTestBed bed(GetParam());
  std::vector<Variant> values;
  std::string expected_status;
  int n = 0;
  for (const auto& c : cases) {
    const std::string number = std::to_string(++n);
    bed.AddJobSheet(number + "_0", JobSheet(""));
    values.push_back(c.return_value);
    expected_status += "\r\nS7 " + number + "\r\n" + c.status_lines;
  }
  bed.AnswerProcessJobSheet(values);

  bed.RunPass();

  n = 0;
  for (const auto& c : cases) {
    // Every outcome is stored, with the (empty) result document and the processing time.
    EXPECT_THAT(bed.Row(std::to_string(++n) + "_0"), ElementsAre(c.status, "", kProcessedOn))
        << c.return_value.DebugString();
  }
  EXPECT_EQ(bed.StatusLines(), expected_status);
  EXPECT_THAT(bed.LogMessages(), IsEmpty());
}

TEST_P(JobSheetProcessorTest, ReturnValueThatIsNoWholeNumberLeavesTheRowInDoubt) {
  DocumentTestBed bed(GetParam());
  bed.AddJobSheet("1_0", JobSheet(""));
  bed.AddJobSheet("2_0", JobSheet(""));
  bed.AddJobSheet("3_0", JobSheet(""));
  bed.AnswerProcessJobSheet({Variant(), Variant("done"), Variant(0)});

  bed.RunPass();

  // Nothing of the outcome is written, also not when the pass moves on to the next row; the
  // ERP may have booked the first two, so their attempts stay open: they are in doubt.
  EXPECT_THAT(bed.Row("1_0"), ElementsAre("5", "<null>", "<null>"));
  EXPECT_THAT(bed.Row("2_0"), ElementsAre("5", "<null>", "<null>"));
  EXPECT_THAT(bed.Row("3_0"), ElementsAre("10", "", kProcessedOn));
  const std::string unusable = "The ERP answered, but its answer cannot be used: ";
  const std::string doubt =
      ". The ERP may have booked the document; the document is in doubt and is not sent again "
      "until an operator decides (TQSRemoteAdmin documents --in-doubt).";
  EXPECT_EQ(bed.StatusLines(), "\r\nS7 1\r\n" + unusable +
                                   "Type mismatch: getOReturnValue returned nothing, not a number" +
                                   doubt + "\r\n\r\nS7 2\r\n" + unusable +
                                   "Type mismatch: getOReturnValue returned 'done', not a number" +
                                   doubt + "\r\n\r\nS7 3\r\nS11\r\n\r\n");
  EXPECT_THAT(
      bed.LogMessages(),
      ElementsAre(
          "Error " + unusable + "Type mismatch: getOReturnValue returned nothing, not a number" +
              doubt + " in ProcessJobSheets",
          "Error " + unusable + "Type mismatch: getOReturnValue returned 'done', not a number" +
              doubt + " in ProcessJobSheets"));
  EXPECT_EQ(bed.installation().Scalar(
                "SELECT COUNT(*) FROM CLIENTSERVERINTERACTION WHERE ATTEMPTOPEN = 1 AND "
                "ATTEMPTCOUNT = 1 AND LASTERROR LIKE 'The ERP answered%'"),
            "2");

  // The next pass leaves them to the operator and says so.
  bed.RunPass();
  EXPECT_THAT(bed.StatusLines(), ::testing::HasSubstr("2 pending document(s) are in doubt"));
  EXPECT_EQ(bed.installation().Scalar("SELECT MAX(ATTEMPTCOUNT) FROM CLIENTSERVERINTERACTION"),
            "1");
}

TEST_P(JobSheetProcessorTest, HeadingLineFollowsTheDocumentIdParts) {
  DocumentTestBed bed(GetParam());
  bed.AddJobSheet("4711_10_3", JobSheet(""));
  bed.AddJobSheet("4711", JobSheet(""));
  bed.AddJobSheet("", JobSheet(""));
  bed.AnswerProcessJobSheet({Variant(0)});

  bed.RunPass();

  EXPECT_THAT(bed.Row("4711_10_3"), ElementsAre("10", "", kProcessedOn));
  EXPECT_THAT(bed.Row("4711"), ElementsAre("5", "<null>", "<null>"));
  EXPECT_THAT(bed.Row(""), ElementsAre("5", "<null>", "<null>"));
  EXPECT_EQ(bed.StatusLines(),
            "\r\nS16 10 S10 4711\r\nS11\r\n\r\n"
            "Subscript out of range: the business document id '4711' has no part after an "
            "underscore\r\n"
            "Subscript out of range: the business document id '' has no part after an "
            "underscore\r\n");
  EXPECT_THAT(bed.LogMessages(),
              ElementsAre("Error Subscript out of range: the business document id '4711' has no "
                          "part after an underscore in ProcessJobSheets",
                          "Error Subscript out of range: the business document id '' has no part "
                          "after an underscore in ProcessJobSheets"));
  // The failing documents got their seven objects and nothing more.
  EXPECT_EQ(bed.erp().Journal(".ProcessJobSheet(").size(), 1u);
  EXPECT_EQ(bed.erp().Journal("create ").size(), 7u + 7u + 7u + 1u);
}

TEST_P(JobSheetProcessorTest, DocumentFailuresLeaveTheRowPendingAndThePassGoesOn) {
  struct {
    const char* name;
    std::string document;
    std::vector<std::string> log;
  } cases[] = {
      {"activity without origin",
       JobSheet("", "<activity id='10' actionsperformed='RDP'>"),
       {"Error Object variable not set: the activity element has no attribute origin in "
        "ProcessJobSheets"}},
      {"inspection line without mseq",
       JobSheet("<inspections><inspection cmea='T' origin='E'><mivl>1</mivl></inspection>"
                "</inspections>"),
       {WithMessageEndApart("Error : Object variable not set: the inspection element has no "
                            "attribute mseq in GetInspectionLineDetails"),
        "Error Object required: inspection line 1 of the activity gave no inspection data in "
        "ProcessJobSheets"}},
      {"payment amount that is no number",
       "<jobsheet><serviceorder id='S' origin='E' actionsperformed=''><payments><payment>"
       "<amnt>12 EUR</amnt></payment></payments></serviceorder></jobsheet>",
       {"Error Type mismatch: the payment amount amnt '12 EUR' is not a number in "
        "ProcessJobSheets"}},
      {"no service order",
       "<jobsheet><order id='S'/></jobsheet>",
       {"Error Object variable not set: the job sheet document has no serviceorder element in "
        "ProcessJobSheets"}},
      {"service order without invoice id",
       "<jobsheet><serviceorder id='S' origin='E' actionsperformed=''><activities>"
       "<activity id='1' origin='E' actionsperformed=''/></activities></serviceorder></jobsheet>",
       {"Error Object variable not set: the serviceorder element has no attribute invoiceid in "
        "ProcessJobSheets"}},
  };
  for (const auto& c : cases) {
    DocumentTestBed bed(GetParam());
    bed.AddJobSheet("1_0", c.document);
    bed.AddJobSheet("2_0", JobSheet(""));
    bed.AnswerProcessJobSheet({Variant(0)});

    bed.RunPass();

    EXPECT_THAT(bed.Row("1_0"), ElementsAre("5", "<null>", "<null>")) << c.name;
    EXPECT_THAT(bed.Row("2_0"), ElementsAre("10", "", kProcessedOn)) << c.name;
    EXPECT_THAT(bed.LogMessages(), ElementsAreArray(c.log)) << c.name;
    // Only the second document reached the ERP.
    EXPECT_THAT(bed.erp().Journal(".ProcessJobSheet("),
                ElementsAre(HasSubstr("iJobSheetForProcess#2")))
        << c.name;
    EXPECT_THAT(bed.StatusLines(), ::testing::EndsWith("\r\nS7 2\r\nS11\r\n\r\n")) << c.name;
  }
}

TEST_P(JobSheetProcessorTest, MaterialLineWithoutLineIdIsReportedAndTheNextLineStillMapped) {
  DocumentTestBed bed(GetParam());
  bed.AddJobSheet("1_0", JobSheet("<materials><material origin='E'><item>A</item></material>"
                                  "<material lineid='2' origin='E'><item>B</item></material>"
                                  "<material lineid='3' origin='E'/></materials>"));
  bed.AnswerProcessJobSheet({Variant(-3)});

  bed.RunPass();

  EXPECT_THAT(bed.erp().Journal("MaterialRequirement#1."),
              ElementsAre("call MaterialRequirement#1.addMaterialData(Object(Nothing))",
                          "call MaterialRequirement#1.addMaterialData(Object(MaterialData#3))",
                          "call MaterialRequirement#1.addMaterialData(Object(Nothing))"));
  EXPECT_THAT(bed.erp().Journal("MaterialData#3.set"),
              ElementsAre("call MaterialData#3.setCostLineAttribute(Text(\"2\"))",
                          "call MaterialData#3.setOriginAttribute(Text(\"E\"))",
                          "call MaterialData#3.setItem(Text(\"B\"))"));
  // The ERP decides on the job sheet; its verdict is stored.
  EXPECT_THAT(bed.Row("1_0"), ElementsAre("15", "", kProcessedOn));
  EXPECT_EQ(bed.StatusLines(),
            "\r\nS7 1\r\nObject variable not set: the material element has no attribute lineid"
            "\r\nS14\r\n\r\n");
  EXPECT_THAT(bed.LogMessages(),
              ElementsAre("Error : Object variable not set: the material element has no attribute "
                          "lineid in GetMaterialDetails"));
}

TEST_P(JobSheetProcessorTest, OptionalPartsOfTheServiceOrder) {
  DocumentTestBed bed(GetParam());
  // Neither activities nor payments: the invoice id is not passed. An empty activities
  // element: the empty collection is handed over, still without invoice id. Empty details
  // hand over no object.
  bed.AddJobSheet("1_0",
                  "<jobsheet><serviceorder id='S1' origin='E' actionsperformed='' "
                  "invoiceid='I1'><details/></serviceorder></jobsheet>");
  bed.AddJobSheet("2_0",
                  "<jobsheet><serviceorder id='S2' origin='E' actionsperformed='' "
                  "invoiceid='I2'><activities/></serviceorder></jobsheet>");
  bed.AnswerProcessJobSheet({Variant(0)});

  bed.RunPass();

  EXPECT_THAT(bed.erp().Journal("call ServiceOrderData"),
              ElementsAre("call ServiceOrderData#1.setServiceOrderAttribute(Text(\"S1\"))",
                          "call ServiceOrderData#1.setOriginAttribute(Text(\"E\"))",
                          "call ServiceOrderData#1.setActionsPerformedAttribute(Text(\"\"))",
                          "call ServiceOrderData#1.setOrderDetails(Object(Nothing))",
                          "call ServiceOrderData#2.setServiceOrderAttribute(Text(\"S2\"))",
                          "call ServiceOrderData#2.setOriginAttribute(Text(\"E\"))",
                          "call ServiceOrderData#2.setActionsPerformedAttribute(Text(\"\"))",
                          "call ServiceOrderData#2.setActivitiesData(Object(ActivitiesData#2))"));
  // Nothing was added to the empty collection.
  EXPECT_THAT(bed.erp().Journal("ActivitiesData#2."), IsEmpty());
}

TEST_P(JobSheetProcessorTest, GenericFailureCodeShowsItsStatusText) {
  DocumentTestBed bed(GetParam());
  bed.AddJobSheet("1_0", JobSheet(""));
  bed.erp().Throws("JobSheetsManager", "ProcessJobSheet",
                   Error(error_number::kGenericFailure, "Unspecified error "));
  bed.erp().Throws("JobSheetsManager", "Initialize", Error(-2147221164, "Class not registered"));

  bed.AddJobSheet("2_0", JobSheet(""));
  bed.RunPass();
  // Initialize fails first, with its own description.
  EXPECT_EQ(bed.StatusLines(),
            "\r\nS7 1\r\nClass not registered\r\n\r\nS7 2\r\nClass not registered\r\n");

  bed.erp().Returns("JobSheetsManager", "Initialize", Variant());
  bed.RunPass();
  EXPECT_EQ(bed.StatusLines(), "\r\nS7 1\r\nS17\r\n\r\nS7 2\r\nS17\r\n");
  EXPECT_THAT(bed.installation().Statuses(), ElementsAre("5", "5"));
  const std::vector<std::string> log = bed.LogMessages();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[2], "Error Unspecified error in ProcessJobSheets");
}

TEST_P(JobSheetProcessorTest, RowWhoseAttemptCannotBeRecordedIsNotHandedToTheErp) {
  DocumentTestBed bed(GetParam());
  bed.AddJobSheet("1_0", JobSheet(""));
  bed.AddJobSheet("2_0", JobSheet(""));
  bed.installation().RefuseUpdatesOf("1_0", "row 1_0 is locked");
  bed.AnswerProcessJobSheet({Variant(0)});

  bed.RunPass();

  EXPECT_THAT(bed.Row("1_0"), ElementsAre("5", "<null>", "<null>"));
  EXPECT_THAT(bed.Row("2_0"), ElementsAre("10", "", kProcessedOn));
  // The database's refusal is not the ERP's failure: the box says what really happened, and
  // the ERP never saw the document.
  const std::string status = bed.StatusLines();
  EXPECT_THAT(status, ::testing::StartsWith(
                          "\r\nS7 1\r\nThe document was not handed to the ERP, because its "
                          "attempt could not be recorded in the server database: "));
  EXPECT_THAT(status, HasSubstr("row 1_0 is locked"));
  EXPECT_THAT(status, ::testing::EndsWith(
                          ". It stays pending for the next pass.\r\n\r\nS7 2\r\nS11\r\n\r\n"));
  EXPECT_THAT(bed.LogMessages(),
              ElementsAre(::testing::AllOf(HasSubstr("row 1_0 is locked"),
                                           ::testing::EndsWith(" in ProcessJobSheets"))));
  EXPECT_EQ(bed.erp().Journal(".ProcessJobSheet(").size(), 1u) << bed.erp().JournalText();
}

}  // namespace
}  // namespace tqs::broker
