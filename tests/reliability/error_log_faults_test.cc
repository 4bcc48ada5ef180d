// The disk fills up, or the log cannot be opened, while the broker writes its critical error
// log: the entry goes to standard error, naming the log, the procedure that reports goes on, and
// the entries written before stay as they were.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "broker/error_log.h"
#include "common/error.h"
#include "tests/support/temp_dir.h"

namespace tqs::broker {
namespace {

class StoppedClock final : public Clock {
 public:
  DateTime Now() const override {
    return std::chrono::local_days{std::chrono::year{2026} / 12 / 7} + std::chrono::hours{12};
  }
};

std::string Contents(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(ErrorLogFaultsTest, EntriesTheLogCannotTakeGoToStandardErrorAndTheLogKeepsItsEntries) {
  test_support::ScopedTempDir folder;
  const std::filesystem::path log_file = folder.path() / "CriticalErrorlog.txt";
  const StoppedClock clock;
  const ErrorLog log(clock, RegionalSettings::EnglishUS());
  log.WriteErrorLogEntry(log_file, "ProcessJobSheets", ErrorPrefix::kError, "first");
  const std::string before = Contents(log_file);
  ASSERT_FALSE(before.empty());

  // In a child whose files may not grow: the next entry does not fit at all, yet the write
  // returns normally. (What the child prints is cut short by the same limit: the exit status
  // says it all.)
  const auto write_with_size_limit = [&] {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit size_limit{before.size(), before.size()};
    ::setrlimit(RLIMIT_FSIZE, &size_limit);
    try {
      log.WriteErrorLogEntry(log_file, "ProcessJobSheets", ErrorPrefix::kError, "second");
    } catch (const std::exception&) {
      std::exit(1);
    }
    std::exit(0);
  };
  EXPECT_EXIT(write_with_size_limit(), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(Contents(log_file), before);

  // A log that cannot be opened (its name is taken by a folder): the whole entry reaches
  // standard error with the log's name.
  const std::filesystem::path blocked = folder.path() / "blocked";
  std::filesystem::create_directory(blocked);
  ::testing::internal::CaptureStderr();
  log.WriteErrorLogEntry(blocked, "ProcessJobSheets", ErrorPrefix::kError, "third");
  const std::string shown = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(shown.find(blocked.string()), std::string::npos) << shown;
  EXPECT_NE(shown.find("Error third in ProcessJobSheets"), std::string::npos) << shown;
}

}  // namespace
}  // namespace tqs::broker
