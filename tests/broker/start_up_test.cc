#include "broker/start_up.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "broker/broker.h"
#include "server/schema/server_schema.h"
#include "tests/broker/broker_test_installation.h"

namespace tqs::broker {
namespace {

namespace fs = std::filesystem;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using testing::ReadFile;
using ::testing::StartsWith;
using testing::TestBroker;
using testing::TestInstallation;

constexpr const char* kStamp = "Monday, December 07, 2026 at 12:49 PM     ";

std::string Text(const std::string& label) {
  for (const auto& row : server::DefaultLabels()) {
    if (row.label == label && row.locale_id == 1033) return row.text;
  }
  return "<no default " + label + ">";
}

std::string OpeningBanner() {
  return "|*****  " + Text("SLKRU0505") + "12/7/2026 12:49:30 PM  *****|\r\n";
}

std::string ClosingBanner() { return "\r\n|*****  " + Text("SLKRU0515") + "  *****|\r\n"; }

void RemoveDatabase(const TestInstallation& installation) {
  for (const char* suffix : {"", "-wal", "-shm"}) {
    fs::remove(installation.database_file().string() + suffix);
  }
}

TEST(StartUpTest, AutoAfterTrimmingBlanksRunsOnePassAnythingElseWaitsForTheOperator) {
  struct Case {
    std::optional<std::string> mode;  // nullopt: no ProcessToKorvo row
    bool unattended;
  };
  const Case cases[] = {{"Auto", true},   {"  Auto  ", true}, {"auto", false},      {"AUTO", false},
                        {"Auto.", false}, {"", false},        {std::nullopt, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode.value_or("<no row>"));
    TestInstallation installation;
    if (c.mode) {
      installation.SetProcessingMode(*c.mode);
    } else {
      installation.Execute("DELETE FROM PARAMETERS WHERE PARAMNAME = 'ProcessToKorvo'");
    }
    TestBroker run(installation.bin());
    run.broker().Form_Load();
    const frmTQSRemoteBroker& window = run.window();
    EXPECT_EQ(window.m_bManualProcessing, !c.unattended);
    EXPECT_EQ(window.m_oConnection, nullptr);
    if (c.unattended) {
      EXPECT_EQ(window.lifecycle, Lifecycle::kUnloaded);
      EXPECT_EQ(window.window_state, WindowState::kMinimized);
      EXPECT_EQ(window.txtProcessStatus.text(), OpeningBanner() + ClosingBanner());
    } else {
      EXPECT_EQ(window.lifecycle, Lifecycle::kLoaded);
      EXPECT_EQ(window.window_state, WindowState::kNormal);
      EXPECT_TRUE(window.cmdClose.enabled);
      EXPECT_EQ(window.txtProcessStatus.text(), Text("SLKRU0504"));
    }
    EXPECT_EQ(ReadFile(installation.bin() / "CriticalErrorlog.txt"), "<missing>");
  }
}

TEST(StartUpTest, WorkingDirectoryDecidesWhereConfigurationAndLogAreFound) {
  TestInstallation installation;
  installation.AddPendingRow("E100", 5, "<JBSH/>");  // no USERDEFAULTS row: one log entry

  // Any folder one level below the installation finds ..\Configuration.xml and ..\web.
  const fs::path other = installation.root() / "scripts";
  fs::create_directories(other);
  TestBroker from_other(other);
  from_other.broker().Form_Load();
  EXPECT_EQ(from_other.window().lifecycle, Lifecycle::kUnloaded);
  EXPECT_EQ(from_other.window().m_sErrorLogFile, (other / "CriticalErrorlog.txt").string());
  EXPECT_EQ(ReadFile(other / "CriticalErrorlog.txt"),
            std::string(kStamp) + "Error : Invalid Bus Component in ProcessJobSheets\r\n\r\n");
  EXPECT_EQ(ReadFile(installation.bin() / "CriticalErrorlog.txt"), "<missing>");

  // One level deeper there is no ..\Configuration.xml: Initialize fails, logs where it runs
  // and ends the program without any status text.
  const fs::path nested = installation.bin() / "nested";
  fs::create_directories(nested);
  TestBroker from_nested(nested);
  from_nested.broker().Form_Load();
  EXPECT_EQ(from_nested.window().lifecycle, Lifecycle::kEnded);
  EXPECT_EQ(from_nested.window().txtProcessStatus.text(), "");
  EXPECT_EQ(from_nested.window().m_sConnectionString, "");
  const std::string log = ReadFile(nested / "CriticalErrorlog.txt");
  EXPECT_THAT(log, StartsWith(std::string(kStamp) + "Error : "));
  EXPECT_THAT(log, HasSubstr("Configuration.xml"));
  EXPECT_THAT(log, EndsWith(" in Initialize\r\n\r\n"));
  EXPECT_EQ(installation.Statuses(), std::vector<std::string>{"5"});
}

TEST(StartUpTest, SixtySecondLabelRowFailsStartUpThroughFormLoad) {
  TestInstallation installation;
  for (int i = 1; i <= 44; ++i) {
    installation.Execute(
        "INSERT INTO I18NText (LOCALEID, LABEL, TEXT, pagecontext) VALUES "
        "(1033, 'SLKRU0516_" +
        std::to_string(100 + i) + "', 'x', 'Extra')");
  }
  installation.AddPendingRow("E100", 5, "<JBSH/>");
  TestBroker run(installation.bin());
  run.broker().Form_Load();
  const frmTQSRemoteBroker& window = run.window();
  const std::string description =
      "Subscript out of range: status text slot 61 does not exist (the table has slots 0 to 60)";
  EXPECT_EQ(window.lifecycle, Lifecycle::kLoaded);
  EXPECT_FALSE(window.m_bManualProcessing);
  EXPECT_EQ(window.m_oConnection, nullptr);
  EXPECT_EQ(window.txtProcessStatus.text(), description + "\r\n");
  EXPECT_EQ(ReadFile(installation.bin() / "CriticalErrorlog.txt"),
            std::string(kStamp) + "Error " + description + " in Form_Load\r\n\r\n");

  // The window waits; Process then runs one minimised pass and ends the program.
  run.broker().cmdProcess_Click();
  EXPECT_EQ(window.window_state, WindowState::kMinimized);
  EXPECT_EQ(window.lifecycle, Lifecycle::kUnloaded);
}

TEST(StartUpTest, DatabaseThatCannotBeOpenedShowsTheOpenDatabaseLineAndThePassStopsEarly) {
  TestInstallation installation;
  installation.SetProcessingMode("Manual");
  TestBroker run(installation.bin());
  run.broker().Form_Load();
  ASSERT_TRUE(run.window().m_bManualProcessing);

  RemoveDatabase(installation);
  run.broker().cmdProcess_Click();
  const frmTQSRemoteBroker& window = run.window();
  const std::string status = window.txtProcessStatus.text();
  // CR LF + description + " " + text 2 + " " + text 9 + CR LF, then why the pass stopped.
  ASSERT_THAT(status, StartsWith("\r\n"));
  const std::string description = status.substr(2, status.find(' ' + Text("SLKRU0502")) - 2);
  EXPECT_THAT(description, HasSubstr("server.db"));
  const std::string stopped =
      "The processing pass stopped early: The connection cannot be used to perform this "
      "operation: the server database is not open. The documents not reached stay pending for "
      "the next pass.";
  EXPECT_EQ(status, "\r\n" + description + " " + Text("SLKRU0502") + " " + Text("SLKRU0509") +
                        "\r\n" + stopped + "\r\n");
  EXPECT_EQ(window.m_oConnection, nullptr);
  EXPECT_TRUE(window.cmdClose.enabled);
  EXPECT_TRUE(window.m_bPassIncomplete);  // closing the session reports the failure
  EXPECT_EQ(ReadFile(installation.bin() / "CriticalErrorlog.txt"),
            std::string(kStamp) + "Error " + description + " in OpenDatabase\r\n\r\n" + kStamp +
                "Error : " + stopped + " in processBusinessdocuments\r\n\r\n");
}

TEST(StartUpTest, DatabaseMissingAtStartUpReportsEachFailingStepAndKeepsTheWindowOpen) {
  TestInstallation installation;
  RemoveDatabase(installation);
  TestBroker run(installation.bin());
  run.broker().Form_Load();
  const frmTQSRemoteBroker& window = run.window();
  EXPECT_EQ(window.lifecycle, Lifecycle::kLoaded);
  EXPECT_FALSE(window.m_bManualProcessing);
  // The texts are not loaded yet: the failure line has empty texts. Then get_LocaleID and the
  // label query fail for want of a connection.
  const std::string status = window.txtProcessStatus.text();
  const std::string open_failure = status.substr(0, status.find("  \r\n") + 4);
  EXPECT_THAT(open_failure, StartsWith("\r\n"));
  const std::string no_connection =
      "The connection cannot be used to perform this operation: the server database is not "
      "open\r\n";
  EXPECT_EQ(status, open_failure + no_connection + no_connection);
  const std::string log = ReadFile(installation.bin() / "CriticalErrorlog.txt");
  EXPECT_THAT(log, HasSubstr(" in OpenDatabase\r\n\r\n" + std::string(kStamp) + "Error The "));
  EXPECT_THAT(log, HasSubstr(" in get_LocaleID\r\n\r\n" + std::string(kStamp) + "Error The "));
  EXPECT_THAT(log, EndsWith(" in Form_Load\r\n\r\n"));

  // Process: the pass shows the failure line again, says it stopped, and ends without banners.
  run.broker().cmdProcess_Click();
  EXPECT_EQ(window.txtProcessStatus.text(),
            open_failure + "The processing pass stopped early: " +
                no_connection.substr(0, no_connection.size() - 2) +
                ". The documents not reached stay pending for the next pass.\r\n");
  EXPECT_EQ(window.lifecycle, Lifecycle::kUnloaded);
  EXPECT_TRUE(window.m_bPassIncomplete);
}

}  // namespace
}  // namespace tqs::broker
