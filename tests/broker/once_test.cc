// A run for one pass (TQSRemoteBroker --once), as a scheduler starts it: the pass is made
// whatever PARAMETERS ProcessToKorvo says, and the exit status tells a pass that ran from one
// that could not start (database unreachable, another pass running), on each backend.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "broker/console.h"
#include "common/pass_lock.h"
#include "platform/db/connection.h"
#include "tests/broker/broker_test_installation.h"

namespace tqs::broker {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using testing::OnEachBackend;
using testing::ReadFile;
using testing::TestBroker;
using testing::TestInstallation;

constexpr const char* kPassStarted = "Processing of pending documents started";
constexpr const char* kPassFinished = "Processing of pending documents finished";

class OnceTest : public OnEachBackend {};
TQS_INSTANTIATE_FOR_BACKENDS(OnceTest);

TEST_P(OnceTest, PassRunsWhateverProcessToKorvoSaysAndAHeldLockHasItsOwnStatus) {
  TestInstallation installation(GetParam());
  installation.SetProcessingMode("Manual");
  installation.AddUser("E200", "BC200");
  // No business component for E100: the pass reports it, so the log shows that a pass ran.
  installation.AddPendingRow("E100", 5, "<JBSH/>");
  const std::filesystem::path log = installation.bin() / "CriticalErrorlog.txt";
  {
    SCOPED_TRACE("without --once the mode decides: manual, no pass");
    TestBroker run(installation.bin());
    std::istringstream input("");
    std::ostringstream output;
    EXPECT_EQ(RunConsole(run.broker(), input, output, false), kExitSuccess);
    EXPECT_THAT(output.str(), Not(HasSubstr(kPassStarted)));
    EXPECT_EQ(ReadFile(log), "<missing>");
  }
  {
    SCOPED_TRACE("--once: one pass, then the window unloads");
    TestBroker run(installation.bin(), StartMode::kOnce);
    std::ostringstream output;
    EXPECT_EQ(RunOnce(run.broker(), output), kExitSuccess);
    EXPECT_THAT(output.str(), HasSubstr(kPassStarted));
    EXPECT_THAT(output.str(), HasSubstr(kPassFinished));
    EXPECT_THAT(output.str(), HasSubstr("employee E100"));
    EXPECT_THAT(ReadFile(log), HasSubstr("Invalid Bus Component in ProcessJobSheets"));
    EXPECT_EQ(run.window().lifecycle, Lifecycle::kUnloaded);
    EXPECT_FALSE(run.window().m_bManualProcessing);
  }
  {
    SCOPED_TRACE("another pass holds the lock: status 4, no pass");
    std::filesystem::remove(log);
    auto other_broker = db::Connection::Open(installation.dsn());
    const auto held = PassLock::TryAcquire(installation.dsn(), *other_broker);
    ASSERT_NE(held, nullptr);
    TestBroker run(installation.bin(), StartMode::kOnce);
    std::ostringstream output;
    EXPECT_EQ(RunOnce(run.broker(), output), kExitAnotherPassRunning);
    EXPECT_THAT(output.str(), HasSubstr("Another processing pass is running"));
    EXPECT_THAT(output.str(), Not(HasSubstr(kPassStarted)));
    EXPECT_THAT(ReadFile(log), Not(HasSubstr("Invalid Bus Component")));
    EXPECT_EQ(run.window().lifecycle, Lifecycle::kUnloaded);
  }
  EXPECT_EQ(installation.Statuses(), std::vector<std::string>{"5"});
}

TEST(OnceStartTest, UnreachableDatabaseAndMissingConfigurationHaveTheirOwnStatuses) {
  TestInstallation installation;
  installation.AddPendingRow("E1", 10, "<hour/>");
  {
    SCOPED_TRACE("configuration not found");
    const std::filesystem::path elsewhere = installation.bin() / "nested";
    std::filesystem::create_directories(elsewhere);
    TestBroker run(elsewhere, StartMode::kOnce);
    std::ostringstream output;
    EXPECT_EQ(RunOnce(run.broker(), output), kExitFailure);
  }
  {
    SCOPED_TRACE("a start-up failure other than the database: status 1");
    installation.Execute(
        "UPDATE PARAMETERS SET PARAMVALUE = 'x' WHERE PARAMNAME = "
        "'DEFAULTLANGUAGE'");
    TestBroker run(installation.bin(), StartMode::kOnce);
    std::ostringstream output;
    EXPECT_EQ(RunOnce(run.broker(), output), kExitFailure);
    EXPECT_EQ(run.window().lifecycle, Lifecycle::kUnloaded);
    installation.Execute(
        "UPDATE PARAMETERS SET PARAMVALUE = '1033' WHERE PARAMNAME = "
        "'DEFAULTLANGUAGE'");
  }
  {
    SCOPED_TRACE("the configuration names a PostgreSQL server that does not run");
    const std::filesystem::path config =
        installation.root() / "web" / "config" / "VarnexConfiguration.xml";
    std::string text = ReadFile(config);
    const std::string down = "Provider=PostgreSQL;Host=" + installation.root().string() +
                             ";Port=5999;Database=tqs;User ID=tqs";
    text.replace(text.find(installation.dsn()), installation.dsn().size(), down);
    std::ofstream(config, std::ios::binary | std::ios::trunc) << text;
    TestBroker run(installation.bin(), StartMode::kOnce);
    std::ostringstream output;
    EXPECT_EQ(RunOnce(run.broker(), output), kExitDatabaseUnreachable);
    EXPECT_THAT(output.str(), HasSubstr(".s.PGSQL.5999"));
    EXPECT_EQ(run.window().lifecycle, Lifecycle::kUnloaded);
  }
  EXPECT_EQ(installation.Statuses(), std::vector<std::string>{"5"});
}

}  // namespace
}  // namespace tqs::broker
