// Compaction of a client database in place: the compact copy replaces the file only when no
// one else holds it open, and a failure leaves the file as it was.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "masterdata/database_compactor.h"
#include "platform/db/connection.h"
#include "tests/masterdata/masterdata_fixture.h"
#include "tests/support/error_testing.h"
#include "tests/support/temp_dir.h"

namespace tqs::masterdata {
namespace {

namespace fs = std::filesystem;
using test_support::ErrorDescriptionOf;
using test_support::ScopedTempDir;
using testing::ClientRows;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// A database whose most rows were deleted: compaction has pages to give back.
fs::path SparseDatabase(const ScopedTempDir& dir) {
  const fs::path path = dir.path() / "ClientDatabase.mdb";
  testing::CreateClientDatabase(path, R"sql(
    CREATE TABLE T (N INTEGER, PAD TEXT);
    WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 3000)
      INSERT INTO T SELECT n, printf('%.500c', 'x') FROM c;
    DELETE FROM T WHERE N > 10;
  )sql");
  return path;
}

// A child process that holds `path` open until `release` is closed.
class OtherProcess {
 public:
  explicit OtherProcess(const fs::path& path) {
    int pipe_ends[2];
    if (::pipe(pipe_ends) != 0) throw std::runtime_error("pipe");
    int ready[2];
    if (::pipe(ready) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(pipe_ends[1]);
      ::close(ready[0]);
      const int fd = ::open(path.c_str(), O_RDONLY);
      char byte = fd >= 0 ? 'y' : 'n';
      (void)!::write(ready[1], &byte, 1);
      (void)!::read(pipe_ends[0], &byte, 1);  // until the parent closes its end
      ::_exit(0);
    }
    ::close(pipe_ends[0]);
    ::close(ready[1]);
    release_ = pipe_ends[1];
    char byte = 'n';
    (void)!::read(ready[0], &byte, 1);
    ::close(ready[0]);
    opened_ = byte == 'y';
  }
  ~OtherProcess() {
    ::close(release_);
    ::waitpid(pid_, nullptr, 0);
  }
  bool opened() const { return opened_; }
  int pid() const { return static_cast<int>(pid_); }

 private:
  pid_t pid_ = -1;
  int release_ = -1;
  bool opened_ = false;
};

TEST(DatabaseCompactorTest, ReplacesTheFileWithACompactCopyKeepingRowsAndMode) {
  ScopedTempDir dir;
  const fs::path database = SparseDatabase(dir);
  fs::permissions(database, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const auto size = fs::file_size(database);

  DatabaseCompactor().CompactInPlace(database, dir.path() / "70900.mdb");

  EXPECT_LT(fs::file_size(database) * 10, size);
  EXPECT_THAT(ClientRows(database, "SELECT COUNT(*), SUM(N) FROM T"), ElementsAre("10|55"));
  EXPECT_EQ(fs::status(database).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_FALSE(fs::exists(dir.path() / "70900.mdb"));
}

TEST(DatabaseCompactorTest, ADatabaseOpenElsewhereIsLeftAsItWas) {
  ScopedTempDir dir;
  const fs::path database = SparseDatabase(dir);
  const auto size = fs::file_size(database);
  const fs::path temporary = dir.path() / "12300.mdb";
  DatabaseCompactor compactor;

  {
    OtherProcess other(database);
    ASSERT_TRUE(other.opened());
    EXPECT_THAT(ProcessesHoldingOpen(database), ElementsAre(other.pid()));
    EXPECT_THAT(ErrorDescriptionOf([&] { compactor.CompactInPlace(database, temporary); }),
                HasSubstr("it is open in process " + std::to_string(other.pid())));
  }
  {
    auto connection = db::Connection::Open(
        "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;Data Source=" +
        database.string());
    EXPECT_THAT(ErrorDescriptionOf([&] { compactor.CompactInPlace(database, temporary); }),
                HasSubstr("another connection of this program"));
  }
  EXPECT_THAT(ErrorDescriptionOf([&] { compactor.CompactInPlace(database, temporary, "secret"); }),
              HasSubstr("no database password"));
  EXPECT_THAT(
      ErrorDescriptionOf([&] { compactor.CompactInPlace(dir.path() / "missing.mdb", temporary); }),
      HasSubstr("missing.mdb': the file does not exist"));
  EXPECT_EQ(fs::file_size(database), size);
  EXPECT_FALSE(fs::exists(temporary));
  EXPECT_TRUE(ProcessesHoldingOpen(database).empty());
}

TEST(DatabaseCompactorTest, AFileThatIsNotADatabaseFailsAndStays) {
  ScopedTempDir dir;
  const fs::path file = dir.WriteFile("ClientDatabase.mdb", std::string(4096, 'j'));
  EXPECT_THAT(
      ErrorDescriptionOf([&] { DatabaseCompactor().CompactInPlace(file, dir.path() / "1.mdb"); }),
      HasSubstr("not a database"));
  EXPECT_EQ(fs::file_size(file), 4096u);
  EXPECT_FALSE(fs::exists(dir.path() / "1.mdb"));
}

}  // namespace
}  // namespace tqs::masterdata
