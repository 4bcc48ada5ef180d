// The PostgreSQL backend: its dialect and type mapping (always), the reports of a server that
// cannot be reached (always), and, against the test server, what only a client-server database
// has: the connection pool, lost connections, database creation, failed transactions, named
// locks and the prepared statements left on the server.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "common/error.h"
#include "common/text.h"
#include "platform/db/connection.h"
#include "platform/db/internal/connection_impl.h"
#include "platform/db/internal/value_mapping.h"
#include "platform/db/postgres/connection_pool.h"
#include "platform/db/postgres/pg_types.h"
#include "platform/db/postgres/postgres_dialect.h"
#include "platform/db/recordset.h"
#include "platform/db/table_copy.h"
#include "platform/db/transaction.h"
#include "tests/platform/db/test_backends.h"
#include "tests/support/error_testing.h"
#include "tests/support/temp_dir.h"

namespace tqs::db {
namespace {

using automation::Variant;
using internal::SqlNull;
using internal::SqlValue;
using test_support::ErrorDescriptionOf;
using test_support::ErrorNumberOf;
using ::testing::HasSubstr;
namespace type_oid = postgres::type_oid;

TEST(PostgresDialectTest, PlainLiteralsAndNumberedParameters) {
  const std::pair<const char*, const char*> cases[] = {
      {"WHERE A=N'ab ' AND B=?", "WHERE A='ab ' AND B=$1"},
      {"UPDATE T SET A=?, B=? WHERE K=?", "UPDATE T SET A=$1, B=$2 WHERE K=$3"},
      {"SELECT '?', \"?\", N'?' -- ?\n, ?", "SELECT '?', \"?\", '?' -- ?\n, $1"},
      {"SELECT 1", "SELECT 1"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(postgres::ToPostgresSql(in), out) << in;

  EXPECT_EQ(postgres::TextAfterFirstStatement("DELETE FROM A; DELETE FROM B"), "DELETE FROM B");
  EXPECT_EQ(postgres::TextAfterFirstStatement("SELECT ';' ; ; -- end"), "");
  EXPECT_TRUE(postgres::HoldsNoStatement(" ; -- nothing"));
  EXPECT_FALSE(postgres::HoldsNoStatement("COMMIT"));
}

TEST(PostgresTypesTest, ValuesReadLikeTheSameSqliteColumns) {
  struct Case {
    postgres::TypeOid type;
    const char* text;
    Variant expected;
  };
  using namespace std::chrono;
  const Case cases[] = {
      {type_oid::kInt2, "5", Variant(std::int16_t{5})},
      {type_oid::kInt4, "-7", Variant(std::int32_t{-7})},
      {type_oid::kInt8, "42", Variant(std::int32_t{42})},
      {type_oid::kInt8, "3000000000", Variant(3000000000.0)},
      {type_oid::kBool, "t", Variant(std::int32_t{1})},
      {type_oid::kBool, "f", Variant(std::int32_t{0})},
      {type_oid::kFloat8, "1.5", Variant(1.5)},
      {type_oid::kNumeric, "12.250", Variant(12.25)},
      {type_oid::kText, "ab ", Variant("ab ")},
      {type_oid::kVarchar, "", Variant("")},
      {type_oid::kTimestamp, "2026-12-08 14:10:42.5",
       Variant(DateTime{local_days{2026y / 12 / 8} + 14h + 10min + 42s})},
      {type_oid::kDate, "2026-12-08", Variant(DateTime{local_days{2026y / 12 / 8}})},
      {type_oid::kTimestampTz, "2026-12-08 14:10:42+00", Variant("2026-12-08 14:10:42+00")},
      {type_oid::kBytea, "\\x41ff", Variant(std::string("A\xff"))},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(internal::ToVariant(postgres::ValueFromText(c.type, c.text),
                                  postgres::DeclaredTypeName(c.type)),
              c.expected)
        << c.type << " " << c.text;
  }
  EXPECT_EQ(postgres::ParameterText(SqlValue(std::int64_t{-12})), "-12");
  EXPECT_EQ(std::stod(postgres::ParameterText(SqlValue(0.1))), 0.1);  // no digit lost
  // Fewest digits (a numeric column holding 1.1 equals it), whole numbers as digits (an
  // integer column takes a big integer that was read as a Double).
  EXPECT_EQ(postgres::ParameterText(SqlValue(1.1)), "1.1");
  EXPECT_EQ(postgres::ParameterText(SqlValue(-2.5e-7)), "-2.5e-07");
  EXPECT_EQ(postgres::ParameterText(SqlValue(3e9)), "3000000000");
  EXPECT_EQ(postgres::ParameterText(SqlValue(1152921504606846976.0)), "1152921504606846976");
  EXPECT_EQ(std::stod(postgres::ParameterText(SqlValue(1e300))), 1e300);
  EXPECT_EQ(postgres::ParameterText(SqlValue(std::string("O'Neil"))), "O'Neil");
  // bytea: read as a binary value, sent back in the hex form.
  EXPECT_EQ(postgres::ValueFromText(type_oid::kBytea, "\\x0041ff"),
            SqlValue(internal::SqlBlob{std::string("\0A\xff", 3)}));
  EXPECT_EQ(postgres::ParameterText(SqlValue(internal::SqlBlob{std::string("\0A\xff", 3)})),
            "\\x0041ff");
  EXPECT_EQ(postgres::ParameterText(SqlValue(internal::SqlBlob{})), "\\x");
}

TEST(PostgresUnreachableTest, ServerDownOrIncompleteStringIsReportedWithTheProvidersMessage) {
  test_support::ScopedTempDir folder;  // no server listens on a socket in it
  const std::string down =
      "Provider=PostgreSQL;Host=" + folder.path().string() + ";Port=5999;Database=tqs;User ID=tqs";
  EXPECT_EQ(ErrorNumberOf([&] { Connection::Open(down); }), error_number::kGenericFailure);
  const std::string message = ErrorDescriptionOf([&] { Connection::Open(down); });
  EXPECT_THAT(message, HasSubstr(folder.path().string() + "/.s.PGSQL.5999"));
  EXPECT_THAT(message, HasSubstr("No such file or directory"));
  EXPECT_THAT(message, HasSubstr("'tqs'"));
  EXPECT_EQ(message.find('\n'), std::string::npos) << message;

  const auto no_database = [] { Connection::Open("Provider=PostgreSQL;Host=localhost"); };
  EXPECT_EQ(ErrorNumberOf(no_database), error_number::kConnectionInvalid);
  EXPECT_THAT(ErrorDescriptionOf(no_database), HasSubstr("Database"));
}

// Cases that need the test server.
class PostgresServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TQS_SKIP_UNLESS_AVAILABLE(test_support::Backend::kPostgreSql);
    database_ = std::make_unique<test_support::ScratchDatabase>(test_support::Backend::kPostgreSql);
  }

  std::unique_ptr<Connection> Open() const {
    return Connection::Open(database_->connection_string());
  }

  static std::string Text(Connection& connection, const std::string& sql) {
    auto rs = Recordset::Open(sql, connection);
    if (rs->IsEOF()) return "<none>";
    const Variant value = rs->Field(0);
    return value.IsNull() ? "<null>" : value.AsText();
  }

  std::unique_ptr<test_support::ScratchDatabase> database_;
};

TEST_F(PostgresServerTest, ClosedConnectionsAreReusedAfterAReset) {
  std::string pid;
  {
    auto connection = Open();
    pid = Text(*connection, "SELECT pg_backend_pid()");
    connection->ExecuteBatch(
        "CREATE TEMPORARY TABLE SCRATCH (X integer); SET statement_timeout = 1234;"
        "SELECT pg_advisory_lock(77);");
    connection->Execute("CREATE TABLE KEPT (ID integer PRIMARY KEY)");
    connection->BeginTrans();
    connection->Execute("INSERT INTO KEPT VALUES (1)");
    // Dropped inside the transaction, holding a session lock and a temporary table.
  }
  auto again = Open();
  EXPECT_EQ(Text(*again, "SELECT pg_backend_pid()"), pid);
  EXPECT_EQ(Text(*again, "SELECT COUNT(*) FROM KEPT"), "0");
  EXPECT_EQ(Text(*again, "SELECT to_regclass('pg_temp.scratch')"), "<null>");
  EXPECT_EQ(Text(*again, "SHOW statement_timeout"), "0");
  EXPECT_EQ(Text(*again,
                 "SELECT COUNT(*) FROM pg_locks WHERE locktype = 'advisory' AND "
                 "pid = pg_backend_pid()"),
            "0");
  // The session settings the backend relies on survive the reset.
  EXPECT_EQ(Text(*again, "SHOW DateStyle"), "ISO, YMD");

  // Two connections open at once are two physical connections.
  auto second = Open();
  EXPECT_NE(Text(*second, "SELECT pg_backend_pid()"), pid);
}

TEST_F(PostgresServerTest, ALostConnectionIsReportedAndNeverHandedOutAgain) {
  auto victim = Open();
  const std::string pid = Text(*victim, "SELECT pg_backend_pid()");
  Open()->Execute("SELECT pg_terminate_backend(" + pid + ")");
  const auto use = [&] { victim->Execute("SELECT 1"); };
  // Which of the two libpq reports depends on when it reads the server's farewell.
  EXPECT_THAT(ErrorDescriptionOf(use), ::testing::AnyOf(HasSubstr("terminating connection"),
                                                        HasSubstr("server closed the connection")));
  EXPECT_EQ(ErrorNumberOf(use), error_number::kGenericFailure);  // and every later use
  victim.reset();

  auto next = Open();
  EXPECT_NE(Text(*next, "SELECT pg_backend_pid()"), pid);
  EXPECT_EQ(Text(*next, "SELECT 1"), "1");
}

TEST_F(PostgresServerTest, AWrongPasswordIsRefusedAndNeverServedFromThePool) {
  const char* secured = std::getenv("TQS_TEST_POSTGRES_PASSWORD_DSN");
  if (secured == nullptr) {
    GTEST_SKIP() << "TQS_TEST_POSTGRES_PASSWORD_DSN is not set (scripts/with-postgres.sh sets it)";
  }
  EXPECT_EQ(Text(*Connection::Open(secured), "SELECT current_user"), "tqs_secret");
  // The right password's connection now waits in the pool; a wrong one must not get it.
  const std::string wrong = std::string(secured) + ";Password=wrong";
  EXPECT_THAT(ErrorDescriptionOf([&] { Connection::Open(wrong); }),
              HasSubstr("password authentication failed for user \"tqs_secret\""));
  // The password passed to Open overrides the string's.
  EXPECT_EQ(ErrorNumberOf([&] { Connection::Open(secured, "", "wrong"); }),
            error_number::kGenericFailure);
  EXPECT_EQ(Text(*Connection::Open(wrong, "", "secret"), "SELECT 1"), "1");
}

TEST_F(PostgresServerTest, OpenOrCreateMakesAMissingDatabaseAndSchema) {
  const std::string base = *test_support::PostgresTestDsn();
  const std::string name = "tqs_created_" + std::to_string(::getpid());
  const std::string created = base + ";Database=" + name + ";Search Path=" + name + "_schema";
  EXPECT_THAT(ErrorDescriptionOf([&] { Connection::Open(created); }),
              HasSubstr("database \"" + name + "\" does not exist"));
  {
    auto connection = Connection::OpenOrCreate(created);
    connection->Execute("CREATE TABLE A (X integer)");
    EXPECT_EQ(Text(*connection,
                   "SELECT table_schema FROM information_schema.tables "
                   "WHERE table_name = 'a'"),
              name + "_schema");
    // Running it again finds both and changes nothing.
    EXPECT_EQ(Text(*Connection::OpenOrCreate(created), "SELECT COUNT(*) FROM A"), "0");
  }
  postgres::ConnectionPool::ForProcess().CloseIdle();
  Open()->Execute("DROP DATABASE " + name + " WITH (FORCE)");
}

// Literals and texts are read as the programs write them, whatever the database's defaults. With
// standard_conforming_strings off, QuoteSql's literal of "\' OR 1=1 --" would end after the
// backslash and the rest would be SQL matching every row; and a LATIN1 client encoding would
// garble UTF-8 texts. Both hold for a new connection and for one taken again from the pool.
TEST_F(PostgresServerTest, SessionsReadLiteralsAndTextsAlikeWhateverTheDefaults) {
  const std::string name = "tqs_defaults_" + std::to_string(::getpid());
  {
    auto admin = Open();
    admin->Execute("CREATE DATABASE " + name +
                   " ENCODING 'LATIN1' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0");
    admin->Execute("ALTER DATABASE " + name + " SET standard_conforming_strings = off");
    admin->Execute("ALTER DATABASE " + name + " SET client_encoding = 'LATIN1'");
  }
  const std::string dsn = *test_support::PostgresTestDsn() + ";Database=" + name;
  std::string pid;
  for (int use = 0; use < 2; ++use) {
    auto connection = Connection::Open(dsn);
    if (use == 0) pid = Text(*connection, "SELECT pg_backend_pid()");
    EXPECT_EQ(Text(*connection, "SELECT pg_backend_pid()"), pid) << "not taken from the pool";
    EXPECT_EQ(Text(*connection, "SHOW standard_conforming_strings"), "on") << use;
    EXPECT_EQ(Text(*connection, "SHOW client_encoding"), "UTF8") << use;
  }

  const std::string sneaky = "\\' OR 1=1 --";
  const std::string accented = "Zo\xC3\xAB \xC3\x86r\xC3\xB8";  // "Zoë Ærø"
  {
    auto connection = Connection::Open(dsn);
    connection->Execute("CREATE TABLE USERS (LOGN text, HITS integer)");
    for (const std::string& login : {std::string("ada"), sneaky, accented}) {
      connection->Execute("INSERT INTO USERS VALUES (" + QuoteSql(login) + ", 0)");
    }
    connection->Execute("UPDATE USERS SET HITS = HITS + 1 WHERE LOGN = " + QuoteSql(sneaky));
    EXPECT_EQ(Text(*connection, "SELECT COUNT(*) FROM USERS WHERE HITS = 1"), "1");
    EXPECT_EQ(Text(*connection, "SELECT LOGN FROM USERS WHERE HITS = 1"), sneaky);
    EXPECT_EQ(Text(*connection, "SELECT LOGN FROM USERS WHERE LOGN = " + QuoteSql(accented)),
              accented);
    // Stored as the database's LATIN1, one byte per character: converted, not garbled.
    EXPECT_EQ(Text(*connection, "SELECT octet_length(LOGN) FROM USERS WHERE LOGN LIKE 'Zo%'"), "7");
  }
  postgres::ConnectionPool::ForProcess().CloseIdle();
  Open()->Execute("DROP DATABASE " + name + " WITH (FORCE)");
}

TEST_F(PostgresServerTest, ACommitAfterAFailedStatementRaisesAndStoresNothing) {
  auto connection = Open();
  connection->Execute("CREATE TABLE A (X integer)");
  Transaction transaction(*connection);
  connection->Execute("INSERT INTO A VALUES (1)");
  EXPECT_THROW(connection->Execute("INSERT INTO A VALUES ('not a number')"), Error);
  EXPECT_THAT(ErrorDescriptionOf([&] { transaction.Commit(); }), HasSubstr("rolled back"));
  EXPECT_EQ(Text(*Open(), "SELECT COUNT(*) FROM A"), "0");
}

TEST_F(PostgresServerTest, ATableWithoutKeyIsReadOnlyAndLookingForItsKeyKeepsTheTransaction) {
  auto connection = Open();
  connection->ExecuteBatch(
      "CREATE TABLE PLAIN (X integer); INSERT INTO PLAIN VALUES (1);"
      "CREATE TABLE KEYED (K bigint GENERATED ALWAYS AS IDENTITY UNIQUE NOT NULL, X integer);");
  Transaction transaction(*connection);
  auto plain = Recordset::Open("SELECT * FROM PLAIN", *connection, CursorType::kKeyset,
                               LockType::kOptimistic);
  EXPECT_EQ(plain->Field("X"), Variant(std::int32_t{1}));
  EXPECT_THAT(ErrorDescriptionOf([&] { plain->SetField("X", Variant(std::int32_t{2})); }),
              HasSubstr("cannot be changed"));
  // A unique not-null integer column serves as key; the added row reads back with it.
  auto keyed = Recordset::Open("KEYED", *connection, CursorType::kKeyset, LockType::kOptimistic,
                               CommandType::kTable);
  keyed->AddNew();
  keyed->SetField("X", Variant(std::int32_t{5}));
  keyed->Update();
  EXPECT_EQ(keyed->Field("K"), Variant(std::int32_t{1}));
  transaction.Commit();
  EXPECT_EQ(Text(*Open(), "SELECT X FROM KEYED WHERE K = 1"), "5");
}

// bytea values go both ways as their bytes: a table copy keeps them and every other value.
TEST_F(PostgresServerTest, TableCopyKeepsByteaAndEveryOtherValueExactly) {
  const char* columns =
      "(ID integer, B bytea, I bigint, R double precision, T text, D date, EB bytea, N text)";
  Open()->ExecuteBatch(std::string("CREATE TABLE SRC ") + columns + "; CREATE TABLE TGT " +
                       columns +
                       ";"
                       "INSERT INTO SRC VALUES (1, '\\x00410042', 9007199254740993, 0.1, "
                       "  'O''Neil', '2024-03-01', '\\x', NULL);"
                       "INSERT INTO TGT (ID) VALUES (99);");
  const std::string dsn = database_->connection_string();
  EXPECT_EQ(ReplaceRows(TableCopy{dsn, "SELECT * FROM SRC", dsn, "TGT"}), 1);
  auto connection = Open();
  EXPECT_EQ(Text(*connection,
                 "SELECT concat_ws('|', ID, encode(B, 'hex'), I, R = 0.1, T, D, "
                 "octet_length(EB), N IS NULL) FROM TGT"),
            "1|00410042|9007199254740993|t|O'Neil|2024-03-01|0|t");
  // Record sets read a bytea as the Text of its bytes.
  EXPECT_EQ(Text(*connection, "SELECT B FROM TGT"), std::string("\0A\0B", 4));

  // A statement that writes is refused; the source keeps its row.
  EXPECT_THAT(ErrorDescriptionOf([&] {
                ReplaceRows(TableCopy{dsn,
                                      "WITH d AS (DELETE FROM SRC RETURNING *) SELECT * "
                                      "FROM d",
                                      dsn, "TGT"});
              }),
              HasSubstr("refused"));
  EXPECT_EQ(Text(*connection, "SELECT COUNT(*) FROM SRC"), "1");
}

// A session that refuses writes runs only read-only transactions; the pool's reset ends that
// before the connection serves anyone else.
TEST_F(PostgresServerTest, ASessionThatRefusesWritesIsResetBeforeReuse) {
  Open()->Execute("CREATE TABLE A (X integer)");
  {
    auto reader = Open();
    internal::SessionOf(*reader)->driver().RefuseWrites();
    EXPECT_THAT(ErrorDescriptionOf([&] { reader->Execute("INSERT INTO A VALUES (1)"); }),
                HasSubstr("read-only transaction"));
  }
  EXPECT_EQ(Open()->Execute("INSERT INTO A VALUES (1)"), 1);
}

TEST_F(PostgresServerTest, NamedLocksHoldUpOnlyTransactionsOfTheSameName) {
  auto first = Open();
  auto second = Open();
  auto observer = Open();
  Transaction holding(*first);
  holding.LockName("numbering 1001");
  // Only the locks of these two sessions count: other tests may run against the same server.
  const std::string sessions = "(" + Text(*first, "SELECT pg_backend_pid()") + ", " +
                               Text(*second, "SELECT pg_backend_pid()") + ")";

  std::atomic<bool> acquired{false};
  std::thread waiter([&] {
    Transaction other(*second);
    other.LockName("numbering 1002");  // another name: granted at once
    other.LockName("numbering 1001");
    acquired = true;
    other.Commit();
  });
  // The waiter is blocked on the server until the holder ends.
  std::string waiting;
  for (int i = 0; i < 10000 && waiting != "1"; ++i) {
    waiting = Text(*observer,
                   "SELECT COUNT(*) FROM pg_locks WHERE locktype = 'advisory' AND NOT granted "
                   "AND pid IN " +
                       sessions);
  }
  EXPECT_EQ(waiting, "1");
  EXPECT_FALSE(acquired);
  holding.Commit();
  waiter.join();
  EXPECT_TRUE(acquired);
  EXPECT_EQ(
      Text(*observer,
           "SELECT COUNT(*) FROM pg_locks WHERE locktype = 'advisory' AND pid IN " + sessions),
      "0");

  EXPECT_EQ(ErrorNumberOf([&] { Transaction(*first).LockName(""); }), std::nullopt);
}

TEST_F(PostgresServerTest, StatementsNoLongerCachedAreDroppedOnTheServer) {
  auto connection = Open();
  for (int i = 0; i < 500; ++i) {
    ASSERT_EQ(Text(*connection, "SELECT " + std::to_string(i)), std::to_string(i));
  }
  const int prepared = std::stoi(Text(*connection, "SELECT COUNT(*) FROM pg_prepared_statements"));
  EXPECT_GT(prepared, 0);
  EXPECT_LE(prepared, 64 + 32 + 2);
}

}  // namespace
}  // namespace tqs::db
