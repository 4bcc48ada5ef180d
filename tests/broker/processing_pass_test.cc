#include "broker/processing_pass.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "broker/broker_window.h"
#include "broker/error_log.h"
#include "tests/broker/broker_test_installation.h"

namespace tqs::broker {
namespace {

using ::testing::ElementsAre;
using testing::FixedClock;
using ::testing::IsEmpty;
using testing::ReadFile;
using testing::TestInstallation;

constexpr const char* kStamp = "Monday, December 07, 2026 at 12:49 PM     ";
constexpr const char* kOpening = "|*****  S5:12/7/2026 12:49:30 PM  *****|\r\n";
constexpr const char* kClosing = "\r\n|*****  S15  *****|\r\n";

// Records what the pass hands on: the procedure and the window state it sees.
class RecordingProcessor final : public BusinessDocumentProcessor {
 public:
  RecordingProcessor(std::string name, const frmTQSRemoteBroker& window,
                     std::vector<std::string>& calls)
      : name_(std::move(name)), window_(window), calls_(calls) {}

  void Process() override {
    calls_.push_back(name_ + " " + window_.m_sEmployeeId + " " + window_.m_sBusComponent + " " +
                     window_.m_oBusinessDocument->document_element().name() + " " +
                     window_.m_oInteractions->Field("BUSINESSDOCUMENTID").AsText());
    if (after_call) after_call();
  }
  bool ErpRecognisesReplays() const override { return replays; }

  std::function<void()> after_call;
  bool replays = false;  // whether its ERP recognises a document sent again

 private:
  const std::string name_;
  const frmTQSRemoteBroker& window_;
  std::vector<std::string>& calls_;
};

class ProcessingPassTest : public testing::OnEachBackend {
 protected:
  void SetUp() override {
    OnEachBackend::SetUp();
    if (IsSkipped()) return;
    installation_ = std::make_unique<TestInstallation>(GetParam());
    window_.m_sErrorLogFile = (installation_->root() / "CriticalErrorlog.txt").string();
    window_.m_sConnectionString = installation_->dsn();
    // Short texts make the expected status box readable.
    for (int slot : {1, 5, 12, 13, 15})
      window_.m_asStatusText.Set(slot, "S" + std::to_string(slot));
    window_.m_asStatusText.Set(5, "S5:");
  }

  std::string Log() const { return ReadFile(window_.m_sErrorLogFile); }

