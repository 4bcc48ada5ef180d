// Every call the server makes into the ERP, and every object it creates there, can fail with the
// generic failure. Whichever one fails, the assignment update and the job sheet download stop at
// that call, answer false with the component's description, make no further call, hand out no
// part of a response and leave the server database as it was.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "common/error.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "server/jobsheet.h"
#include "server/schema/server_schema.h"
#include "server/thread_connection.h"
#include "tests/server/download/erp_script.h"
#include "tests/support/recording_components.h"
#include "tests/support/temp_dir.h"

namespace tqs::server {
namespace {

using automation::ObjectPtr;
using automation::Variant;
using test_support::RecordingComponents;

constexpr const char* kPrefix = "Q72dVXRsvordAssignments.";
constexpr const char* kFailure = "Unspecified error raised by the component";

std::shared_ptr<RecordingComponents> Erp() {
  auto erp = std::make_shared<RecordingComponents>();
  erp->OnCall("svbodll350002Manager", "svbodll350002updateassignments",
              [erp = erp.get()](std::span<Variant>) -> Variant {
                return erp->NewObject("Q72dVXRsvordAssignments.oResult");
              });
  erp->Returns("oResult", "getOReturnValue", std::int32_t{0});
  return erp;
}

struct Outcome {
  bool sent;
  std::string error_details;
  std::vector<std::string> journal;
};

Outcome Send(const std::shared_ptr<RecordingComponents>& erp) {
  automation::ComponentRegistry registry;
  registry.Register(kPrefix, erp);
  JobSheet job_sheet(registry);
  pugi::xml_document assignments;
  assignments.load_string(
      "<assignments><so id='4711'><a id='10' ataken='ACC' don='D1' aon='A1'/>"
      "<a id='20' ataken='REJ' don='D2' aon='A2'/></so><so id='4712'/></assignments>");
  Variant feedback = "as passed";
  Variant error_details = "stale";
  const bool sent = job_sheet.sendAssignments("1001", "BC01", assignments, feedback, error_details);
  EXPECT_EQ(feedback.AsText(), "as passed");  // never written
  return {sent, error_details.AsText(), erp->Journal()};
}

TEST(ComponentFaultsTest, GenericFailureFromAnyCallEndsTheUpdateThereWithItsDescription) {
  const Outcome clean = Send(Erp());
  ASSERT_TRUE(clean.sent);
  ASSERT_GT(clean.journal.size(), 10u);

  for (std::size_t i = 0; i < clean.journal.size(); ++i) {
    SCOPED_TRACE(clean.journal[i]);
    auto erp = Erp();
    test_support::FailFromNowOn(*erp, clean.journal[i],
                                Error(error_number::kGenericFailure, kFailure));
    const Outcome outcome = Send(erp);
    EXPECT_FALSE(outcome.sent);
    EXPECT_EQ(outcome.error_details, kFailure);
    // Nothing was called after the failing call: the journal is the clean one up to the
    // first occurrence of that call, which is where it failed.
    std::size_t first = 0;
    while (test_support::JournalObjectAndMethod(clean.journal[first]) != test_support::JournalObjectAndMethod(clean.journal[i])) ++first;
    ASSERT_EQ(outcome.journal.size(), first + 1);
    EXPECT_TRUE(
        std::equal(outcome.journal.begin(), outcome.journal.end() - 1, clean.journal.begin()));
  }
}

// A download whose ERP answers one portion: one new job sheet with every detail and one
// cancellation.
class DownloadFaults {
 public:
  DownloadFaults() {
    auto connection = db::Connection::OpenOrCreate(dsn_);
    CreateServerSchema(*connection);
    connection->Execute(
        "INSERT INTO USERDEFAULTS (LOGN, EMNO, BUSCOMPONENT) VALUES ('jdoe', 'E100', 'BC7')");
    registry_.Register("Q72dVXRsvordJobSheets.", script_.components());

    script_.AnswerAllDetails();
    const ObjectPtr order =
        script_.Object("order", {{"getServiceOrderAttribute", Variant("SO1")}});
    const ObjectPtr entry = script_.Object(
        "entry", {{"hasServiceOrderData", Variant(true)}, {"getServiceOrderData", Variant(order)}});
    const ObjectPtr cancelled =
        script_.Object("cancelled", {{"getServiceOrderAttribute", Variant("SO9")},
                                     {"getCancelledOnAttribute", Variant("20240512")},
                                     {"getCancelledReasonAttribute", Variant("R9")}});
    const ObjectPtr result = script_.Object(
        "result",
        {{"hasNewJobSheets", Variant(true)},
         {"getNewJobSheets",
          Variant(script_.List("new", "sizeJobSheetData", "getJobSheetDataAt", {Variant(entry)}))},
         {"hasAdditionJobSheets", Variant(false)},
         {"hasCancellationJobSheets", Variant(true)},
         {"getCancellationJobSheets", Variant(script_.List("cancel", "sizeCancelOrder",
                                                           "getCancelOrderAt",
                                                           {Variant(cancelled)}))}});
    const ObjectPtr response = script_.Object(
        "response", {{"getOErrorStruct", Variant(script_.List("noerrors", "sizeError",
                                                               "getErrorAt", {}))},
                     {"getOJobSheets", Variant(result)}});
    script_.erp().OnCall("JobSheetsManager", "getJobSheets", [response](std::span<Variant> args) {
      args[3] = Variant(std::int32_t{0});  // no further portion
      return Variant(response);
    });
  }

