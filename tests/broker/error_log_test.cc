#include "broker/error_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <thread>
#include <vector>

#include "tests/broker/broker_test_installation.h"
#include "tests/support/error_testing.h"

namespace tqs::broker {
namespace {

using testing::FixedClock;
using ::testing::HasSubstr;
using testing::ReadFile;
using testing::TestNow;

struct EntryCase {
  const char* procedure;
  ErrorPrefix prefix;
  const char* description;
  MessageEnd end;
  const char* expected;
};

TEST(ErrorLogTest, EntryTextHasStampZoneSeparatorTrimmedMessageAndCrLfLines) {
  const FixedClock clock;
  const ErrorLog log(clock, RegionalSettings::EnglishUS());
  // The stamp is 37 columns wide, so the message starts at the zone boundary 42.
  const EntryCase cases[] = {
      {"OpenDatabase", ErrorPrefix::kError, "  Unable to open the database file ",
       MessageEnd::kJoined,
       "Monday, December 07, 2026 at 12:49 PM     Error Unable to open the database file in "
       "OpenDatabase\r\n\r\n"},
      {"Initialize", ErrorPrefix::kErrorColon, "File not found", MessageEnd::kJoined,
       "Monday, December 07, 2026 at 12:49 PM     Error : File not found in Initialize\r\n\r\n"},
      // The line end as a third item: the message ends at column 86, blanks up to 98 follow.
      {"GetInspectionLineDetails", ErrorPrefix::kErrorColon, "Overflow", MessageEnd::kSeparateItem,
       "Monday, December 07, 2026 at 12:49 PM     Error : Overflow in GetInspectionLineDetails"
       "            \r\n\r\n"},
  };
  for (const EntryCase& c : cases) {
    EXPECT_EQ(log.FormatEntry(TestNow(), c.procedure, c.prefix, c.description, c.end), c.expected)
        << c.procedure;
  }
}

TEST(ErrorLogTest, SeparatorAlwaysMovesToTheNextPrintZone) {
  const FixedClock clock;
  RegionalSettings settings = RegionalSettings::EnglishUS();
  // "Mon, December 07, 2026 at 12:49 PM" is 34 wide: zone 42. With an 11-letter day name the
  // stamp is 42 wide, exactly on a boundary: the message moves on to 56.
  settings.day_names[1] = "Mon";
  EXPECT_EQ(ErrorLog(clock, settings).FormatEntry(TestNow(), "P", ErrorPrefix::kError, "x"),
            "Mon, December 07, 2026 at 12:49 PM" + std::string(8, ' ') + "Error x in P\r\n\r\n");
  settings.day_names[1] = "Mondaymon";
  EXPECT_EQ(
      ErrorLog(clock, settings).FormatEntry(TestNow(), "P", ErrorPrefix::kError, "x"),
      "Mondaymon, December 07, 2026 at 12:49 PM" + std::string(2, ' ') + "Error x in P\r\n\r\n");
  settings.day_names[1] = "Mondaymonda";
  EXPECT_EQ(
      ErrorLog(clock, settings).FormatEntry(TestNow(), "P", ErrorPrefix::kError, "x"),
      "Mondaymonda, December 07, 2026 at 12:49 PM" + std::string(14, ' ') + "Error x in P\r\n\r\n");
  // Columns count characters, not bytes: "Montag" with an umlaut in the month.
  settings.day_names[1] = "Montag";
  settings.month_names[11] = "D\xC3\xA4zember";
  EXPECT_EQ(ErrorLog(clock, settings).FormatEntry(TestNow(), "P", ErrorPrefix::kError, "x"),
            "Montag, D\xC3\xA4zember 07, 2026 at 12:49 PM" + std::string(5, ' ') +
                "Error x in P\r\n\r\n");
}

// Each entry is appended to the file and, for the journal, shown as one line on standard
// error; an entry the file cannot take is shown whole, naming the file.
TEST(ErrorLogTest, EntriesAreAppendedToTheFileAndShownOnStandardError) {
  test_support::ScopedTempDir folder;
  const FixedClock clock;
  std::ostringstream echo;
  const ErrorLog log(clock, RegionalSettings::EnglishUS(), echo);
  const auto file = folder.WriteFile("CriticalErrorlog.txt", "earlier entry\r\n");
  log.WriteErrorLogEntry(file, "get_LocaleID", ErrorPrefix::kError, "first");
  log.WriteErrorLogEntry(file, "cmdProcess_Click", ErrorPrefix::kErrorColon,
                         " second\r\nline\nthird ");
  EXPECT_EQ(ReadFile(file),
            "earlier entry\r\n"
            "Monday, December 07, 2026 at 12:49 PM     Error first in get_LocaleID\r\n\r\n"
            "Monday, December 07, 2026 at 12:49 PM     Error : second\r\nline\nthird in "
            "cmdProcess_Click\r\n\r\n");
  EXPECT_EQ(echo.str(),
            "TQSRemoteBroker: Error first in get_LocaleID\n"
            "TQSRemoteBroker: Error : second line third in cmdProcess_Click\n");

  // By default the lines go to standard error.
  const ErrorLog default_log(clock, RegionalSettings::EnglishUS());
  ::testing::internal::CaptureStderr();
  default_log.WriteErrorLogEntry(file, "Initialize", ErrorPrefix::kWarningColon, "y");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "TQSRemoteBroker: Warning : y in Initialize\n");

