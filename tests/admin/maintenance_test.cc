// The operator's maintenance of the server database: purging finished documents (never pending,
// in-doubt or unrecognised ones, never results a laptop may still collect; the dry run changes
// nothing) on each backend, and a backup taken while another connection writes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <optional>
#include <sstream>

#include "admin/backup.h"
#include "admin/installation.h"
#include "admin/maintenance_commands.h"
#include "admin/purge.h"
#include "common/text.h"
#include "platform/db/connection_string.h"
#include "platform/db/recordset.h"
#include "tests/server/server_database_fixture.h"
#include "tests/support/error_testing.h"
#include "tests/support/fixed_clock.h"

namespace tqs::admin {
namespace {

namespace fs = std::filesystem;
using test_support::ErrorDescriptionOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

struct Row {
  std::string employee;
  int type = 5;
  std::optional<int> status = 10;
  std::optional<std::string> processed_on;
  std::optional<std::string> received_on;
  std::optional<std::string> result = "<result/>";
  std::optional<int> attempt_open = 0;
};

class PurgeTest : public testing::ServerDatabaseTest {
 protected:
  void SetUp() override {
    ServerDatabaseTest::SetUp();
    if (IsSkipped()) return;
    connection_ = Connect();
    // A's laptop uploaded again on 1 February (UTC), so it has collected what was ready a day
    // before; B's laptop has not been seen since 1 January.
    purged_ = {
        Add({.employee = "A", .processed_on = "2026-01-10 10:00:00"}),
        Add({.employee = "A", .type = 15, .status = 15, .processed_on = "2026-01-20 08:00:00"}),
        // Resolved by an operator without a result: nothing to collect.
        Add({.employee = "B",
             .type = 10,
             .processed_on = "2026-01-06 09:00:00",
             .result = std::nullopt}),
    };
    kept_ = {
        // Pending, pending in doubt (even with a processing time), unrecognised (null).
        Add({.employee = "A", .status = 5, .received_on = "2026-02-01 12:00:00"}),
        Add({.employee = "A",
             .status = 5,
             .processed_on = "2026-01-01 00:00:00",
             .attempt_open = 1}),
        Add({.employee = "A", .status = std::nullopt, .processed_on = "2026-01-05 00:00:00"}),
        // Processed after the day.
        Add({.employee = "A", .processed_on = "2026-03-01 00:00:00"}),
        // Ready less than a day before A's last upload: perhaps not collected.
        Add({.employee = "A", .processed_on = "2026-01-31 23:00:00"}),
        // B's laptop has not synchronised since its result was ready.
        Add({.employee = "B",
             .type = 10,
             .processed_on = "2026-01-05 00:00:00",
             .received_on = "2026-01-01 00:00:00"}),
        // Finished with its attempt still marked open: left for an operator.
        Add({.employee = "A", .processed_on = "2026-01-03 00:00:00", .attempt_open = 1}),
    };
  }

  std::int64_t Add(const Row& row) {
    const auto literal = [](const std::optional<std::string>& value) {
      return value ? "'" + *value + "'" : std::string("NULL");
    };
    const auto number = [](const std::optional<int>& value) {
      return value ? std::to_string(*value) : std::string("NULL");
    };
    const int id = ++rows_;
    connection_->Execute(
        "INSERT INTO CLIENTSERVERINTERACTION (EMPLOYEEID, BUSINESSDOCUMENTTYPE, INTERACTIONNAME, "
        "INTERACTIONON, INTERACTIONID, BUSINESSDOCUMENTID, BUSINESSDOCUMENTCONTENTS, "
        "INTERACTIONSTATUS, PROCESSEDON, RECEIVEDON, INTERACTIONRESULT, ATTEMPTOPEN) VALUES (" +
        QuoteSql(row.employee) + ", " + std::to_string(row.type) + ", 30, 'D1', " +
        std::to_string(id) + ", 'doc', '<doc/>', " + number(row.status) + ", " +
        literal(row.processed_on) + ", " +
        literal(row.received_on.value_or("2025-12-01 00:00:00")) + ", " + literal(row.result) +
        ", " + number(row.attempt_open) + ")");
    return std::stoll(Scalar("SELECT MAX(INTERACTIONKEY) FROM CLIENTSERVERINTERACTION"));
  }