  std::unique_ptr<TestInstallation> installation_;
  frmTQSRemoteBroker window_;
  FixedClock clock_;
  ErrorLog log_{clock_, RegionalSettings::EnglishUS()};
  std::vector<std::string> calls_;
  RecordingProcessor job_sheets_{"ProcessJobSheets", window_, calls_};
  RecordingProcessor general_hours_{"ProcessGeneralHours", window_, calls_};
  RecordingProcessor inspections_{"ProcessServiceInspections", window_, calls_};
  ProcessingPass pass_{window_,
                       log_,
                       {job_sheets_, general_hours_, inspections_},
                       clock_,
                       RegionalSettings::EnglishUS()};
};

TQS_INSTANTIATE_FOR_BACKENDS(ProcessingPassTest);

TEST_P(ProcessingPassTest, RoutesByTypeAndReportsAnEmployeeWithoutBusinessComponentOnce) {
  installation_->AddUser("E200", "BC200");
  installation_->AddUser("O'Neil", "BC-ON");
  installation_->AddPendingRow("E100", 5, "<JBSH/>");    // doc-1  no business component
  installation_->AddPendingRow("E200", 5, "<JBSH/>");    // doc-2
  installation_->AddPendingRow("E100", 10, "<hour/>");   // doc-3  no business component
  installation_->AddPendingRow("E200", 10, "<hour/>");   // doc-4
  installation_->AddPendingRow("E200", 15, "<si/>");     // doc-5
  installation_->AddPendingRow("E200", 20, "<x/>");      // doc-6  unknown type: skipped
  installation_->AddPendingRow("E200", 5, "<JBSH>");     // doc-7  not well-formed: skipped
  installation_->AddPendingRow("E100", 15, "<si/>");     // doc-8  no business component
  installation_->AddPendingRow("O'Neil", 5, "<JBSH/>");  // doc-9  apostrophe: looked up
  installation_->AddPendingRow("", 5, "<JBSH/>");        // doc-10 blank employee: skipped
  installation_->Execute(
      "UPDATE CLIENTSERVERINTERACTION SET INTERACTIONSTATUS = 10 "
      "WHERE BUSINESSDOCUMENTID = 'doc-2'");  // no longer pending

  pass_.processBusinessdocuments();

  EXPECT_THAT(calls_, ElementsAre("ProcessGeneralHours E200 BC200 hour doc-4",
                                  "ProcessServiceInspections E200 BC200 si doc-5",
                                  "ProcessJobSheets O'Neil BC-ON JBSH doc-9"));
  EXPECT_EQ(window_.txtProcessStatus.text(),
            std::string(kOpening) + "S1 S12 S13 E100\r\n" + kClosing);
  EXPECT_EQ(Log(),
            std::string(kStamp) + "Error : Invalid Bus Component in ProcessJobSheets\r\n\r\n");
  EXPECT_THAT(installation_->Statuses(),
              ElementsAre("5", "10", "5", "5", "5", "5", "5", "5", "5", "5"));
  // The connection and the pending set stay open after the pass.
  ASSERT_NE(window_.m_oConnection, nullptr);
  EXPECT_TRUE(window_.m_oInteractions->IsOpen());
}

TEST_P(ProcessingPassTest, BusinessComponentIsLookedUpForEveryRowOfAnEmployee) {
  installation_->AddUser("E200", "BC-first");
  for (int i = 0; i < 3; ++i) installation_->AddPendingRow("E200", 5, "<JBSH/>");
  int calls = 0;
  job_sheets_.after_call = [&] {
    if (++calls == 1) {
      installation_->Execute("UPDATE USERDEFAULTS SET BUSCOMPONENT = 'BC-second'");
    } else {
      installation_->Execute("DELETE FROM USERDEFAULTS");
    }
  };

  pass_.processBusinessdocuments();

  EXPECT_THAT(calls_, ElementsAre("ProcessJobSheets E200 BC-first JBSH doc-1",
                                  "ProcessJobSheets E200 BC-second JBSH doc-2"));
  EXPECT_EQ(window_.txtProcessStatus.text(),
            std::string(kOpening) + "S1 S12 S13 E200\r\n" + kClosing);
}

TEST_P(ProcessingPassTest, EachPassTakesTheRowsPendingAtItsStart) {
  pass_.processBusinessdocuments();
  EXPECT_EQ(window_.txtProcessStatus.text(), std::string(kOpening) + kClosing);
  EXPECT_THAT(calls_, IsEmpty());

  installation_->AddUser("E200", "BC200");
  installation_->AddPendingRow("E200", 15, "<si/>");
  pass_.processBusinessdocuments();
  EXPECT_THAT(calls_, ElementsAre("ProcessServiceInspections E200 BC200 si doc-1"));
  EXPECT_EQ(Log(), "<missing>");
}

TEST_P(ProcessingPassTest, RowsWithoutEmployeeTypeOrDocumentArePassedOverWithAMessage) {
  installation_->AddUser("E200", "BC200");
  installation_->AddPendingRow("E200", 5, "<JBSH/>");  // doc-1: no document
  installation_->AddPendingRow("E200", 5, "<JBSH/>");  // doc-2: no type
  installation_->AddPendingRow("E200", 5, "<JBSH/>");  // doc-3: no employee (sorts first)
  installation_->AddPendingRow("E200", 5, "<JBSH/>");  // doc-4
  installation_->Execute(
      "UPDATE CLIENTSERVERINTERACTION SET BUSINESSDOCUMENTCONTENTS = NULL "
      "WHERE BUSINESSDOCUMENTID = 'doc-1'");
  installation_->Execute(
      "UPDATE CLIENTSERVERINTERACTION SET BUSINESSDOCUMENTTYPE = NULL "
      "WHERE BUSINESSDOCUMENTID = 'doc-2'");
  installation_->Execute(
      "UPDATE CLIENTSERVERINTERACTION SET EMPLOYEEID = NULL "
      "WHERE BUSINESSDOCUMENTID = 'doc-3'");

  for (int pass = 0; pass < 2; ++pass) {  // never blocks a later pass either
    calls_.clear();
    window_.txtProcessStatus.SetText("");
    pass_.processBusinessdocuments();
    EXPECT_THAT(calls_, ElementsAre("ProcessJobSheets E200 BC200 JBSH doc-4"));
    EXPECT_FALSE(window_.m_bPassIncomplete);
  }
  const std::string key1 = installation_->Scalar(
      "SELECT INTERACTIONKEY FROM CLIENTSERVERINTERACTION WHERE BUSINESSDOCUMENTID = 'doc-1'");
  const std::string key2 = installation_->Scalar(
      "SELECT INTERACTIONKEY FROM CLIENTSERVERINTERACTION WHERE BUSINESSDOCUMENTID = 'doc-2'");
  const std::string key3 = installation_->Scalar(
      "SELECT INTERACTIONKEY FROM CLIENTSERVERINTERACTION WHERE BUSINESSDOCUMENTID = 'doc-3'");
  // A row without employee sorts first on one engine and last on the other.
  const std::string status = window_.txtProcessStatus.text();
  EXPECT_THAT(status, ::testing::StartsWith(kOpening));
  EXPECT_THAT(status, ::testing::EndsWith(kClosing));
  for (const std::string& line :
       {"The pending row with INTERACTIONKEY " + key3 + " has no EMPLOYEEID; it is passed over",
        "The pending row with INTERACTIONKEY " + key1 +
            " has no BUSINESSDOCUMENTCONTENTS; it is passed over",
        "The pending row with INTERACTIONKEY " + key2 +
            " has no BUSINESSDOCUMENTTYPE; it is passed over"}) {
    EXPECT_THAT(status, ::testing::HasSubstr(line + "\r\n"));
  }
  EXPECT_NE(Log().find("Error : The pending row with INTERACTIONKEY " + key3 +
                       " has no EMPLOYEEID; it is passed over in processBusinessdocuments"),
            std::string::npos);
}

TEST_P(ProcessingPassTest, AnEmployeesRowsGoInUploadOrderAndFinishedOnesAreLeftAlone) {
  installation_->AddUser("E200", "BC200");
  installation_->AddUser("E100", "BC100");
  installation_->AddPendingRow("E200", 5, "<JBSH/>");   // doc-1
  installation_->AddPendingRow("E100", 5, "<JBSH/>");   // doc-2
  installation_->AddPendingRow("E200", 10, "<hour/>");  // doc-3
  installation_->AddPendingRow("E200", 5, "<JBSH/>");   // doc-4: finished by another pass
  installation_->AddPendingRow("E200", 15, "<si/>");    // doc-5
  // A row changed after upload moves to the end of the table's storage on PostgreSQL, so an
  // order by employee alone would hand it on after the rows uploaded later.
  installation_->Execute(
      "UPDATE CLIENTSERVERINTERACTION SET BUSINESSDOCUMENTCONTENTS = "
      "BUSINESSDOCUMENTCONTENTS WHERE BUSINESSDOCUMENTID = 'doc-1'");
  job_sheets_.after_call = [&] {
    installation_->Execute(
        "UPDATE CLIENTSERVERINTERACTION SET INTERACTIONSTATUS = 10 "
        "WHERE BUSINESSDOCUMENTID = 'doc-4'");
  };

  pass_.processBusinessdocuments();

  EXPECT_THAT(calls_, ElementsAre("ProcessJobSheets E100 BC100 JBSH doc-2",
                                  "ProcessJobSheets E200 BC200 JBSH doc-1",
                                  "ProcessGeneralHours E200 BC200 hour doc-3",
                                  "ProcessServiceInspections E200 BC200 si doc-5"));
}

TEST_P(ProcessingPassTest, DocumentsInDoubtGoOnlyToAnErpThatRecognisesAReplay) {
  installation_->AddUser("E200", "BC200");
  installation_->AddPendingRow("E200", 5, "<JBSH/>");   // doc-1: in doubt
  installation_->AddPendingRow("E200", 10, "<hour/>");  // doc-2: in doubt, replays recognised
  installation_->AddPendingRow("E200", 15, "<si/>");    // doc-3: in doubt
  installation_->AddPendingRow("E200", 5, "<JBSH/>");   // doc-4: attempt closed
  installation_->Execute("UPDATE CLIENTSERVERINTERACTION SET ATTEMPTCOUNT = 1, ATTEMPTOPEN = 1");
  installation_->Execute(
      "UPDATE CLIENTSERVERINTERACTION SET ATTEMPTOPEN = 0 "
      "WHERE BUSINESSDOCUMENTID = 'doc-4'");
  general_hours_.replays = true;

  pass_.processBusinessdocuments();

  EXPECT_THAT(calls_, ElementsAre("ProcessGeneralHours E200 BC200 hour doc-2",
                                  "ProcessJobSheets E200 BC200 JBSH doc-4"));
  const std::string message =
      "2 pending document(s) are in doubt: the ERP may have booked them before an earlier pass "
      "could store the outcome. They are not sent again until an operator decides "
      "(TQSRemoteAdmin documents --in-doubt; requeue or resolve --done)";
  EXPECT_EQ(window_.txtProcessStatus.text(), std::string(kOpening) + message + "\r\n" + kClosing);
  EXPECT_EQ(Log(),
            std::string(kStamp) + "Error : " + message + " in processBusinessdocuments\r\n\r\n");
}

TEST_P(ProcessingPassTest, APassThatStopsEarlySaysSoAndMarksTheRunFailed) {
  installation_->AddUser("E200", "BC200");
  installation_->AddPendingRow("E200", 5, "<JBSH/>");
  installation_->AddPendingRow("E200", 5, "<JBSH/>");
  // The pending set's table goes away under the pass: the next row cannot be read.
  job_sheets_.after_call = [&] { window_.m_oInteractions->Close(); };

  pass_.processBusinessdocuments();

  EXPECT_TRUE(window_.m_bPassIncomplete);
  const std::string status = window_.txtProcessStatus.text();
  EXPECT_THAT(status, ::testing::HasSubstr("The processing pass stopped early: "));
  EXPECT_THAT(status, ::testing::EndsWith(
                          ". The documents not reached stay pending for the next pass.\r\n"));
  EXPECT_THAT(Log(), ::testing::HasSubstr("Error : The processing pass stopped early: "));
  EXPECT_THAT(installation_->Statuses(), ElementsAre("5", "5"));

  // A database made before attempts were recorded: nothing is processed until it is updated.
  job_sheets_.after_call = nullptr;
  calls_.clear();
  installation_->Execute("DELETE FROM PARAMETERS WHERE PARAMNAME = 'InstallationId'");
  pass_.processBusinessdocuments();
  EXPECT_THAT(calls_, IsEmpty());
  EXPECT_TRUE(window_.m_bPassIncomplete);
  EXPECT_THAT(window_.txtProcessStatus.text(), ::testing::HasSubstr("TQSRemoteAdmin init-db"));
}

TEST_P(ProcessingPassTest, FailingLookupIsReportedAndTreatedAsNoBusinessComponent) {
  installation_->AddPendingRow("E100", 5, "<JBSH/>");
  installation_->AddPendingRow("E100", 5, "<JBSH/>");
  installation_->Execute("DROP TABLE USERDEFAULTS");

  pass_.processBusinessdocuments();

  const std::string status = window_.txtProcessStatus.text();
  ASSERT_EQ(status.rfind(kOpening, 0), 0u);
  const std::string description = status.substr(
      std::string(kOpening).size(),
      status.find("\r\n", std::string(kOpening).size()) - std::string(kOpening).size());
  // The table's name as the engine spells it in its message.
  EXPECT_THAT(description, ::testing::AnyOf(::testing::HasSubstr("USERDEFAULTS"),
                                            ::testing::HasSubstr("userdefaults")));
  EXPECT_EQ(status, kOpening + description + "\r\nS1 S12 S13 E100\r\n" + kClosing);
  EXPECT_EQ(Log(), std::string(kStamp) + "Error : " + description +
                       " in RetrieveBusComponent\r\n\r\n" + kStamp +
                       "Error : Invalid Bus Component in ProcessJobSheets\r\n\r\n");
}

}  // namespace
}  // namespace tqs::broker
