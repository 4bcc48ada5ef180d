// Runs that meet an unlucky transfer description, template or installation: a description that
// cannot be used stops the run before any centre is written; centre and company names that
// cannot name a file are skipped and reported, the other centres produced; each centre's files
// hold only its own rows; a second run while one is in progress is refused without touching the
// first run's log; what a killed run left is removed by the next one.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "masterdata/console_front_end.h"
#include "masterdata/output_layout.h"
#include "masterdata/run_leftovers.h"
#include "masterdata/run_lock.h"
#include "masterdata/sample_data.h"
#include "tests/masterdata/masterdata_fixture.h"

namespace tqs::masterdata {
namespace {

namespace fs = std::filesystem;
using ::testing::AllOf;
using testing::ClientRows;
using ::testing::Contains;
using testing::Description;
using ::testing::ElementsAre;
using testing::FileLines;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::LabelText;
using ::testing::Not;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

// Every regular file below `folder` outside `except`, relative to `folder`.
std::vector<std::string> FilesOutside(const fs::path& folder, const fs::path& except) {
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    const std::string relative = fs::relative(entry.path(), except).string();
    if (relative.rfind("..", 0) == 0 && !entry.is_directory()) {
      files.push_back(fs::relative(entry.path(), folder).string());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

class RunSafetyTest : public testing::MasterDataTest {};

TEST_F(RunSafetyTest, ADescriptionThatCannotBeUsedStopsTheRunBeforeAnyCentre) {
  WriteTemplate(SampleTemplateScript());
  const struct {
    const char* name;
    const char* xml;  // nullptr: no file
    const char* reason;
    std::int32_t number;
  } cases[] = {
      {"missing", nullptr, "MasterDataTransfer.Xml' does not exist", error_number::kFileNotFound},
      {"not well-formed", "<MasterData><TABLE condition='yes'>",
       "MasterDataTransfer.Xml' cannot be read: ", error_number::kGenericFailure},
      {"another root",
       "<MasterDataTransfer><TABLE condition='yes' source='X'/></MasterDataTransfer>",
       "MasterDataTransfer.Xml' has the root element <MasterDataTransfer>, not <MasterData>",
       error_number::kGenericFailure},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(bin_ / "MasterDataTransfer.Xml");
    if (c.xml != nullptr) WriteTransferDescription(c.xml);
    const auto result = Run(/*recreate=*/true);
    EXPECT_EQ(result.outcome, RunOutcome::kFailed);
    EXPECT_EQ(ExitStatusOf(result.outcome), 1);
    ASSERT_TRUE(result.error.has_value());
    EXPECT_EQ(result.error->number(), c.number);
    EXPECT_THAT(result.error->description(), HasSubstr(c.reason));
    const std::vector<std::string> log = FileLines(bin_ / "MasterDataLog.log");
    ASSERT_GE(log.size(), 2u);
    EXPECT_THAT(log[log.size() - 2], HasSubstr(LabelText("SLKRU1042")));
    EXPECT_THAT(log.back(), AllOf(HasSubstr("Run-time error '" + std::to_string(c.number) + "'"),
                                  HasSubstr(c.reason)));
    EXPECT_THAT(OutputSnapshot(), IsEmpty());
  }
}

TEST(OutputNameTest, NamesThatCannotNameAFileAndHowTheyAreShown) {
  EXPECT_EQ(CheckOutputName("NORTH", NameRole::kCentre), NameFault::kNone);
  EXPECT_EQ(CheckOutputName(" O'Brien. ", NameRole::kCentre), NameFault::kNone);
  EXPECT_EQ(CheckOutputName("...x", NameRole::kCompany), NameFault::kNone);
  EXPECT_EQ(CheckOutputName("a/b", NameRole::kCentre), NameFault::kPathSeparator);
  EXPECT_EQ(CheckOutputName("..\\..\\evil", NameRole::kCompany), NameFault::kPathSeparator);
  EXPECT_EQ(CheckOutputName("..", NameRole::kCentre), NameFault::kOnlyDots);
  EXPECT_EQ(CheckOutputName(" . ", NameRole::kCentre), NameFault::kOnlyDots);
  EXPECT_EQ(CheckOutputName("....", NameRole::kCompany), NameFault::kOnlyDots);
  EXPECT_EQ(CheckOutputName("   ", NameRole::kCentre), NameFault::kEmpty);
  EXPECT_EQ(CheckOutputName("A\tB", NameRole::kCentre), NameFault::kControlCharacter);
  EXPECT_EQ(CheckOutputName("A\x7f", NameRole::kCentre), NameFault::kControlCharacter);
  EXPECT_EQ(CheckOutputName("A\xc2\x85", NameRole::kCentre), NameFault::kControlCharacter);
  EXPECT_EQ(CheckOutputName("Z\xc3\xbcrich", NameRole::kCentre), NameFault::kNone);
  // A centre's files carry a suffix of four characters; a company folder none.
  EXPECT_EQ(CheckOutputName(std::string(251, 'W'), NameRole::kCentre), NameFault::kNone);
  EXPECT_EQ(CheckOutputName(std::string(252, 'W'), NameRole::kCentre), NameFault::kTooLong);
  EXPECT_EQ(CheckOutputName(std::string(255, 'C'), NameRole::kCompany), NameFault::kNone);
  EXPECT_EQ(CheckOutputName(std::string(256, 'C'), NameRole::kCompany), NameFault::kTooLong);

  EXPECT_EQ(QuotedName("..\\evil"), "\"..\\evil\"");
  EXPECT_EQ(QuotedName(std::string("A\tB\nC\x7f\xc2\x85\0", 9)),
            "\"A\\x09B\\x0AC\\x7F\\xC2\\x85\\x00\"");
}

constexpr std::string_view kUnsafeNamesTemplate = R"sql(
CREATE TABLE SERVICECENTERS (COMP TEXT, CWOC TEXT);
INSERT INTO SERVICECENTERS VALUES ('100', '..\..\..\..\..\evil');
INSERT INTO SERVICECENTERS VALUES ('100', 'a/b');
INSERT INTO SERVICECENTERS VALUES ('100', 'NORTH');
INSERT INTO SERVICECENTERS VALUES ('100', '..');
INSERT INTO SERVICECENTERS VALUES ('100', '  ');
INSERT INTO SERVICECENTERS VALUES ('100', NULL);
INSERT INTO SERVICECENTERS VALUES ('100', 'tab' || char(9) || 'bed');
INSERT INTO SERVICECENTERS VALUES ('..\..', 'SOUTH');
INSERT INTO SERVICECENTERS VALUES ('200', 'WEST');
CREATE TABLE CUSTOMERS (CUNO TEXT, CWOC TEXT);
INSERT INTO CUSTOMERS VALUES ('C1', 'NORTH');
INSERT INTO CUSTOMERS VALUES ('C2', 'WEST');
INSERT INTO CUSTOMERS VALUES ('C3', 'SOUTH');
)sql";

TEST_F(RunSafetyTest, UnsafeNamesAreSkippedAndReportedTheOtherCentresProduced) {
  WriteTemplate(kUnsafeNamesTemplate);
  WriteTransferDescription(
      Description({{"DELETE", "CUSTOMERS", "DELETE FROM CUSTOMERS WHERE CWOC <> {CWOC}"}}));
  const auto result = Run();
  ASSERT_EQ(result.outcome, RunOutcome::kFinishedWithSkips)
      << (result.error ? result.error->description() : "");
  EXPECT_EQ(ExitStatusOf(result.outcome), 2);

  const std::vector<std::string> skipped = {
      "Skipped service centre \"..\\..\\..\\..\\..\\evil\" of company \"100\": the centre name "
      "contains a path separator.",
      "Skipped service centre \"a/b\" of company \"100\": the centre name contains a path "
      "separator.",
      "Skipped service centre \"..\" of company \"100\": the centre name is made of dots only.",
      "Skipped service centre \"\" of company \"100\": the centre name is empty.",
      "Skipped service centre \"\" of company \"100\": the centre name is empty.",
      "Skipped service centre \"tab\\x09bed\" of company \"100\": the centre name contains a "
      "control character.",
      "Skipped service centre \"SOUTH\" of company \"..\\..\": the company name contains a path "
      "separator."};
  // Reported after the centres were read, before the first centre is written.
  const std::vector<std::string>& status = window_.status_list();
  const auto read = std::find(status.begin(), status.end(), LabelText("SLKRU0483"));
  ASSERT_NE(read, status.end());
  EXPECT_EQ(std::vector<std::string>(read + 1, read + 1 + skipped.size()), skipped);
  EXPECT_EQ(status[read + 1 + skipped.size() - status.begin()], LabelText("SLKRU1031"));
  EXPECT_THAT(status, Contains("7 service centre(s) skipped (see above): their master data was "
                               "not created."));
  EXPECT_EQ(status.back(), LabelText("SLKRU1029"));
  // The log file holds the same lines.
  EXPECT_THAT(FileLines(bin_ / "MasterDataLog.log"),
              Contains(HasSubstr(" -- " + skipped.front() + "\"")));

  // Only the master data folder got output, and only of the centres with sound names.
  EXPECT_THAT(FilesOutside(root_.path(), master_data_),
              ElementsAre("inst/Configuration.xml", "inst/bin/ClientDatabase.mdb",
                          "inst/bin/ClientDatabase.mdb-run.lock", "inst/bin/MasterDataLog.log",
                          "inst/bin/MasterDataTransfer.Xml", "inst/data/server.db",
                          "inst/web/config/VarnexConfiguration.xml"));
  EXPECT_THAT(
      OutputSnapshot(),
      ElementsAre(HasSubstr("100"), HasSubstr("100/NORTH.exe "), HasSubstr("100/NORTH.mdb "),
                  HasSubstr("200"), HasSubstr("200/WEST.exe "), HasSubstr("200/WEST.mdb ")));
  EXPECT_THAT(ClientRows(CentreDatabase("200", "WEST"), "SELECT CUNO FROM CUSTOMERS"),
              ElementsAre("C2"));
}

TEST_F(RunSafetyTest, CentresThatDifferOnlyInLetterCaseAreAllSkipped) {
  WriteTemplate(R"sql(
    CREATE TABLE SERVICECENTERS (COMP TEXT, CWOC TEXT);
    INSERT INTO SERVICECENTERS VALUES ('abc', 'North');
    INSERT INTO SERVICECENTERS VALUES ('ABC', 'SOUTH');
    INSERT INTO SERVICECENTERS VALUES ('ABC', 'NORTH');
    INSERT INTO SERVICECENTERS VALUES ('200', 'WEST');
    INSERT INTO SERVICECENTERS VALUES ('200', 'WEST');
    CREATE TABLE CUSTOMERS (CUNO TEXT, CWOC TEXT);
    INSERT INTO CUSTOMERS VALUES ('C1', 'North');
    INSERT INTO CUSTOMERS VALUES ('C2', 'NORTH');
  )sql");
  WriteTransferDescription(
      Description({{"DELETE", "CUSTOMERS", "DELETE FROM CUSTOMERS WHERE CWOC <> {CWOC}"}}));
  const auto result = Run();
  ASSERT_EQ(result.outcome, RunOutcome::kFinishedWithSkips);
  EXPECT_EQ(ExitStatusOf(result.outcome), 2);

  EXPECT_THAT(window_.status_list(),
              AllOf(Contains("Skipped service centre \"North\" of company \"abc\": its company "
                             "and centre differ only in letter case from those of service centre "
                             "\"NORTH\" of company \"ABC\"; both would write the same files."),
                    Contains("Skipped service centre \"NORTH\" of company \"ABC\": its company "
                             "and centre differ only in letter case from those of service centre "
                             "\"North\" of company \"abc\"; both would write the same files."),
                    Contains("2 service centre(s) skipped (see above): their master data was not "
                             "created.")));
  // Neither centre wrote a file; the other centre of the company and the exact duplicate
  // rows (one centre listed twice) were produced.
  EXPECT_THAT(OutputSnapshot(),
              ElementsAre(HasSubstr("200"), HasSubstr("200/WEST.exe "), HasSubstr("200/WEST.mdb "),
                          "ABC", HasSubstr("ABC/SOUTH.exe "), HasSubstr("ABC/SOUTH.mdb ")));
}

TEST_F(RunSafetyTest, EachCentreFileAndArchiveHoldOnlyItsOwnRows) {
  // Three centres of 3000 customers each, named so that a stray row is recognisable.
  WriteTemplate(R"sql(
    CREATE TABLE SERVICECENTERS (COMP TEXT, CWOC TEXT);
    INSERT INTO SERVICECENTERS VALUES ('1', 'NORTH'), ('1', 'SOUTH'), ('2', 'WEST');
    CREATE TABLE CUSTOMERS (CUNO INTEGER PRIMARY KEY, NAME TEXT, CWOC TEXT);
    WITH RECURSIVE c(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM c WHERE n < 8999)
      INSERT INTO CUSTOMERS SELECT n, centre || 'CUSTOMERNAME-' || n, centre
      FROM (SELECT n, CASE n % 3 WHEN 0 THEN 'NORTH' WHEN 1 THEN 'SOUTH' ELSE 'WEST' END
            AS centre FROM c);
  )sql");
  WriteTransferDescription(
      Description({{"DELETE", "CUSTOMERS", "DELETE FROM CUSTOMERS WHERE CWOC <> {CWOC}"}}));
  ASSERT_EQ(Run().outcome, RunOutcome::kFinished);
  const auto template_size = fs::file_size(template_);

  const struct {
    const char* company;
    const char* centre;
  } centres[] = {{"1", "NORTH"}, {"1", "SOUTH"}, {"2", "WEST"}};
  for (const auto& c : centres) {
    SCOPED_TRACE(c.centre);
    const fs::path database = CentreDatabase(c.company, c.centre);
    const std::string file = ReadAll(database);
    const auto archived = testing::ReadWithLibarchive(CentreArchive(c.company, c.centre));
    ASSERT_EQ(archived.size(), 1u);
    for (const auto& other : centres) {
      const std::string foreign = std::string(other.centre) + "CUSTOMERNAME-";
      const bool own = std::string(other.centre) == c.centre;
      EXPECT_EQ(file.find(foreign) != std::string::npos, own) << foreign;
      EXPECT_EQ(archived.front().content.find(foreign) != std::string::npos, own) << foreign;
    }
    EXPECT_LT(fs::file_size(database), template_size * 2 / 3);
    EXPECT_EQ(ClientRows(database, "SELECT COUNT(*) FROM CUSTOMERS").front(), "3000");
    EXPECT_EQ(ClientRows(database, "PRAGMA freelist_count").front(), "0");
  }
}

TEST_F(RunSafetyTest, ASecondRunWhileOneIsInProgressIsRefusedAndLeavesTheLogAlone) {
  WriteTemplate(SampleTemplateScript());
  WriteTransferDescription(SampleTransferDescription());
  const fs::path log = bin_ / "MasterDataLog.log";
  root_.WriteFile(fs::relative(log, root_.path()), "\"the running run's log\"\r\n");

  // Another run of the installation (here: a second lock in this process) holds the lock.
  std::unique_ptr<FileLock> running = TryAcquireRunLock(bin_.string());
  ASSERT_NE(running, nullptr);
  EXPECT_EQ(RunLockFile(bin_.string()), bin_ / "ClientDatabase.mdb-run.lock");
  // The same installation through a link to its program folder has the same lock.
  fs::create_directory_symlink(bin_, root_.path() / "linked-bin");
  EXPECT_EQ(TryAcquireRunLock((root_.path() / "linked-bin").string()), nullptr);

  const auto result = Run();
  EXPECT_EQ(result.outcome, RunOutcome::kAnotherRunInProgress);
  EXPECT_EQ(ExitStatusOf(result.outcome), 3);
  const std::string message = "Another master data run is in progress (process " +
                              std::to_string(::getpid()) + "); this run did not start.";
  ASSERT_TRUE(result.error.has_value());
  EXPECT_EQ(result.error->number(), error_number::kPermissionDenied);
  EXPECT_EQ(result.error->description(), message);
  EXPECT_THAT(window_.status_list(), ElementsAre(message));
  EXPECT_EQ(window_.status_label(), message);
  EXPECT_EQ(ReadAll(log), "\"the running run's log\"\r\n");
  EXPECT_THAT(OutputSnapshot(), IsEmpty());

  // The front end says it on standard error too.
  std::ostringstream out;
  std::ostringstream errors;
  ConsoleFrontEnd front_end(out, errors);
  EXPECT_EQ(front_end.RunOnce(*creator_), 3);
  EXPECT_EQ(errors.str(), "TQSRemoteCreateMasterData: " + message + "\n");

  // Released, the next run goes ahead.
  running.reset();
  EXPECT_EQ(Run().outcome, RunOutcome::kFinished);
  EXPECT_THAT(FileLines(log).front(), HasSubstr(LabelText("SLKRU0471")));
  // The run gave its lock back at its end.
  EXPECT_NE(TryAcquireRunLock(bin_.string()), nullptr);
}

TEST(RunLeftoversTest, CompactionTemporaryNames) {
  for (const char* name : {"70900.mdb", "0.mdb", "12345.mdb-journal", "500.mdb-wal", "1.mdb-shm"}) {
    EXPECT_TRUE(IsCompactionLeftover(name)) << name;
  }
  for (const char* name : {"123456.mdb", ".mdb", "ab.mdb", "12a.mdb", "12345.MDB", "12345.mdb.bak",
                           "12345.mdb-journal2", "12345.mdbx", "ClientDatabase.mdb", "12345"}) {
    EXPECT_FALSE(IsCompactionLeftover(name)) << name;
  }
}

TEST_F(RunSafetyTest, TheNextRunRemovesWhatAKilledRunLeftAndNothingElse) {
  WriteTemplate(SampleTemplateScript());
  WriteTransferDescription(SampleTransferDescription());
  for (const char* name : {"70900.mdb", "4711.mdb-journal", "4711.mdb", "12.mdb-wal", "12.mdb-shm",
                           "123456.mdb", "NORTH.mdb", "12345.mdb.bak"}) {
    root_.WriteFile(fs::relative(bin_ / name, root_.path()), "left over");
  }
  fs::create_directory(bin_ / "4242.mdb");
  const fs::path elsewhere = root_.WriteFile("elsewhere/keep.mdb", "not ours");
  fs::create_symlink(elsewhere, bin_ / "777.mdb");
  fs::create_directories(bin_ / "sub");
  root_.WriteFile(fs::relative(bin_ / "sub" / "1234.mdb", root_.path()), "another folder");

  ASSERT_EQ(Run().outcome, RunOutcome::kFinished);
  for (const char* gone :
       {"70900.mdb", "4711.mdb-journal", "4711.mdb", "12.mdb-wal", "12.mdb-shm"}) {
    EXPECT_FALSE(fs::exists(fs::symlink_status(bin_ / gone))) << gone;
  }
  for (const char* kept : {"123456.mdb", "NORTH.mdb", "12345.mdb.bak", "4242.mdb", "777.mdb",
                           "sub/1234.mdb", "ClientDatabase.mdb"}) {
    EXPECT_TRUE(fs::exists(fs::symlink_status(bin_ / kept))) << kept;
  }
  EXPECT_EQ(ReadAll(elsewhere), "not ours");
  // Each removal is logged after the run's opening lines, before the template is compacted.
  const std::vector<std::string>& status = window_.status_list();
  ASSERT_GE(status.size(), 11u);
  EXPECT_THAT(
      std::vector<std::string>(status.begin() + 5, status.begin() + 11),
      ElementsAre(
          "Removed a temporary file left by an interrupted run: " + (bin_ / "12.mdb-shm").string(),
          HasSubstr("12.mdb-wal"), HasSubstr("4711.mdb"), HasSubstr("4711.mdb-journal"),
          HasSubstr("70900.mdb"), LabelText("SLKRU1039")));
  // A run with nothing left over logs nothing about it.
  ASSERT_EQ(Run(/*recreate=*/true).outcome, RunOutcome::kFinished);
  EXPECT_THAT(window_.status_list(), Not(Contains(HasSubstr("interrupted run"))));
}

}  // namespace
}  // namespace tqs::masterdata
