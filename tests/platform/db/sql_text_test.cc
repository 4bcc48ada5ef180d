// The pieces of the core that read SQL texts: the national-literal rewrite, the single-table
// analysis that decides between keyed and plain sets, the filter criteria, and the check that
// a text is one read-only query.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/error.h"
#include "platform/db/internal/dialect.h"
#include "platform/db/internal/query_text.h"
#include "platform/db/internal/row_filter.h"
#include "platform/db/internal/select_shape.h"
#include "tests/support/error_testing.h"

namespace tqs::db {
namespace {

using automation::Variant;
using internal::AnalyseSingleTableSelect;
using internal::ColumnInfo;
using internal::RowFilter;
using test_support::ErrorDescriptionOf;
using test_support::ErrorNumberOf;
using ::testing::HasSubstr;

TEST(DialectTest, DropsOnlyTheNationalPrefixOfStringLiterals) {
  const std::pair<const char*, const char*> cases[] = {
      {"WHERE A=N'x'", "WHERE A='x'"},
      {"WHERE A = n'O''Neil' AND B=N''", "WHERE A = 'O''Neil' AND B=''"},
      {"VALUES(N'a',N'b')", "VALUES('a','b')"},
      {"SELECT xN'a', N 'b'", "SELECT xN'a', N 'b'"},           // identifier, blank
      {"SELECT 'N''a', 'xN''y'", "SELECT 'N''a', 'xN''y'"},     // inside literals
      {"SELECT \"N\"'a', [N]'b'", "SELECT \"N\"'a', [N]'b'"},   // quoted identifiers
      {"SELECT 1 -- N'a'\n, N'b'", "SELECT 1 -- N'a'\n, 'b'"},  // comment
      {"SELECT N'unterminated", "SELECT 'unterminated"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(internal::DropNationalPrefixes(in), out) << in;
}

TEST(SelectShapeTest, RecognisesSingleTableSelects) {
  const auto shape = AnalyseSingleTableSelect(
      "SELECT * FROM CLIENTSERVERINTERACTION WHERE INTERACTIONSTATUS=5 ORDER BY EMPLOYEEID;");
  ASSERT_TRUE(shape);
  EXPECT_EQ(shape->select_list, "*");
  EXPECT_EQ(shape->table, "CLIENTSERVERINTERACTION");
  EXPECT_EQ(shape->rest, "WHERE INTERACTIONSTATUS=5 ORDER BY EMPLOYEEID");

  const auto aliased = AnalyseSingleTableSelect(
      " SELECT u.EMNO, u.BUSCOMPONENT FROM main.USERDEFAULTS AS u WHERE u.LOGN IN "
      "(SELECT LOGN FROM X GROUP BY LOGN)");
  ASSERT_TRUE(aliased);
  EXPECT_EQ(aliased->from, "main.USERDEFAULTS AS u");
  EXPECT_EQ(aliased->table, "main.USERDEFAULTS");
  EXPECT_EQ(aliased->select_list, "u.EMNO, u.BUSCOMPONENT");
}

TEST(SelectShapeTest, LeavesOtherQueriesToPlainSets) {
  for (const char* sql : {
           "SELECT MAX(INTERACTIONID) FROM CLIENTSERVERINTERACTION",
           "SELECT DISTINCT LABEL FROM I18NText",
           "SELECT a.X FROM A a JOIN B b ON a.K = b.K",
           "SELECT a.X FROM A a, B b",
           "SELECT X FROM A GROUP BY X",
           "SELECT X FROM A UNION SELECT X FROM B",
           "SELECT X FROM (SELECT X FROM A)",
           "SELECT X, Y FROM A ORDER BY 2",
           "SELECT 1",
           "UPDATE A SET X=1",
       }) {
    EXPECT_FALSE(AnalyseSingleTableSelect(sql)) << sql;
  }
}

class RowFilterTest : public ::testing::Test {
 protected:
  bool Matches(const char* criteria, std::vector<Variant> row) {
    return RowFilter::Parse(criteria, columns_).Matches(row);
  }

  const std::vector<ColumnInfo> columns_ = {{"LABEL", "", ""}, {"TEXT", "", ""}, {"N", "", ""}};
};

TEST_F(RowFilterTest, ComparesExactly) {
  EXPECT_TRUE(Matches("LABEL='SLKRU0501'", {"SLKRU0501", "a", 1}));
  EXPECT_FALSE(Matches("LABEL='SLKRU0501'", {"SLKRU05010", "a", 1}));
  EXPECT_FALSE(Matches("LABEL='SLKRU0501'", {"slkru0501", "a", 1}));
  EXPECT_FALSE(Matches("LABEL='SLKRU0501'", {"SLKRU0501 ", "a", 1}));
  EXPECT_TRUE(Matches("text = 'O''Neil'", {"x", "O'Neil", 1}));
  EXPECT_FALSE(Matches("TEXT='a'", {"x", Variant::Null(), 1}));
  EXPECT_TRUE(Matches("TEXT=NULL", {"x", Variant::Null(), 1}));
  EXPECT_TRUE(Matches("TEXT LIKE 'Err%'", {"x", "Error 5", 1}));
  EXPECT_FALSE(Matches("TEXT LIKE 'Err%'", {"x", "An Error", 1}));
  EXPECT_TRUE(Matches("N >= 10 AND N < 11", {"x", "y", 10}));
  EXPECT_TRUE(Matches("N = -2.5", {"x", "y", -2.5}));
  EXPECT_TRUE(Matches("N = 7", {"x", "y", "7"}));  // text that reads as a number
}

TEST_F(RowFilterTest, AndBindsTighterThanOr) {
  const char* criteria = "LABEL='a' OR LABEL='b' AND N=1";
  EXPECT_TRUE(Matches(criteria, {"a", "", 2}));
  EXPECT_FALSE(Matches(criteria, {"b", "", 2}));
  EXPECT_TRUE(Matches(criteria, {"b", "", 1}));
  EXPECT_FALSE(Matches("(LABEL='a' OR LABEL='b') AND N=1", {"a", "", 2}));
}

TEST_F(RowFilterTest, RejectsBadCriteriaNamingThem) {
  for (const char* criteria : {"LABEL=", "LABEL 'a'", "LABEL='a", "LABEL='a' AND", "LABEL=abc",
                               "(LABEL='a'", "N LIKE 5"}) {
    EXPECT_EQ(ErrorNumberOf([&] { RowFilter::Parse(criteria, columns_); }),
              error_number::kArgumentsWrongType)
        << criteria;
    EXPECT_THAT(ErrorDescriptionOf([&] { RowFilter::Parse(criteria, columns_); }),
                HasSubstr(criteria));
  }
  EXPECT_EQ(ErrorNumberOf([&] { RowFilter::Parse("NAME='x'", columns_); }),
            error_number::kItemNotFound);
}

TEST(QueryTextTest, TellsOneReadOnlyQueryFromEverythingElse) {
  using internal::QueryTextKind;
  const std::pair<const char*, QueryTextKind> cases[] = {
      {"SELECT * FROM CUSTOMERS WHERE CWOC = N'O''Brien'", QueryTextKind::kReadOnlyQuery},
      {" select 1 ;; -- done\n", QueryTextKind::kReadOnlyQuery},
      {"(SELECT 1) UNION (SELECT 2)", QueryTextKind::kReadOnlyQuery},
      {"WITH c(n) AS (SELECT 1) SELECT n FROM c", QueryTextKind::kReadOnlyQuery},
      {"VALUES (1, 'a')", QueryTextKind::kReadOnlyQuery},
      {"SELECT 'DELETE', \"UPDATE\", [INTO] FROM T /* INSERT */", QueryTextKind::kReadOnlyQuery},
      {"", QueryTextKind::kEmpty},
      {" ; -- nothing", QueryTextKind::kEmpty},
      {"SELECT 1; DELETE FROM X", QueryTextKind::kSeveralStatements},
      {"SELECT 1;;SELECT 2", QueryTextKind::kSeveralStatements},
      {"DELETE FROM CUSTOMERS", QueryTextKind::kNotAQuery},
      {"PRAGMA user_version=7", QueryTextKind::kNotAQuery},
      {"ATTACH DATABASE 'x.db' AS x", QueryTextKind::kNotAQuery},
      {"REPLACE INTO T VALUES (1)", QueryTextKind::kNotAQuery},
      {"EXPLAIN SELECT 1", QueryTextKind::kNotAQuery},
      {"WITH d AS (DELETE FROM T RETURNING *) SELECT * FROM d", QueryTextKind::kWrites},
      {"WITH c AS (SELECT 1) INSERT INTO T SELECT * FROM c", QueryTextKind::kWrites},
      {"SELECT * INTO COPYOFT FROM T", QueryTextKind::kWrites},
      {"SELECT * FROM T FOR UPDATE", QueryTextKind::kWrites},
  };
  for (const auto& [sql, kind] : cases) {
    EXPECT_EQ(internal::ClassifyQueryText(sql), kind) << sql;
    EXPECT_EQ(internal::QueryTextProblem(kind).empty(), kind == QueryTextKind::kReadOnlyQuery);
  }
}

}  // namespace
}  // namespace tqs::db
