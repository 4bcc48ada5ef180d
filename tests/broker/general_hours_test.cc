#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "broker/general_hours_mapping.h"
#include "common/error.h"
#include "common/text.h"
#include "platform/xml/well_formedness.h"
#include "tests/broker/document_test_bed.h"
#include "tests/support/deep_xml.h"

namespace tqs::broker {
namespace {

using automation::Variant;
using test_support::RecordingComponents;
using testing::AnswerHoursAccounting;
using testing::DocumentTestBed;
using testing::kGeneralHoursType;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kNow = "2026-12-07 12:49:30";

class GeneralHoursTest : public testing::OnEachBackend {};
TQS_INSTANTIATE_FOR_BACKENDS(GeneralHoursTest);

TEST_P(GeneralHoursTest, AcceptedLineIsBookedInCallOrderAndFinishesTheRow) {
  DocumentTestBed bed(GetParam());
  bed.AddDocument(kGeneralHoursType,
                  "<hour lineid='7'><ctsk>T1</ctsk><ccmp>CC</ccmp><chlt>HL</chlt>"
                  "<rgdt>20040512</rgdt><sptm>1.5</sptm><Ctsk>not read</Ctsk></hour>");
  AnswerHoursAccounting(bed.erp(), {});

  bed.RunPass();

  EXPECT_THAT(
      bed.erp().Journal(),
      ElementsAre(
          "create TQSRCServiceOrderHoursAccounting.ServiceOrderHoursAccountingManager#1",
          "create TQSRCServiceOrderHoursAccounting.ServiceOrderHoursAccounting#1",
          "create TQSRCServiceOrderHoursAccounting.Recordset#1",
          "create TQSRCServiceOrderHoursAccounting.ServiceOrderHoursAccounting#2",
          "call ServiceOrderHoursAccounting#2.setEmployee(Text(\"E200\"))",
          "call ServiceOrderHoursAccounting#2.setTask(Text(\"T1\"))",
          "call ServiceOrderHoursAccounting#2.setCostComponent(Text(\"CC\"))",
          "call ServiceOrderHoursAccounting#2.setHourlyLaborType(Text(\"HL\"))",
          "call ServiceOrderHoursAccounting#2.setRegistrationDate(Text(\"12052004\"))",
          "call ServiceOrderHoursAccounting#2.setSpentTime(Double(1.5))",
          "call Recordset#1.addServiceOrderHoursAccounting(Object(ServiceOrderHoursAccounting#2))",
          "call ServiceOrderHoursAccountingManager#1.Initialize(Text(\"BC200\"))",
          "call ServiceOrderHoursAccountingManager#1.Create(Object(Recordset#1))",
          "call Accounting#1.getKorvoErrorDoc()", "call ErrorDoc#1.sizeKorvoErrorStructure()",
          "call Accounting#1.getRecordSet()",
          "call Recordset#2.getServiceOrderHoursAccountingAt(Int16(0))",
          "call ServiceOrderHoursAccounting#3.getLineNumber()"))
      << bed.erp().JournalText();
  EXPECT_THAT(bed.Row("doc-1"),
              ElementsAre("10", "<hour lineid='7' result='5' error='' new='42' />", kNow));
  EXPECT_EQ(bed.StatusLines(), "\r\nS8 7\r\nS11\r\n\r\n");
  EXPECT_THAT(bed.LogMessages(), IsEmpty());
}

TEST_P(GeneralHoursTest, RejectedLineReportsOnlyTheFirstErrorEscaped) {
  DocumentTestBed bed(GetParam());
  bed.AddDocument(kGeneralHoursType, "<hour lineid=\"L'7\"><sptm>2</sptm></hour>");
  AnswerHoursAccounting(bed.erp(), {"Task 'T1' <closed> & \"locked\"", "second", "third"});

  bed.RunPass();

  EXPECT_THAT(bed.erp().Journal("getKorvoErrorStructureAt"),
              ElementsAre("call ErrorDoc#1.getKorvoErrorStructureAt(Int16(0))"));
  EXPECT_THAT(bed.erp().Journal("getErrorDescription"),
              ElementsAre("call KorvoError#1.getErrorDescription()"));
  EXPECT_THAT(bed.erp().Journal("getRecordSet"), IsEmpty());
  // The line id and the error text are escaped.
  EXPECT_THAT(
      bed.Row("doc-1"),
      ElementsAre("15",
                  "<hour lineid='L&apos;7' result='10' error='Task &apos;T1&apos; &lt;closed&gt; "
                  "&amp; &quot;locked&quot;' new='0' />",
                  kNow));
  EXPECT_EQ(bed.StatusLines(), "\r\nS8 L'7\r\nS0\r\n\r\n");
}

// An error text with a control character and bytes that are not UTF-8 is stored (PostgreSQL
// refuses invalid UTF-8) as a well-formed element with U+FFFD in their place, logged once.
TEST_P(GeneralHoursTest, ErrorTextXmlCannotCarryIsRepairedAndLoggedOnce) {
  DocumentTestBed bed(GetParam());
  bed.AddDocument(kGeneralHoursType, "<hour lineid=\"L7\"><sptm>2</sptm></hour>");
  AnswerHoursAccounting(bed.erp(), {"Task\x02 T1 \xF4\x90\x80\x80 closed"});

  bed.RunPass();

  const std::string r(kReplacementCharacter);
  const std::vector<std::string> row = bed.Row("doc-1");
  ASSERT_EQ(row.size(), 3U);
  EXPECT_EQ(row[1], "<hour lineid='L7' result='10' error='Task" + r + " T1 " + r + r + r + r +
                        " closed' new='0' />");
  const std::optional<std::string> fault =
      ::tqs::xml::CheckWellFormed(row[1], ::tqs::xml::TextEncoding::kUtf8);
  EXPECT_FALSE(fault) << *fault;
  EXPECT_THAT(bed.LogMessages(), ElementsAre(::testing::AllOf(
                                     ::testing::StartsWith("Warning : the ERP's values held 5 "),
                                     ::testing::EndsWith(" in BuildGenHourProcessResult"))));
}

TEST_P(GeneralHoursTest, HourWithoutChildNodesReachesTheErpAsANullLine) {
  DocumentTestBed bed(GetParam());
  bed.AddDocument(kGeneralHoursType, "<hour lineid='9'/>");
  AnswerHoursAccounting(bed.erp(), {"no line"});

  bed.RunPass();

  EXPECT_THAT(bed.erp().Journal("create "), ::testing::SizeIs(3));
  EXPECT_THAT(bed.erp().Journal("addServiceOrderHoursAccounting"),
              ElementsAre("call Recordset#1.addServiceOrderHoursAccounting(Object(Nothing))"));
  EXPECT_EQ(bed.Row("doc-1")[0], "15");
}

// Documents and ERP answers that leave the row pending.
struct PendingCase {
  std::string name;
  std::string document;
  std::function<void(RecordingComponents&)> script;
  std::string status_lines;
  std::vector<std::string> log;
};

TEST_P(GeneralHoursTest, FailuresLeaveTheRowPendingAndAreReported) {
  const auto accepted = [](RecordingComponents& erp) { AnswerHoursAccounting(erp, {}); };
  const std::vector<PendingCase> cases = {
      {"root is not hour",
       "<generalhours><hour lineid='1'><sptm>1</sptm></hour></generalhours>",
       accepted,
       "",
       {}},
      {"no lineid",
       "<hour><sptm>1</sptm></hour>",
       accepted,
       "Invalid use of Null: the hour element has no lineid attribute\r\n",
       {"Error Invalid use of Null: the hour element has no lineid attribute in "
        "ProcessGenralHours"}},
      {"empty sptm",
       "<hour lineid='3'><sptm></sptm></hour>",
       accepted,
       "\r\nS8 3\r\nType mismatch: the spent time (sptm) '' is not a number\r\n"
       "Object required: no hours line could be made of the hour element with lineid '3'\r\n",
       {"Error : Type mismatch: the spent time (sptm) '' is not a number in "
        "GetGeneralHoursDetails",
        "Error Object required: no hours line could be made of the hour element with lineid "
        "'3' in ProcessGenralHours"}},
      {"grouping separator where none belongs",
       "<hour lineid='7'><sptm>1,5</sptm></hour>",
       accepted,
       "\r\nS8 7\r\nType mismatch: the spent time (sptm) '1,5' is not a number\r\n"
       "Object required: no hours line could be made of the hour element with lineid '7'\r\n",
       {"Error : Type mismatch: the spent time (sptm) '1,5' is not a number in "
        "GetGeneralHoursDetails",
        "Error Object required: no hours line could be made of the hour element with lineid "
        "'7' in ProcessGenralHours"}},
      {"generic failure code shows status text 17",
       "<hour lineid='4'><sptm>1</sptm></hour>",
       [](RecordingComponents& erp) {
         erp.Throws("ServiceOrderHoursAccountingManager", "Create",
                    Error(error_number::kGenericFailure, " Hours accounting is closed "));
       },
       "\r\nS8 4\r\nS17\r\n",
       {"Error Hours accounting is closed in ProcessGenralHours"}},
      {"other ERP errors show their description",
       "<hour lineid='5'><sptm>1</sptm></hour>",
       [](RecordingComponents& erp) {
         erp.Throws("ServiceOrderHoursAccountingManager", "Initialize",
                    Error(1001, "Unknown business component BC200"));
       },
       "\r\nS8 5\r\nUnknown business component BC200\r\n",
       {"Error Unknown business component BC200 in ProcessGenralHours"}},
      {"no line number",
       "<hour lineid='6'><sptm>1</sptm></hour>",
       [](RecordingComponents& erp) { AnswerHoursAccounting(erp, {}, Variant::Null()); },
       // After the ERP's answer: the line may be booked, so it is in doubt.
       "\r\nS8 6\r\nThe ERP answered, but its answer cannot be used: Invalid use of Null: "
       "getLineNumber returned null, not a number. The ERP may have booked the document; the "
       "document is in doubt and is not sent again until an operator decides (TQSRemoteAdmin "
       "documents --in-doubt).\r\n",
       {"Error The ERP answered, but its answer cannot be used: Invalid use of Null: "
        "getLineNumber returned null, not a number. The ERP may have booked the document; the "
        "document is in doubt and is not sent again until an operator decides (TQSRemoteAdmin "
        "documents --in-doubt). in ProcessGenralHours"}},
  };
  for (const PendingCase& test : cases) {
    SCOPED_TRACE(test.name);
    DocumentTestBed bed(GetParam());
    bed.AddDocument(kGeneralHoursType, test.document);
    test.script(bed.erp());

    bed.RunPass();

    EXPECT_THAT(bed.Row("doc-1"), ElementsAre("5", "<null>", "<null>"));
    EXPECT_EQ(bed.StatusLines(), test.status_lines);
    EXPECT_EQ(bed.LogMessages(), test.log);
  }
}

TEST_P(GeneralHoursTest, RowWhoseUpdateFailsStaysPendingAndThePassGoesOn) {
  DocumentTestBed bed(GetParam());
  bed.AddDocument(kGeneralHoursType, "<hour lineid='1'><sptm>1</sptm></hour>");
  bed.AddDocument(kGeneralHoursType, "<hour lineid='2'><sptm>1</sptm></hour>");
  AnswerHoursAccounting(bed.erp(), {});
  bed.installation().RefuseUpdatesOf("doc-1", "row is locked");

  bed.RunPass();

  EXPECT_THAT(bed.Row("doc-1"), ElementsAre("5", "<null>", "<null>"));
  EXPECT_THAT(bed.Row("doc-2"),
              ElementsAre("10", "<hour lineid='2' result='5' error='' new='42' />", kNow));
  // The first line never reached the ERP, and the box says why in the database's words.
  EXPECT_THAT(bed.StatusLines(),
              ::testing::AllOf(::testing::StartsWith("\r\nS8 1\r\nThe document was not handed to "
                                                     "the ERP, because its attempt could not be "
                                                     "recorded in the server database: "),
                               ::testing::EndsWith("\r\n\r\nS8 2\r\nS11\r\n\r\n")));
  EXPECT_EQ(bed.erp().Journal(".Create(").size(), 1u) << bed.erp().JournalText();
  ASSERT_THAT(bed.LogMessages(), ::testing::SizeIs(1));
  EXPECT_THAT(bed.LogMessages()[0],
              ::testing::AllOf(::testing::HasSubstr("row is locked"),
                               ::testing::EndsWith(" in ProcessGenralHours")));
}

TEST_P(GeneralHoursTest, StoredLinesThatAreNotWellFormedStayPendingAndThePassGoesOn) {
  DocumentTestBed bed(GetParam());
  bed.AddDocument(kGeneralHoursType, "<hour lineid='1'><rgdt>" + test_support::Deep("20040512") +
                                         "</rgdt><sptm>1</sptm></hour>");
  bed.AddDocument(kGeneralHoursType, "<hour lineid='2'><ctsk>&nbsp;</ctsk><sptm>1</sptm></hour>");
  bed.AddDocument(kGeneralHoursType, "<hour lineid='3'><sptm>1</sptm></hour>");
  AnswerHoursAccounting(bed.erp(), {});

  for (int pass = 0; pass < 2; ++pass) bed.RunPass();

  EXPECT_THAT(bed.Row("doc-1"), ElementsAre("5", "<null>", "<null>"));
  EXPECT_THAT(bed.Row("doc-2"), ElementsAre("5", "<null>", "<null>"));
  EXPECT_THAT(bed.Row("doc-3"),
              ElementsAre("10", "<hour lineid='3' result='5' error='' new='42' />", kNow));
  EXPECT_EQ(bed.erp().Journal(".Create(").size(), 1u) << bed.erp().JournalText();
}

TEST_P(GeneralHoursTest, SpentTimeFollowsTheRegionalSettings) {
  RegionalSettings comma = RegionalSettings::EnglishUS();
  comma.decimal_separator = ',';
  comma.grouping_separator = '.';
  DocumentTestBed bed(GetParam(), comma);
  bed.AddDocument(kGeneralHoursType, "<hour lineid='1'><sptm>1,25</sptm></hour>");
  AnswerHoursAccounting(bed.erp(), {});

  bed.RunPass();

  EXPECT_THAT(bed.erp().Journal("setSpentTime"),
              ElementsAre("call ServiceOrderHoursAccounting#2.setSpentTime(Double(1.25))"));
}

TEST(GeneralHoursMappingTest, RegistrationDateIsReorderedToDayMonthYear) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"20040512", "12052004"},
      {"2004", "2004"},
      {"200405", "052004"},
      {"2004051", "1052004"},
      {"20040512xy", "12052004"},
      {"", ""},
      // Characters, not bytes: a character is never cut in half.
      {"20040ü12", "120ü2004"},
      {"€0040512", "1205€004"}};
  for (const auto& [rgdt, expected] : cases) {
    EXPECT_EQ(RegistrationDateForErp(rgdt), expected) << rgdt;
  }
}

}  // namespace
}  // namespace tqs::broker