  std::vector<std::int64_t> Keys() const {
    auto rs = db::Recordset::Open(
        "SELECT INTERACTIONKEY FROM CLIENTSERVERINTERACTION ORDER BY INTERACTIONKEY", *connection_,
        db::CursorType::kForwardOnly, db::LockType::kReadOnly);
    std::vector<std::int64_t> keys;
    for (; !rs->IsEOF(); rs->MoveNext()) keys.push_back(std::stoll(rs->Field(0).AsText()));
    return keys;
  }

  PurgeRequest Request(std::string_view day, int batch_rows = 500) const {
    return {
        .processed_before = ParseIsoDay(day), .operator_name = "jdoe", .batch_rows = batch_rows};
  }

  std::unique_ptr<db::Connection> connection_;
  test_support::FixedClock clock_{test_support::OperatorTestNow()};
  int rows_ = 0;
  std::vector<std::int64_t> purged_, kept_;
};

TQS_INSTANTIATE_FOR_BACKENDS(PurgeTest);

TEST_P(PurgeTest, DryRunCountsAndTheRunDeletesOnlyFinishedCollectedRowsInBatches) {
  const std::vector<std::int64_t> all = Keys();
  const PurgePlan plan = PlanPurge(*connection_, Request("2026-02-15"), clock_);
  ASSERT_EQ(plan.groups.size(), 3u);
  EXPECT_EQ(std::tie(plan.groups[0].type, plan.groups[0].status, plan.groups[0].rows),
            std::make_tuple(5, 10, 1));
  EXPECT_EQ(std::tie(plan.groups[1].type, plan.groups[1].status, plan.groups[1].rows),
            std::make_tuple(10, 10, 1));
  EXPECT_EQ(std::tie(plan.groups[2].type, plan.groups[2].status, plan.groups[2].rows),
            std::make_tuple(15, 15, 1));
  EXPECT_EQ(plan.total, 3);
  EXPECT_EQ(plan.kept_uncollected, 2);
  const std::string shown = FormatPurgePlan(plan, "2026-02-15");
  EXPECT_THAT(shown, HasSubstr("service inspection   15 failed"));
  EXPECT_THAT(shown, HasSubstr("2 more processed before that day are kept"));
  EXPECT_EQ(Keys(), all);  // the dry run changed nothing

  std::vector<std::int64_t> progress;
  EXPECT_EQ(Purge(*connection_, Request("2026-02-15", 1), clock_,
                  [&progress](std::int64_t deleted) { progress.push_back(deleted); }),
            3);
  EXPECT_THAT(progress, ElementsAre(1, 2, 3));
  EXPECT_EQ(Keys(), kept_);
  EXPECT_EQ(Scalar("SELECT ACTION FROM OPERATORACTIONS"), "purge");
  EXPECT_EQ(Scalar("SELECT DETAILS FROM OPERATORACTIONS"),
            "3 finished documents processed before 2026-02-15 deleted");

  // Nothing left to purge: nothing deleted, nothing recorded.
  EXPECT_EQ(Purge(*connection_, Request("2026-02-15"), clock_), 0);
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM OPERATORACTIONS"), "1");
  // The latest day allowed, today: A's rows ready after its last upload stay.
  EXPECT_EQ(Purge(*connection_, Request("2026-04-02"), clock_), 0);
  // A's laptop uploads again on 5 March: what was ready a day before counts as collected, but
  // pending, in-doubt and unrecognised rows stay whatever the day.
  const std::int64_t upload =
      Add({.employee = "A", .status = 5, .received_on = "2026-03-05 09:00:00"});
  EXPECT_EQ(Purge(*connection_, Request("2026-04-02"), clock_), 2);
  EXPECT_EQ(Keys(),
            (std::vector<std::int64_t>{kept_[0], kept_[1], kept_[2], kept_[5], kept_[6], upload}));
}

TEST_P(PurgeTest, WrongDaysAreRefusedWithTheReasonAndChangeNothing) {
  const std::vector<std::int64_t> all = Keys();
  for (const char* typed :
       {"2026-02-30", "2026-13-01", "2026-2-15", "15.02.2026", "2026-02-15 ", "", "２026-02-15"}) {
    SCOPED_TRACE(typed);
    EXPECT_THAT(ErrorDescriptionOf([&] { ParseIsoDay(typed); }),
                HasSubstr("is not a day in the form YYYY-MM-DD"));
  }
  EXPECT_THAT(ErrorDescriptionOf([&] { ParseIsoDay("2026-02-29"); }), HasSubstr("no such day"));
  EXPECT_EQ(ErrorDescriptionOf([&] { ParseIsoDay("2024-02-29"); }), "(no error)");
  // A mistyped year in the future would purge everything finished.
  EXPECT_THAT(ErrorDescriptionOf([&] { Purge(*connection_, Request("2062-04-01"), clock_); }),
              HasSubstr("2062-04-01 lies after today (2026-04-02)"));
  EXPECT_THAT(ErrorDescriptionOf([&] { PlanPurge(*connection_, Request("2026-04-03"), clock_); }),
              HasSubstr("lies after today"));
  EXPECT_EQ(Keys(), all);
}

TEST_P(PurgeTest, PurgeCommandDryRunPrintsThePlanAndChangesNothing) {
  const std::vector<std::int64_t> all = Keys();
  CLI::App app;
  const MaintenanceCommands commands(app);
  app.parse(std::vector<std::string>{"--dry-run", "2026-02-15", "--processed-before", dsn_, "--dsn",
                                     "purge"});
  ASSERT_TRUE(commands.Chosen());
  std::ostringstream out, err;
  EXPECT_EQ(commands.Run(out, err), 0);
  EXPECT_THAT(out.str(), HasSubstr("\ntotal                                      3\n"));
  EXPECT_THAT(out.str(), HasSubstr("Dry run: nothing was deleted."));
  EXPECT_EQ(Keys(), all);
}

// An SQLite server database in a fresh folder with `rows` documents of some kilobytes each.
class BackupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    database_ = folder_.path() / "server.db";
    dsn_ = "Provider=SQLite;Data Source=" + database_.string();
    InitializeDatabase(dsn_);
    writer_ = db::Connection::Open(dsn_);
    writer_->BeginTrans();
    for (int i = 0; i < kRows; ++i) Insert(i);
    writer_->CommitTrans();
  }

