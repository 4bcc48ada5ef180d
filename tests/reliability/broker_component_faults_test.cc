// Every creation and call that the broker's processors make into the ERP can fail with the
// component technology's generic failure. For a job sheet, a general hours line and a service
// inspection, each creation and call of a complete run is made to fail in turn, and the pass must
// end as the failure handlers say:
//  - a failure that the processor's own handler takes ends the document there: no further ERP
//    call, status text 17 in the status box, one entry "Error <description> in <processor>" in
//    the error log, and the row stays pending with nothing of an outcome written, to be offered
//    again at the next pass;
//  - a failure inside a procedure with a handler of its own (a mapper, the result document) is
//    reported by it ("... in GetMaterialDetails") and the processor goes on without its object;
//    the row then ends in one piece: still pending with nothing written, or finished with
//    status, result and processing time together.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "common/error.h"
#include "tests/broker/document_test_bed.h"
#include "tests/support/recording_components.h"

namespace tqs::broker {
namespace {

using automation::Variant;
using testing::DocumentTestBed;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr const char* kFailure = "Unspecified error raised by the component";
constexpr const char* kNow = "2026-12-07 12:49:30";

// A document of each kind with a value of every sort, and the ERP answers of a clean run.
struct Processor {
  const char* procedure;  // the name under which the processor's handler logs
  std::function<void(DocumentTestBed&)> prepare;  // adds the row and scripts a clean run
  // The procedure with a handler of its own that takes the failure of a journal line's
  // creation or call, "" when the processor's handler takes it.
  std::function<std::string(const std::string& object, const std::string& method)> handler;
  // The call that books the document: a failure after it leaves the document in doubt.
  const char* booking_call = "";
};

std::string LastPart(const std::string& object) { return object.substr(object.rfind('.') + 1); }

const Processor kJobSheets{
    "ProcessJobSheets",
    [](DocumentTestBed& bed) {
      bed.AddJobSheet(
          "4711_0",
          "<jobsheet><serviceorder id='SO100' origin='ERP' actionsperformed='RDP' "
          "invoiceid='INV7'><details><osta>20</osta><txta>Order text</txta></details>"
          "<activities><activity id='10' origin='ERP' actionsperformed='RDP'>"
          "<details><asta>30</asta><txtb>Call</txtb></details>"
          "<materials><material lineid='1' origin='ERP'><item>I-1</item><disc/></material>"
          "</materials><labors><labor lineid='2' origin='LAP'><ctsk>T1</ctsk></labor></labors>"
          "<hoursspent><hour lineid='3' origin='LAP'><sptm>1.5</sptm><rgdt>5/12/2004</rgdt>"
          "</hour></hoursspent><others><other lineid='4' origin='LAP'><desc>P</desc></other>"
          "</others><inspections><inspection mseq='1' cmea='TEMP' origin='ERP'>"
          "<mivl>21.5</mivl></inspection></inspections></activity></activities>"
          "<payments><payment><mpay>CASH</mpay><amnt>12.50</amnt></payment></payments>"
          "</serviceorder></jobsheet>");
      bed.AnswerProcessJobSheet({Variant(0)});
      // One order error, so that the result document asks for its parts.
      bed.erp().Returns("oErrorProcessStructForProcessJobSheet", "sizeOrderError", Variant(1));
      bed.erp().Returns("oErrorProcessStructForProcessJobSheet", "getOrderErrorAt",
                        Variant(bed.erp().NewObject("Q72dVXRsvordJobSheets.OrderError")));
      bed.erp().Returns("OrderError", "getServiceOrderAttribute", Variant("SO100"));
      bed.erp().Returns("OrderError", "getResult", Variant(0));
    },
    [](const std::string& object, const std::string& method) -> std::string {
      // The details and line mappers and the result document end their own failures. The first
      // object of each details and line kind is the processor's placeholder: its creation is
      // the processor's; the calls go to the one that the mapper creates.
      static const std::map<std::string, std::string> created_by = {
          {"OrderText", "GetOrderDetails"},          {"TextValue", "GetOrderDetails"},
          {"ActivityDetails", "GetActivityDetails"}, {"ActivityText", "GetActivityDetails"},
          {"CallText", "GetActivityDetails"},        {"SolutionText", "GetActivityDetails"}};
      static const std::map<std::string, std::string> called_by = {
          {"OrderDetails", "GetOrderDetails"},
          {"MaterialData", "GetMaterialDetails"},
          {"LaborData", "GetLaborDetails"},
          {"HourData", "GetHoursSpentDetails"},
          {"OtherData", "GetOtherDetails"},
          {"InspectionData", "GetInspectionLineDetails"},
          {"oErrorProcessStructForProcessJobSheet", "BuildProcessResult"},
          {"OrderError", "BuildProcessResult"}};
      const std::string last_part = LastPart(object);
      if (const auto found = created_by.find(last_part); found != created_by.end()) {
        return found->second;
      }
      const auto found = called_by.find(last_part);
      return !method.empty() && found != called_by.end() ? found->second : "";
    },
    ".ProcessJobSheet("};

const Processor kGeneralHours{
    "ProcessGenralHours",
    [](DocumentTestBed& bed) {
      bed.AddDocument(testing::kGeneralHoursType,
                      "<hour lineid='7'><ctsk>T1</ctsk><ccmp>CC</ccmp><chlt>HL</chlt>"
                      "<rgdt>20040512</rgdt><sptm>1.5</sptm></hour>");
      testing::AnswerHoursAccounting(bed.erp(), {});
    },
    [](const std::string& object, const std::string& method) -> std::string {
      return object == "ServiceOrderHoursAccounting" && method.starts_with("set")
                 ? "GetGeneralHoursDetails"
                 : "";
    },
    "ServiceOrderHoursAccountingManager#1.Create("};

const Processor kServiceInspections{
    "ProcessServiceInspections",
    [](DocumentTestBed& bed) {
      bed.AddDocument(testing::kServiceInspectionType,
                      "<SERVICEINSPECTION><ATTRIBUTES><ID>SI-1</ID><CCFG>CF</CCFG><CROB>OB</CROB>"
                      "<OSEQ>2</OSEQ><CSER>SN</CSER><CRAC>10</CRAC></ATTRIBUTES><INSPECTIONS>"
                      "<INSPECTION><ATTRIBUTES><CMEA>TEMP</CMEA><MSEQ>1</MSEQ><RGTM>0930</RGTM>"
                      "<MIVL>20</MIVL><MDVL>21.5</MDVL></ATTRIBUTES></INSPECTION>"
                      "<INSPECTION><ATTRIBUTES><CMEA>PRES</CMEA></ATTRIBUTES></INSPECTION>"
                      "</INSPECTIONS></SERVICEINSPECTION>");
      testing::AnswerServiceInspection(bed.erp(), {});
    },
    [](const std::string& object, const std::string&) -> std::string {
      if (LastPart(object) == "InspectionHeaderDetails") return "GetInspectionHeaderDetails";
      return LastPart(object) == "Inspection" ? "GetInspectionData" : "";
    },
    ".ProcessServiceInspection("};

// The row of the bed's only document.
std::vector<std::string> OnlyRow(DocumentTestBed& bed) {
  const std::string id =
      bed.installation().Scalar("SELECT BUSINESSDOCUMENTID FROM CLIENTSERVERINTERACTION");
  return bed.Row(id);
}

TEST(BrokerComponentFaultsTest, GenericFailureFromAnyErpCallEndsAsTheHandlerSays) {
  for (const Processor* processor : {&kJobSheets, &kGeneralHours, &kServiceInspections}) {
    SCOPED_TRACE(processor->procedure);
    std::vector<std::string> clean;
    {
      DocumentTestBed bed;
      processor->prepare(bed);
      bed.RunPass();
      ASSERT_THAT(OnlyRow(bed), ElementsAre("10", ::testing::Not("<null>"), kNow))
          << bed.StatusLines() << bed.erp().JournalText();
      ASSERT_THAT(bed.LogMessages(), ::testing::IsEmpty());
      clean = bed.erp().Journal();
    }
    ASSERT_GT(clean.size(), 10u);

    std::set<std::pair<std::string, std::string>> tried;
    for (std::size_t i = 0; i < clean.size(); ++i) {
      const auto [object, method] = test_support::JournalObjectAndMethod(clean[i]);
      // The failure strikes the first creation or call of its kind; later ones add nothing.
      if (!tried.insert({object, method}).second) continue;
      SCOPED_TRACE(clean[i]);
      DocumentTestBed bed;
      processor->prepare(bed);
      test_support::FailFromNowOn(bed.erp(), clean[i],
                                  Error(error_number::kGenericFailure, kFailure));
      bed.RunPass();

      const std::vector<std::string> row = OnlyRow(bed);
      const std::vector<std::string> log = bed.LogMessages();
      const std::vector<std::string> journal = bed.erp().Journal();
      ASSERT_FALSE(log.empty()) << "the failure went unreported";
      const std::string handler = processor->handler(object, method);
      const std::size_t booking = static_cast<std::size_t>(
          std::find_if(clean.begin(), clean.end(),
                       [&](const std::string& line) {
                         return line.find(processor->booking_call) != std::string::npos;
                       }) -
          clean.begin());
      ASSERT_LT(booking, clean.size());
      if (handler.empty() && i > booking) {
        // The ERP answered before the failure: the document may be booked, so it is in doubt.
        EXPECT_THAT(row, ElementsAre("5", "<null>", "<null>"));
        const std::string in_doubt =
            std::string("The ERP answered, but its answer cannot be used: ") + kFailure +
            ". The ERP may have booked the document; the document is in doubt and is not sent "
            "again until an operator decides (TQSRemoteAdmin documents --in-doubt).";
        EXPECT_THAT(bed.StatusLines(), EndsWith(in_doubt + "\r\n"));
        EXPECT_THAT(log, ElementsAre("Error " + in_doubt + " in " + processor->procedure));
        EXPECT_EQ(bed.installation().Scalar("SELECT ATTEMPTOPEN FROM CLIENTSERVERINTERACTION"),
                  "1");
      } else if (handler.empty()) {
        EXPECT_THAT(row, ElementsAre("5", "<null>", "<null>"));
        EXPECT_THAT(bed.StatusLines(), EndsWith("S17\r\n"));
        // The attempt is on record with its error and closed: the ERP did not take it.
        EXPECT_EQ(bed.installation().Scalar(
                      "SELECT ATTEMPTCOUNT || ' ' || ATTEMPTOPEN || ' ' || LASTERROR FROM "
                      "CLIENTSERVERINTERACTION"),
                  std::string("1 0 ") + kFailure);
        EXPECT_THAT(log, ElementsAre(std::string("Error ") + kFailure + " in " +
                                     processor->procedure));
        // Nothing was asked of the ERP after the failing call.
        ASSERT_EQ(journal.size(), i + 1) << bed.erp().JournalText();
        EXPECT_TRUE(std::equal(journal.begin(), journal.end() - 1, clean.begin()));
      } else {
        // The procedure with its own handler reports the failure and gives no object (no
        // result document); the processor goes on without it, and the row ends in one piece.
        // (Some entries end with blanks up to the next print zone.)
        EXPECT_THAT(log.front(), ::testing::AllOf(
                                     StartsWith("Error "),
                                     HasSubstr(std::string(kFailure) + " in " + handler)));
        EXPECT_THAT(bed.StatusLines(), HasSubstr(kFailure));
        if (row[0] == "5") {
          EXPECT_THAT(row, ElementsAre("5", "<null>", "<null>"));
          EXPECT_THAT(log.back(), EndsWith(std::string(" in ") + processor->procedure));
        } else {
          EXPECT_THAT(row, ElementsAre("10", ::testing::Not("<null>"), kNow));
          // Every object of the failing kind failed (a second inspection, the texts of the
          // activity too), each reported by its own handler; the processor reported nothing.
          EXPECT_THAT(log, ::testing::Each(::testing::AllOf(
                               HasSubstr(kFailure),
                               ::testing::Not(HasSubstr(std::string(" in ") +
                                                        processor->procedure)))));
        }
      }
    }
  }
}

}  // namespace
}  // namespace tqs::broker