  test_support::RecordingComponents& erp() { return script_.erp(); }

  struct Outcome {
    bool sent;
    Variant job_sheets;
    Variant error_details;
  };
  Outcome Get() {
    Outcome outcome{false, Variant("previous"), Variant("stale")};
    JobSheet job_sheet(registry_);
    outcome.sent = job_sheet.getJobSheets(
        "jdoe",
        "<jobsheets><serviceorder id='SO1'><activities><activity id='10'><materials>"
        "<material lineid='1'/></materials><inspections><inspection lineid='2'/></inspections>"
        "</activity></activities></serviceorder></jobsheets>",
        dsn_, outcome.job_sheets, outcome.error_details);
    return outcome;
  }

  // Every row of the server database's two tables that a download reads or might touch.
  std::string Stored() const {
    auto connection = db::Connection::Open(dsn_);
    std::string rows;
    for (const char* sql : {"SELECT LOGN, EMNO, BUSCOMPONENT FROM USERDEFAULTS",
                            "SELECT COUNT(*) FROM CLIENTSERVERINTERACTION"}) {
      for (auto rs = db::Recordset::Open(sql, *connection); !rs->IsEOF(); rs->MoveNext()) {
        for (int field = 0; field < rs->FieldCount(); ++field) {
          rows += rs->Field(field).DebugString() + "|";
        }
        rows += "\n";
      }
    }
    return rows;
  }

 private:
  test_support::ScopedTempDir folder_;
  const std::string dsn_ = "Provider=SQLite;Data Source=" + (folder_.path() / "server.db").string();
  test_support::ErpScript script_;
  automation::ComponentRegistry registry_;
};

TEST(ComponentFaultsTest, GenericFailureFromAnyDownloadCallAnswersFalseWithoutAPartialResponse) {
  std::vector<std::string> clean;
  std::string stored;
  {
    DownloadFaults download;
    stored = download.Stored();
    const auto outcome = download.Get();
    ASSERT_TRUE(outcome.sent) << outcome.error_details.DebugString();
    ASSERT_NE(outcome.job_sheets.AsText().find("<serviceorder id='SO1'"), std::string::npos)
        << outcome.job_sheets.AsText();
    ASSERT_NE(outcome.job_sheets.AsText().find("SO9"), std::string::npos);
    clean = download.erp().Journal();
  }
  ASSERT_GT(clean.size(), 50u);

  std::set<std::pair<std::string, std::string>> tried;
  for (std::size_t i = 0; i < clean.size(); ++i) {
    // The failure strikes the first creation or call of its kind; later ones add nothing.
    if (!tried.insert(test_support::JournalObjectAndMethod(clean[i])).second) continue;
    SCOPED_TRACE(clean[i]);
    DownloadFaults download;
    test_support::FailFromNowOn(download.erp(), clean[i],
                                Error(error_number::kGenericFailure, kFailure));
    const auto outcome = download.Get();
    EXPECT_FALSE(outcome.sent);
    EXPECT_EQ(outcome.error_details, Variant(kFailure));
    // Before the ERP's answer the response is left alone; after it, it is emptied: never a part.
    EXPECT_THAT(outcome.job_sheets.AsText(), ::testing::AnyOf("previous", ""));
    const std::vector<std::string> journal = download.erp().Journal();
    ASSERT_EQ(journal.size(), i + 1) << download.erp().JournalText();
    EXPECT_TRUE(std::equal(journal.begin(), journal.end() - 1, clean.begin()));
    EXPECT_FALSE(ThreadConnection::ForCurrentThread().HoldsConnection());
    EXPECT_EQ(download.Stored(), stored);
  }
}

}  // namespace
}  // namespace tqs::server
