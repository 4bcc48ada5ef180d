#include "platform/db/table_copy.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "common/error.h"
#include "platform/db/connection.h"
#include "platform/db/internal/connection_impl.h"
#include "platform/db/recordset.h"
#include "tests/support/error_testing.h"

namespace tqs::db {
namespace {

namespace fs = std::filesystem;
using test_support::ErrorDescriptionOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr CopyMethod kMethods[] = {CopyMethod::kFastest, CopyMethod::kStatements};

std::string MethodName(CopyMethod method) {
  return method == CopyMethod::kFastest ? "fastest" : "statements";
}

// The columns of SRC and TGT: one per kind of value a copy must keep.
constexpr const char* kColumns =
    "(ID INTEGER, B BLOB, I INTEGER, LO INTEGER, U, D DATE, DT DATETIME, R REAL, T TEXT, "
    " EB BLOB, N TEXT, Z TEXT)";
constexpr const char* kColumnNames[] = {"ID", "B", "I", "LO", "U", "D",
                                        "DT", "R", "T", "EB", "N", "Z"};

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
        std::string("CREATE TABLE SRC ") + kColumns + ";" +
        "INSERT INTO SRC VALUES (1, x'00410042', 9007199254740993, -9223372036854775808, "
        "  3000000000, '2024-03-01', '2026-12-08 14:05:09.123', 0.1, '', x'', NULL, "
        "  CAST(x'610062' AS TEXT));"
        "INSERT INTO SRC VALUES (2, 'text in a blob column', 2147483648, 9223372036854775807, "
        "  -3000000000, '2026-02-30', '2026-12-08T14:05', 1e300, 'O''Neil', x'ff', 'x', '');");
    Connection::OpenOrCreate(target_)->ExecuteBatch(std::string("CREATE TABLE TGT ") + kColumns +
                                                    ";" +
                                                    "CREATE TABLE NUMBERS (N INTEGER PRIMARY KEY);"
                                                    "INSERT INTO TGT (ID) VALUES (99);");
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string ClientString(const std::string& file) const {
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + (folder_ / file).string();
  }

  std::int64_t Copy(CopyMethod method, std::string_view sql, std::string_view table = "TGT",
                    std::int64_t every = 0, std::function<void(std::int64_t)> progress = nullptr) {
    return ReplaceRows(TableCopy{source_, sql, target_, table, every, std::move(progress), method});
  }

  // Every stored value of `table` with its storage class and its bytes, row by row.
  static std::vector<std::string> Stored(const std::string& connection_string,
                                         const std::string& table) {
    auto db = Connection::Open(connection_string);
    std::string sql = "SELECT ";
    for (const char* column : kColumnNames) {
      sql += std::string(column == kColumnNames[0] ? "" : " || ' ' || ") + "typeof(" + column +
             ") || ':' || quote(" + column + ") || ':' || hex(" + column + ")";
    }
    auto rs = Recordset::Open(sql + " FROM " + table + " ORDER BY ID", *db);
    std::vector<std::string> rows;
    for (; !rs->IsEOF(); rs->MoveNext()) rows.push_back(rs->Field(0).AsText());
    return rows;
  }

  std::vector<std::string> Numbers() {
    auto db = Connection::Open(target_);
    auto rs = Recordset::Open("SELECT group_concat(N) FROM NUMBERS", *db);
    return {rs->Field(0).ToTextOrEmpty()};
  }

  static std::string FileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path folder_;
  std::string source_;
  std::string target_;
};

