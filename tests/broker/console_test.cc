#include "broker/console.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <optional>
#include <sstream>

#include "broker/text_editor.h"
#include "common/pass_lock.h"
#include "platform/db/connection.h"
#include "tests/broker/broker_test_installation.h"

namespace tqs::broker {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::ReadFile;
using testing::TestBroker;
using testing::TestInstallation;

TEST(ConsoleTest, UnattendedRunPrintsTheStatusBoxWithPlainLineEndsAndReadsNoCommands) {
  TestInstallation installation;
  installation.AddPendingRow("E100", 5, "<JBSH/>");
  TestBroker run(installation.bin());
  std::istringstream input("c\n");
  std::ostringstream output;
  EXPECT_EQ(RunConsole(run.broker(), input, output, /*prompt=*/false), kExitSuccess);
  EXPECT_EQ(output.str(),
            "|*****  Processing of pending documents started at 12/7/2026 12:49:30 PM  *****|\n"
            "Skipped: no business component is set up in USERDEFAULTS for employee E100\n"
            "\n"
            "|*****  Processing of pending documents finished  *****|\n");
  EXPECT_EQ(input.tellg(), 0);
}

TEST(ConsoleTest, ManualSessionTakesProcessOpenLogAndClose) {
  TestInstallation installation;
  installation.SetProcessingMode("Manual");
  TestBroker run(installation.bin());
  std::istringstream input("P\n\nl\nwhat\nprocess\nc\np\n");
  std::ostringstream output;
  EXPECT_EQ(RunConsole(run.broker(), input, output, /*prompt=*/false), kExitSuccess);
  const std::string printed = output.str();
  const std::string banner_start = "|*****  Processing of pending documents started at";
  // The waiting text is ended by a line feed before the first pass replaces it.
  EXPECT_THAT(printed,
              HasSubstr("press Process to feed the pending documents into the ERP, or Close to "
                        "end.\n" +
                        banner_start));
  EXPECT_THAT(printed, HasSubstr("Commands: p = Process, c = Close, l = Open VXR Log\n"));
  // Two passes of two banners each; the "p" after Close is not read.
  EXPECT_EQ(std::count(printed.begin(), printed.end(), '|'), 8);
  EXPECT_THAT(run.editor().opened, ElementsAre(installation.bin() / "CriticalErrorlog.txt"));
  EXPECT_EQ(run.window().lifecycle, Lifecycle::kUnloaded);
}

TEST(ConsoleTest, FailuresGiveExitStatusOne) {
  TestInstallation installation;
  {
    SCOPED_TRACE("configuration not found: nothing printed");
    const fs::path elsewhere = installation.bin() / "nested";
    fs::create_directories(elsewhere);
    TestBroker run(elsewhere);
    std::istringstream input("p\n");
    std::ostringstream output;
    EXPECT_EQ(RunConsole(run.broker(), input, output, false), kExitFailure);
    EXPECT_EQ(output.str(), "");
  }
  {
    SCOPED_TRACE("start-up failed, window closed at the end of the input");
    installation.Execute("DELETE FROM PARAMETERS WHERE PARAMNAME = 'DEFAULTLANGUAGE'");
    TestBroker run(installation.bin());
    std::istringstream input("");
    std::ostringstream output;
    EXPECT_EQ(RunConsole(run.broker(), input, output, false), kExitFailure);
    EXPECT_EQ(run.window().lifecycle, Lifecycle::kUnloaded);
  }
}

// Runs the built program in `working_directory` with no input and the arguments `options`;
// returns its exit status and what it printed.
struct ProgramRun {
  int exit_status = -1;
  std::string output;
};

ProgramRun RunProgram(const fs::path& working_directory, const fs::path& output_file,
                      const std::vector<std::string>& options = {}) {
  std::vector<char*> arguments{const_cast<char*>("TQSRemoteBroker")};
  for (const std::string& option : options) arguments.push_back(const_cast<char*>(option.c_str()));
  arguments.push_back(nullptr);
  const pid_t child = ::fork();
  if (child == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open(output_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(out, 2) < 0 ||
        ::chdir(working_directory.c_str()) != 0) {
      ::_exit(126);
    }
    ::execv(TQS_BROKER_PROGRAM, arguments.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(output_file)};
}

TEST(ConsoleTest, ProgramStartedInTheBinFolderOfAnInstallationMakesOnePass) {
  TestInstallation installation;
  installation.AddUser("E200", "BC200");
  installation.AddPendingRow("E100", 5, "<JBSH/>");
  installation.AddPendingRow("E100", 10, "<hour/>");
  // Types no processor takes: the run needs no ERP.
  installation.AddPendingRow("E200", 20, "<JBSH/>");
  installation.AddPendingRow("E200", 25, "<si/>");

  // The program lives in the build folder: the working directory alone leads to the
  // installation. The entry of the error log also reaches standard error (here the same file).
  const ProgramRun run = RunProgram(installation.bin(), installation.root() / "output.txt");
  EXPECT_EQ(run.exit_status, kExitSuccess);
  EXPECT_THAT(run.output, ::testing::MatchesRegex(
                              "\\|\\*\\*\\*\\*\\*  Processing of pending documents started at "
                              "[^\n]+  \\*\\*\\*\\*\\*\\|\n"
                              "TQSRemoteBroker: Error : Invalid Bus Component in ProcessJobSheets\n"
                              "Skipped: no business component is set up in USERDEFAULTS for "
                              "employee E100\n\n"
                              "\\|\\*\\*\\*\\*\\*  Processing of pending documents finished  "
                              "\\*\\*\\*\\*\\*\\|\n"));
  const std::string log = ReadFile(installation.bin() / "CriticalErrorlog.txt");
  EXPECT_THAT(log,
              ::testing::EndsWith("Error : Invalid Bus Component in ProcessJobSheets\r\n\r\n"));
  EXPECT_EQ(log.find("\r\n\r\n"), log.size() - 4);  // exactly one entry
  EXPECT_THAT(installation.Statuses(), ElementsAre("5", "5", "5", "5"));

  // Started elsewhere, the configuration is missing: the failure is logged there and the exit
  // status says so.
  const fs::path elsewhere = installation.root() / "a" / "b";
  fs::create_directories(elsewhere);
  const ProgramRun failed = RunProgram(elsewhere, installation.root() / "failed.txt");
  EXPECT_EQ(failed.exit_status, kExitFailure);
  EXPECT_THAT(ReadFile(elsewhere / "CriticalErrorlog.txt"), HasSubstr(" in Initialize\r\n"));
}

TEST(ConsoleTest, ProgramWithOnceMakesOnePassInManualModeAndReportsAnotherPass) {
  TestInstallation installation;
  installation.SetProcessingMode("Manual");
  installation.AddPendingRow("E100", 5, "<JBSH/>");
  const ProgramRun run =
      RunProgram(installation.bin(), installation.root() / "output.txt", {"--once"});
  EXPECT_EQ(run.exit_status, kExitSuccess);
  EXPECT_THAT(run.output, HasSubstr("Processing of pending documents finished"));
  EXPECT_THAT(ReadFile(installation.bin() / "CriticalErrorlog.txt"),
              HasSubstr("Invalid Bus Component in ProcessJobSheets"));

  // A pass of another broker holds the lock.
  auto other_broker = db::Connection::Open(installation.dsn());
  const auto held = PassLock::TryAcquire(installation.dsn(), *other_broker);
  ASSERT_NE(held, nullptr);
  const ProgramRun refused =
      RunProgram(installation.bin(), installation.root() / "refused.txt", {"--once"});
  EXPECT_EQ(refused.exit_status, kExitAnotherPassRunning);
  EXPECT_THAT(refused.output, HasSubstr("Another processing pass is running"));
}

TEST(EditorCommandTest, VisualThenEditorThenPagerThenLess) {
  struct Case {
    std::map<std::string, std::string, std::less<>> environment;
    std::string expected;
  };
  const Case cases[] = {
      {{{"VISUAL", "code -w"}, {"EDITOR", "vi"}, {"PAGER", "more"}}, "code -w"},
      {{{"VISUAL", "  "}, {"EDITOR", "vi"}}, "vi"},
      {{{"PAGER", "more"}}, "more"},
      {{}, "less"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EditorCommand([&](std::string_view name) -> std::optional<std::string> {
                const auto found = c.environment.find(name);
                if (found == c.environment.end()) return std::nullopt;
                return found->second;
              }),
              c.expected);
  }
}

}  // namespace
}  // namespace tqs::broker