  void Insert(int id) {
    writer_->Execute(
        "INSERT INTO CLIENTSERVERINTERACTION (EMPLOYEEID, BUSINESSDOCUMENTTYPE, "
        "INTERACTIONON, INTERACTIONID, BUSINESSDOCUMENTCONTENTS, INTERACTIONSTATUS) "
        "VALUES ('E1', 5, 'D', " +
        std::to_string(id) + ", '" + std::string(4000, 'x') + "', 5)");
  }

  static constexpr int kRows = 3000;  // about 12 MB: several steps of the copy
  test_support::ScopedTempDir folder_;
  fs::path database_;
  std::string dsn_;
  std::unique_ptr<db::Connection> writer_;
};

std::string CopyScalar(const fs::path& file, const char* sql) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* statement = nullptr;
  std::string value = "<error>";
  if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK &&
      sqlite3_step(statement) == SQLITE_ROW) {
    value = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
  }
  sqlite3_finalize(statement);
  sqlite3_close_v2(db);
  return value;
}

TEST_F(BackupTest, CopyWhileAnotherConnectionWritesIsTheSnapshotCheckedPrivateAndInPlace) {
  const fs::path destination = folder_.path() / "backups" / "server-backup.db";
  fs::create_directories(destination.parent_path());
  int steps = 0;
  const BackupReport report =
      BackUpSqliteDatabase(database_, destination, false, [&](int copied, int total) {
        // The host goes on storing uploads while the copy is made.
        Insert(kRows + ++steps);
        EXPECT_LE(copied, total);
      });
  EXPECT_GT(steps, 1);
  EXPECT_EQ(report.file, destination);
  EXPECT_EQ(report.interaction_rows, kRows);
  EXPECT_EQ(report.bytes, fs::file_size(destination));
  // The rows of the moment the copy began, a sound file, not in WAL mode, owner only.
  EXPECT_EQ(CopyScalar(destination, "SELECT COUNT(*) FROM CLIENTSERVERINTERACTION"),
            std::to_string(kRows));
  EXPECT_EQ(CopyScalar(destination, "PRAGMA integrity_check"), "ok");
  EXPECT_EQ(CopyScalar(destination, "PRAGMA journal_mode"), "delete");
  struct stat info {};
  ASSERT_EQ(::stat(destination.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  // Nothing else is left in the folder, and the database went on with the new rows.
  EXPECT_EQ(
      std::distance(fs::directory_iterator(destination.parent_path()), fs::directory_iterator()),
      1);
  EXPECT_EQ(std::to_string(kRows + steps),
            CopyScalar(database_, "SELECT COUNT(*) FROM CLIENTSERVERINTERACTION"));
  // The copy opens as a server database.
  auto restored = db::Connection::Open("Provider=SQLite;Data Source=" + destination.string());
  auto rs = db::Recordset::Open("SELECT COUNT(*) FROM USERDEFAULTS", *restored,
                                db::CursorType::kForwardOnly, db::LockType::kReadOnly);
  EXPECT_FALSE(rs->IsEOF());
}

TEST_F(BackupTest, ExistingDestinationIsKeptUnlessOverwriteAndMistakesLeaveNoFile) {
  const fs::path destination = folder_.path() / "backup.db";
  std::ofstream(destination) << "an older backup";
  EXPECT_THAT(ErrorDescriptionOf([&] { BackUpSqliteDatabase(database_, destination, false); }),
              HasSubstr("exists; it is kept (give --overwrite to replace it)"));
  EXPECT_EQ(fs::file_size(destination), 15u);
  EXPECT_EQ(BackUpSqliteDatabase(database_, destination, true).interaction_rows, kRows);
  EXPECT_EQ(CopyScalar(destination, "PRAGMA integrity_check"), "ok");

  EXPECT_THAT(ErrorDescriptionOf([&] { BackUpSqliteDatabase(database_, database_, true); }),
              HasSubstr("cannot replace the database itself"));
  EXPECT_THAT(ErrorDescriptionOf([&] {
                BackUpSqliteDatabase(folder_.path() / "missing.db", folder_.path() / "b.db", false);
              }),
              HasSubstr("does not exist"));
  EXPECT_THAT(ErrorDescriptionOf(
                  [&] { BackUpSqliteDatabase(database_, folder_.path() / "no" / "b.db", false); }),
              HasSubstr("does not exist"));
  // A file that is not a database: refused, and neither a copy nor a temporary file is left.
  const fs::path not_a_database = folder_.path() / "notes.txt";
  std::ofstream(not_a_database) << std::string(5000, 'n');
  EXPECT_NE(ErrorDescriptionOf(
                [&] { BackUpSqliteDatabase(not_a_database, folder_.path() / "c.db", false); }),
            "(no error)");
  EXPECT_FALSE(fs::exists(folder_.path() / "c.db"));
  for (const auto& entry : fs::directory_iterator(folder_.path())) {
    EXPECT_THAT(entry.path().filename().string(), Not(HasSubstr(".tmp-")));
  }
}

TEST(PostgresBackupTest, CommandLineNamesTheDatabaseWithoutThePasswordAndMakesNoBackup) {
  const std::string dsn =
      "Provider=PostgreSQL;Host=db.example;Port=5433;Database=tqs live;User ID=tqs;"
      "Password=s3cret";
  EXPECT_EQ(PgDumpCommand(db::ConnectionString::Parse(dsn), "/var/backups/tqs.dump"),
            "pg_dump --host=db.example --port=5433 --username=tqs --format=custom "
            "--file=/var/backups/tqs.dump '--dbname=tqs live'");
  EXPECT_EQ(PgDumpCommand(
                db::ConnectionString::Parse("Provider=PostgreSQL;Database=it's;Password=x"), "/b"),
            "pg_dump --format=custom --file=/b '--dbname=it'\\''s'");

  CLI::App app;
  const MaintenanceCommands commands(app);
  app.parse(std::vector<std::string>{"/var/backups/tqs.dump", dsn, "--dsn", "backup"});
  std::ostringstream out, err;
  EXPECT_EQ(commands.Run(out, err), kExitBackupNotMade);
  EXPECT_THAT(out.str(), HasSubstr("pg_dump --host=db.example"));
  EXPECT_THAT(out.str() + err.str(), Not(HasSubstr("s3cret")));
  EXPECT_THAT(err.str(), HasSubstr("no backup was made"));
}

}  // namespace
}  // namespace tqs::admin