  const auto missing = folder.path() / "no-such-folder" / "CriticalErrorlog.txt";
  ::testing::internal::CaptureStderr();
  default_log.WriteErrorLogEntry(missing, "Initialize", ErrorPrefix::kErrorColon, "x");
  const std::string shown = ::testing::internal::GetCapturedStderr();
  EXPECT_THAT(shown, HasSubstr(missing.string()));
  EXPECT_THAT(shown, HasSubstr("Error : x in Initialize"));
  EXPECT_FALSE(std::filesystem::exists(missing.parent_path()));
}

TEST(ErrorLogTest, EntriesOfConcurrentWritersStayWhole) {
  test_support::ScopedTempDir folder;
  const FixedClock clock;
  std::ostringstream echo;
  const ErrorLog log(clock, RegionalSettings::EnglishUS(), echo);
  const auto file = folder.path() / "CriticalErrorlog.txt";
  constexpr int kThreads = 8;
  constexpr int kEntries = 200;
  // Long descriptions, so that an entry written in pieces would show.
  const std::string filler(3000, 'x');
  {
    std::vector<std::jthread> writers;
    for (int t = 0; t < kThreads; ++t) {
      writers.emplace_back([&, t] {
        for (int e = 0; e < kEntries; ++e) {
          log.WriteErrorLogEntry(file, "Worker" + std::to_string(t), ErrorPrefix::kErrorColon,
                                 filler + std::to_string(e));
        }
      });
    }
  }
  const std::string text = ReadFile(file);
  const std::string stamp = "Monday, December 07, 2026 at 12:49 PM     Error : " + filler;
  std::size_t entries = 0;
  for (std::size_t at = 0; at < text.size(); ++entries) {
    ASSERT_EQ(text.compare(at, stamp.size(), stamp), 0) << "entry " << entries << " broken";
    const std::size_t end = text.find("\r\n\r\n", at);
    ASSERT_NE(end, std::string::npos);
    EXPECT_THAT(text.substr(at + stamp.size(), end - at - stamp.size()),
                ::testing::MatchesRegex("[0-9]+ in Worker[0-9]"));
    at = end + 4;
  }
  EXPECT_EQ(entries, static_cast<std::size_t>(kThreads * kEntries));
  const std::string shown = echo.str();
  EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), kThreads * kEntries);
}

}  // namespace
}  // namespace tqs::broker