TEST_F(TableCopyTest, KeepsEveryValueExactlyOnBothPaths) {
  const std::vector<std::string> template_rows = Stored(source_, "SRC");
  ASSERT_EQ(template_rows.size(), 2u);
  const std::string first = template_rows[0];
  EXPECT_THAT(first, HasSubstr("blob:X'00410042'"));
  EXPECT_THAT(first, HasSubstr("integer:9007199254740993"));
  EXPECT_THAT(first, HasSubstr("integer:-9223372036854775808"));
  EXPECT_THAT(first, HasSubstr("integer:3000000000"));
  EXPECT_THAT(first, HasSubstr("text:'2024-03-01'"));
  EXPECT_THAT(first, HasSubstr("text:'2026-12-08 14:05:09.123'"));
  EXPECT_THAT(first, HasSubstr("real:0.1:"));
  EXPECT_THAT(first, HasSubstr("text:'':"));
  EXPECT_THAT(first, HasSubstr("blob:X'':"));
  EXPECT_THAT(first, HasSubstr("null:NULL:"));
  EXPECT_THAT(first, HasSubstr("text:'a':610062"));  // the NUL byte and what follows it

  for (const CopyMethod method : kMethods) {
    SCOPED_TRACE(MethodName(method));
    EXPECT_EQ(Copy(method, "SELECT * FROM SRC"), 2);
    EXPECT_EQ(Stored(target_, "TGT"), template_rows);  // row 99 emptied first
    // Through record sets a blob still reads as the Text of its bytes.
    auto db = Connection::Open(target_);
    auto rs = Recordset::Open("SELECT B FROM TGT ORDER BY ID", *db);
    EXPECT_EQ(rs->Field(0).type(), automation::VariantType::kText);
    EXPECT_EQ(rs->Field(0).AsText(), std::string("\0A\0B", 4));
  }
}

// Fields pair with columns by position, whatever the names; an expression too; the columns
// left over take their defaults.
TEST_F(TableCopyTest, PairsFieldsByPosition) {
  for (const CopyMethod method : kMethods) {
    SCOPED_TRACE(MethodName(method));
    EXPECT_EQ(Copy(method, "SELECT ID * 10 AS X, Z, B FROM SRC WHERE ID = N'1'"), 1);
    EXPECT_THAT(
        Stored(target_, "TGT"),
        ElementsAre(HasSubstr("integer:10:3130 text:'a':610062 blob:X'00410042':00410042")));
    // Semicolons and a comment after the query are no second statement.
    EXPECT_EQ(Copy(method, "SELECT * FROM SRC;\n-- all rows\n;"), 2);
  }
}

TEST_F(TableCopyTest, ReportsProgressAfterEveryBlockOfRowsButNotForTheLast) {
  for (const CopyMethod method : kMethods) {
    for (int rows : {7, 6, 1}) {
      SCOPED_TRACE(MethodName(method) + " " + std::to_string(rows));
      std::vector<std::int64_t> reported;
      const auto copied =
          Copy(method,
               "WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < " +
                   std::to_string(rows) + ") SELECT n FROM c",
               "NUMBERS", 3, [&](std::int64_t n) { reported.push_back(n); });
      EXPECT_EQ(copied, rows);
      const std::vector<std::int64_t> expected = rows == 7   ? std::vector<std::int64_t>{3, 6}
                                                 : rows == 6 ? std::vector<std::int64_t>{3}
                                                             : std::vector<std::int64_t>{};
      EXPECT_EQ(reported, expected);
    }
  }
}

TEST_F(TableCopyTest, RefusesEveryStatementThatIsNotOneReadOnlyQueryBeforeItRuns) {
  const fs::path source_file = folder_ / "source.mdb";
  const std::string source_bytes = FileBytes(source_file);
  const std::vector<std::string> target_rows = Stored(target_, "TGT");
  const std::string attached = (folder_ / "attached.mdb").string();
  for (const CopyMethod method : kMethods) {
    for (const std::string& sql : std::vector<std::string>{
             "DELETE FROM SRC",
             "SELECT 1; DELETE FROM SRC",
             "PRAGMA user_version=7",
             "PRAGMA journal_mode=WAL",
             "UPDATE SRC SET ID = 5 RETURNING ID",
             "INSERT INTO SRC (ID) VALUES (3)",
             "WITH x AS (SELECT 1) DELETE FROM SRC",
             "WITH x AS (SELECT 1) INSERT INTO SRC (ID) SELECT * FROM x",
             "ATTACH DATABASE '" + attached + "' AS other",
             "CREATE TABLE NEWTABLE AS SELECT * FROM SRC",
             "DROP TABLE SRC",
             "  ",
         }) {
      SCOPED_TRACE(MethodName(method) + ": " + sql);
      EXPECT_THAT(ErrorDescriptionOf([&] { Copy(method, sql); }),
                  HasSubstr("refused and nothing of it was run"));
      EXPECT_EQ(FileBytes(source_file), source_bytes);
      EXPECT_FALSE(fs::exists(attached));
    }
    EXPECT_EQ(Stored(target_, "TGT"), target_rows);
  }
}

