// The disk fills up while the master data program writes a centre database: in a child process
// whose files may not grow beyond a limit, the copy of the template fits but the cut-down
// centre database does not. The run must stop with the platform's error report in the run log
// and the status list, no archive may be left that is not complete and sound (a laptop unpacks
// whatever archive it finds), and the next run, with room again, must write everything.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <utility>

#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "tests/masterdata/masterdata_fixture.h"
#include "tests/support/temp_dir.h"

namespace tqs::masterdata {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr int kRows = 20000;

// Two centres of two companies; NUMBERS holds kRows rows of some 100 bytes each.
const std::string kTemplate = R"sql(
  CREATE TABLE SERVICECENTERS (COMP TEXT, CWOC TEXT);
  INSERT INTO SERVICECENTERS VALUES ('100', 'NORTH');
  INSERT INTO SERVICECENTERS VALUES ('200', 'WEST');
  CREATE TABLE NUMBERS (N INTEGER, TEXTVALUE TEXT);
  WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < )sql" +
                              std::to_string(kRows) + R"sql()
    INSERT INTO NUMBERS SELECT n, printf('%0100d', n) FROM c;
)sql";

// Each centre's NUMBERS is emptied and receives every row twice: the centre database ends
// twice the template's size.
constexpr const char* kDoublingDescription =
    "<MasterData><TABLE condition='yes' source='NUMBERS'><ConditionSQL type='APPEND'>"
    "<![CDATA[SELECT * FROM NUMBERS UNION ALL SELECT * FROM NUMBERS]]></ConditionSQL></TABLE>"
    "</MasterData>";

// The rows of NUMBERS in the database that the self-extracting archive holds, unpacked as a
// laptop unpacks it; -1 when it does not unpack or the database is not sound.
int ArchivedRows(const fs::path& archive, const std::string& database_name) {
  test_support::ScopedTempDir unpacked;
  const std::string command = "cd '" + unpacked.path().string() + "' && sh '" + archive.string() +
                              "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return -1;
  const std::string dsn = "Provider=SQLite;Data Source=" + (unpacked.path() / database_name).string();
  auto connection = db::Connection::Open(dsn);
  if (db::Recordset::Open("PRAGMA integrity_check", *connection)->Field(0).AsText() != "ok") {
    return -1;
  }
  return db::Recordset::Open("SELECT COUNT(*) FROM NUMBERS", *connection)->Field(0).AsInt32();
}

class MasterDataFaultsTest : public testing::MasterDataTest {
 protected:
  // Every archive of the output is complete: it unpacks to a sound database holding both copies.
  void ExpectEveryArchiveComplete() {
    for (const auto& [company, centre] : {std::pair{"100", "NORTH"}, std::pair{"200", "WEST"}}) {
      const fs::path archive = CentreArchive(company, centre);
      if (!fs::exists(archive)) continue;
      SCOPED_TRACE(archive.string());
      EXPECT_EQ(ArchivedRows(archive, std::string(centre) + ".mdb"), 2 * kRows);
    }
  }
};

TEST_F(MasterDataFaultsTest, DiskFullWhileWritingACentreDatabaseStopsTheRunAndTheNextRunSucceeds) {
  WriteTemplate(kTemplate);
  WriteTransferDescription(kDoublingDescription);
  ASSERT_EQ(Run().outcome, RunOutcome::kFinished);
  ExpectEveryArchiveComplete();
  const std::uintmax_t template_size = fs::file_size(template_);

  const auto run_with_full_disk = [&] {
    ::signal(SIGXFSZ, SIG_IGN);  // the write then fails with EFBIG instead of killing us
    // Room for a copy of the template and the logs, not for a centre database twice as large.
    const rlim_t limit = template_size + template_size / 4;
    const rlimit size_limit{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &size_limit);
    const auto result = Run(/*recreate=*/true);
    std::cerr << (result.error ? result.error->description() : "no error") << "\n";
    for (const std::string& line : window_.status_list()) std::cerr << line << "\n";
    const bool reported = result.outcome == RunOutcome::kFailed && result.error &&
                          window_.status_list().back().starts_with("Run-time error '") &&
                          !creator_->log().IsOpen();
    std::exit(reported ? 0 : 1);
  };
  EXPECT_EXIT(run_with_full_disk(), ::testing::ExitedWithCode(0), "");

  // The run log ends with the report; nothing is left that a laptop would take as good.
  EXPECT_THAT(testing::FileLines(bin_ / "MasterDataLog.log").back(),
              ::testing::AllOf(HasSubstr("Run-time error '"), HasSubstr("NUMBERS")));
  ExpectEveryArchiveComplete();
  if (fs::exists(CentreDatabase("100", "NORTH"))) {
    // Left as written so far: a sound database whose copy of the rows was undone whole.
    EXPECT_THAT(testing::ClientRows(CentreDatabase("100", "NORTH"), "PRAGMA integrity_check"),
                ::testing::ElementsAre("ok"));
    EXPECT_THAT(testing::ClientRows(CentreDatabase("100", "NORTH"), "SELECT COUNT(*) FROM NUMBERS"),
                ::testing::AnyOf(::testing::ElementsAre(std::to_string(kRows)),
                                 ::testing::ElementsAre(std::to_string(2 * kRows))));
  }

  // With room again, the next run writes every centre.
  const auto again = Run(/*recreate=*/true);
  ASSERT_EQ(again.outcome, RunOutcome::kFinished)
      << (again.error ? again.error->description() : "");
  for (const auto& [company, centre] : {std::pair{"100", "NORTH"}, std::pair{"200", "WEST"}}) {
    ASSERT_TRUE(fs::exists(CentreArchive(company, centre))) << centre;
    EXPECT_THAT(testing::ClientRows(CentreDatabase(company, centre), "SELECT COUNT(*) FROM NUMBERS"),
                ::testing::ElementsAre(std::to_string(2 * kRows)));
  }
  ExpectEveryArchiveComplete();
}

}  // namespace
}  // namespace tqs::masterdata
