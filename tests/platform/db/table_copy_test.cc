#include "platform/db/table_copy.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "common/error.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "tests/support/error_testing.h"

namespace tqs::db {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class TableCopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("tqs-table-copy-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    source_ = ClientString("source.mdb");
    target_ = ClientString("target.mdb");
    Connection::OpenOrCreate(source_)->ExecuteBatch(
        "CREATE TABLE SRC (N INTEGER, BIG INTEGER, S SMALLINT, R REAL, T TEXT, D DATE, B BLOB);"
        "INSERT INTO SRC VALUES (1, 5000000000, 7, 2.5, 'plain', '2026-12-08T14:05', "
        "                        x'00410042');"
        "INSERT INTO SRC VALUES (2, -3000000000, -40000, 1e300, '', '2026-12-08 14:05:09.123', "
        "                        x'');"
        "INSERT INTO SRC VALUES (3, 2147483647, NULL, NULL, NULL, '2026-02-30 10:00:00', NULL);"
        "INSERT INTO SRC VALUES ('text', -2147483648, 1, 0, 'x', '2026-12-08', 'not binary');");
    Connection::OpenOrCreate(target_)->ExecuteBatch(
        "CREATE TABLE ENGINE (C1, C2, C3 TEXT, C4, C5, C6 DATETIME, C7, C8, "
        "                     C9 TEXT DEFAULT 'default');"
        "CREATE TABLE BYROW (C1, C2, C3 TEXT, C4, C5, C6 DATETIME, C7, C8, "
        "                    C9 TEXT DEFAULT 'default');"
        "CREATE TABLE NUMBERS (N INTEGER PRIMARY KEY);"
        "INSERT INTO ENGINE (C1) VALUES ('emptied first');");
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string ClientString(const std::string& file) const {
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + (folder_ / file).string();
  }

  std::optional<std::int64_t> Copy(std::string_view sql, std::string_view table,
                                   std::int64_t every = 0,
                                   std::function<void(std::int64_t)> progress = nullptr) {
    return ReplaceRowsInEngine(
        TableCopy{source_, sql, target_, table, every, std::move(progress)});
  }

  // The copy as record sets do it: fields by position into an empty table.
  void CopyRowByRow(std::string_view sql, std::string_view table) {
    auto source_db = Connection::Open(source_);
    auto target_db = Connection::Open(target_);
    auto source = Recordset::Open(sql, *source_db, CursorType::kForwardOnly);
    auto target = Recordset::Open(table, *target_db, CursorType::kForwardOnly,
                                  LockType::kOptimistic, CommandType::kTable);
    for (; !source->IsEOF(); source->MoveNext()) {
      target->AddNew();
      for (int i = 0; i < source->FieldCount(); ++i) target->SetField(i, source->Field(i));
      target->Update();
    }
  }

  // Every stored value with its storage class, row by row.
  std::vector<std::string> Stored(const std::string& table) {
    auto db = Connection::Open(target_);
    std::string sql = "SELECT ";
    for (int i = 1; i <= 9; ++i) {
      const std::string column = "C" + std::to_string(i);
      sql += std::string(i > 1 ? " || ' ' || " : "") + "typeof(" + column + ") || ':' || quote(" +
             column + ")";
    }
    auto rs = Recordset::Open(sql + " FROM " + table + " ORDER BY rowid", *db);
    std::vector<std::string> rows;
    for (; !rs->IsEOF(); rs->MoveNext()) rows.push_back(rs->Field(0).AsText());
    return rows;
  }

  std::vector<std::string> Numbers() {
    auto db = Connection::Open(target_);
    auto rs = Recordset::Open("SELECT group_concat(N) FROM NUMBERS", *db);
    return {rs->Field(0).ToTextOrEmpty()};
  }

  fs::path folder_;
  std::string source_;
  std::string target_;
};

// Big integers become reals, binary values text, date texts their normal form (an invalid
// date stays text), whatever the target column's type does to them afterwards; the field list
// pairs by position (an expression included) and leaves the last column to its default.
TEST_F(TableCopyTest, StoresWhatTheRowByRowCopyStores) {
  const char* query = "SELECT N, BIG, S, R, T, D, B, N * 2 FROM SRC WHERE N <> 0;";
  ASSERT_EQ(Copy(query, "ENGINE"), 4);
  CopyRowByRow(query, "BYROW");
  const std::vector<std::string> by_row = Stored("BYROW");
  EXPECT_EQ(Stored("ENGINE"), by_row);
  ASSERT_EQ(by_row.size(), 4u);
  EXPECT_THAT(by_row[0], HasSubstr("real:5000000000.0"));
  EXPECT_THAT(by_row[0], HasSubstr("text:'2026-12-08 14:05:00'"));
  EXPECT_THAT(by_row[0], HasSubstr("text:'default'"));
}

TEST_F(TableCopyTest, ReportsProgressAfterEveryBlockOfRows) {
  for (int rows : {7, 6}) {
    SCOPED_TRACE(rows);
    std::vector<std::int64_t> reported;
    const auto copied = Copy(
        "WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < " +
            std::to_string(rows) + ") SELECT n FROM c",
        "NUMBERS", 3, [&](std::int64_t n) { reported.push_back(n); });
    EXPECT_EQ(copied, rows);
    EXPECT_THAT(reported, ElementsAre(3, 6));
  }
}

TEST_F(TableCopyTest, LeavesTheCopyToTheCallerWhenTheEngineCannotTakeIt) {
  EXPECT_EQ(Copy("SELECT N, BIG, S, R, T, D, B, N, N, N FROM SRC", "ENGINE"), std::nullopt);
  EXPECT_EQ(Copy("SELECT * FROM SRC", "MISSING"), std::nullopt);
  EXPECT_EQ(Copy("SELECT * FROM NOSUCHTABLE", "ENGINE"), std::nullopt);
  EXPECT_EQ(Copy("DELETE FROM SRC", "ENGINE"), std::nullopt);
  EXPECT_EQ(ReplaceRowsInEngine(TableCopy{"Provider=PostgreSQL;Host=nowhere", "SELECT 1", target_,
                                          "ENGINE"}),
            std::nullopt);
  EXPECT_EQ(ReplaceRowsInEngine(TableCopy{ClientString("absent.mdb"), "SELECT 1", target_,
                                          "ENGINE"}),
            std::nullopt);
  // Nothing was emptied or created.
  EXPECT_EQ(Stored("ENGINE").size(), 1u);
  EXPECT_FALSE(fs::exists(folder_ / "absent.mdb"));
}

TEST_F(TableCopyTest, AFailedCopyRollsBackAndRaises) {
  Connection::Open(target_)->Execute("INSERT INTO NUMBERS VALUES (42)");
  // The duplicate key fails the copy: the emptying is undone too.
  EXPECT_THAT(test_support::ErrorDescriptionOf([&] {
                Copy("SELECT 1 UNION ALL SELECT 1", "NUMBERS");
              }),
              HasSubstr("UNIQUE constraint failed: NUMBERS.N"));
  EXPECT_THAT(Numbers(), ElementsAre("42"));
  // A progress report that raises stops the copy the same way and its exception goes on.
  EXPECT_THROW(Copy("SELECT 1 UNION ALL SELECT 2 UNION ALL SELECT 3", "NUMBERS", 1,
                    [](std::int64_t) { throw std::runtime_error("window closed"); }),
               std::runtime_error);
  EXPECT_THAT(Numbers(), ElementsAre("42"));
}

}  // namespace
}  // namespace tqs::db