// What stops a statement that reads like a query but writes: the source session refuses.
TEST_F(TableCopyTest, ASessionThatRefusesWritesKeepsItsDatabase) {
  auto db = Connection::Open(source_);
  internal::SessionOf(*db)->driver().RefuseWrites();
  EXPECT_THAT(ErrorDescriptionOf([&] { db->Execute("DELETE FROM SRC"); }), HasSubstr("readonly"));
  EXPECT_THAT(ErrorDescriptionOf([&] { db->ExecuteBatch("PRAGMA user_version=7"); }),
              HasSubstr("readonly"));
  auto rs = Recordset::Open("SELECT COUNT(*) FROM SRC", *db);
  EXPECT_EQ(rs->Field(0).AsInt32(), 2);
}

TEST_F(TableCopyTest, AMissingTableOrMoreFieldsThanColumnsAreNamedAndChangeNothing) {
  for (const CopyMethod method : kMethods) {
    SCOPED_TRACE(MethodName(method));
    EXPECT_THAT(ErrorDescriptionOf([&] { Copy(method, "SELECT * FROM SRC", "MISSING"); }),
                HasSubstr("The table MISSING to copy into cannot be read in the target "
                          "database: no such table: MISSING"));
    EXPECT_THAT(ErrorDescriptionOf([&] { Copy(method, "SELECT *, ID AS EXTRA FROM SRC"); }),
                HasSubstr("selects 13 fields but table TGT has 12 columns: field 13 ('EXTRA') "
                          "has no column to go into"));
    EXPECT_THAT(ErrorDescriptionOf([&] { Copy(method, "SELECT * FROM NOSUCHTABLE"); }),
                HasSubstr("no such table: NOSUCHTABLE"));
    EXPECT_THAT(Stored(target_, "TGT"), ElementsAre(HasSubstr("integer:99:")));
  }
  EXPECT_THAT(ErrorDescriptionOf([&] {
                ReplaceRows(TableCopy{ClientString("absent.mdb"), "SELECT 1", target_, "TGT"});
              }),
              HasSubstr("absent.mdb"));
  EXPECT_FALSE(fs::exists(folder_ / "absent.mdb"));
}

TEST_F(TableCopyTest, AFailedCopyRollsBackAndRaises) {
  Connection::Open(target_)->Execute("INSERT INTO NUMBERS VALUES (42)");
  for (const CopyMethod method : kMethods) {
    SCOPED_TRACE(MethodName(method));
    // The duplicate key fails the copy: the emptying is undone too.
    EXPECT_THAT(ErrorDescriptionOf([&] { Copy(method, "SELECT 1 UNION ALL SELECT 1", "NUMBERS"); }),
                HasSubstr("UNIQUE constraint failed: NUMBERS.N"));
    EXPECT_THAT(Numbers(), ElementsAre("42"));
    // A progress report that raises stops the copy the same way and its exception goes on.
    EXPECT_THROW(Copy(method, "SELECT 1 UNION ALL SELECT 2 UNION ALL SELECT 3", "NUMBERS", 1,
                      [](std::int64_t) { throw std::runtime_error("window closed"); }),
                 std::runtime_error);
    EXPECT_THAT(Numbers(), ElementsAre("42"));
  }
}

}  // namespace
}  // namespace tqs::db
