#include "platform/db/connection.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "common/error.h"
#include "platform/db/recordset.h"
#include "platform/db/transaction.h"
#include "tests/platform/db/db_fixture.h"
#include "tests/support/error_testing.h"
#include "tests/support/temp_dir.h"

namespace tqs::db {
namespace {

using test_support::ErrorDescriptionOf;
using test_support::ErrorNumberOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

using ConnectionTest = DbTest;
TQS_INSTANTIATE_FOR_BACKENDS(ConnectionTest);

// What only the embedded files have: creation on demand and the journal modes.
class SqliteFileTest : public ::testing::Test {
 protected:
  test_support::ScopedTempDir dir_;
};

TEST_F(SqliteFileTest, OpenNeverCreatesAMissingFileButOpenOrCreateDoes) {
  const std::string missing = (dir_.path() / "mistyped.db").string();
  const std::string text = "Provider=SQLite;Data Source=" + missing;
  EXPECT_EQ(ErrorNumberOf([&] { Connection::Open(text); }), error_number::kGenericFailure);
  EXPECT_THAT(ErrorDescriptionOf([&] { Connection::Open(text); }), HasSubstr(missing));
  EXPECT_FALSE(std::filesystem::exists(missing));

  Connection::OpenOrCreate(text)->Execute("CREATE TABLE A (X INTEGER)");
  EXPECT_EQ(Connection::Open(text)->Execute("INSERT INTO A VALUES (1)"), 1);
}

TEST_F(SqliteFileTest, ServerFilesUseTheWriteAheadLogAndClientFilesARollbackJournal) {
  const auto first_value = [](Connection& connection, const char* sql) {
    return Recordset::Open(sql, connection)->Field(0).AsText();
  };
  auto server = Connection::OpenOrCreate("Provider=SQLite;Data Source=" +
                                         (dir_.path() / "server.db").string());
  EXPECT_EQ(first_value(*server, "PRAGMA journal_mode"), "wal");
  EXPECT_EQ(first_value(*server, "PRAGMA synchronous"), "2");  // FULL

  const std::string client = (dir_.path() / "Client.mdb").string();
  auto jet = Connection::OpenOrCreate(
      "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;Data Source=" + client);
  EXPECT_EQ(jet->Provider(), "Microsoft.Jet.OLEDB.4.0");
  EXPECT_EQ(first_value(*jet, "PRAGMA journal_mode"), "delete");
  EXPECT_TRUE(std::filesystem::exists(client));
}

TEST_P(ConnectionTest, ExecuteCountsChangedRowsAndReportsTheProviderMessage) {
  connection_->ExecuteBatch(
      "CREATE TABLE A (X INTEGER); INSERT INTO A VALUES (1); INSERT INTO A VALUES (2);");
  EXPECT_EQ(connection_->Execute("UPDATE A SET X = X + 10"), 2);
  EXPECT_EQ(connection_->Execute("CREATE TABLE B (Y TEXT)"), 0);
  EXPECT_THAT(Column("SELECT X FROM A ORDER BY X"), ElementsAre("11", "12"));

  const std::string no_table =
      ForBackend("no such table: NOPE", "relation \"nope\" does not exist");
  const auto bad_sql = [&] { connection_->Execute("UPDATE NOPE SET X = 1"); };
  EXPECT_EQ(ErrorNumberOf(bad_sql), error_number::kGenericFailure);
  EXPECT_EQ(ErrorDescriptionOf(bad_sql), no_table);
  // Every cursor path reports the engine's message, including the keyed ones that rewrite it.
  for (CursorType cursor : {CursorType::kForwardOnly, CursorType::kKeyset, CursorType::kStatic}) {
    EXPECT_EQ(
        ErrorDescriptionOf([&] { Recordset::Open("SELECT * FROM NOPE", *connection_, cursor); }),
        no_table);
  }
  // Execute runs exactly one statement: the rest is not silently dropped.
  EXPECT_THAT(ErrorDescriptionOf([&] { connection_->Execute("DELETE FROM A; DELETE FROM B"); }),
              HasSubstr("DELETE FROM B"));
  EXPECT_THAT(Column("SELECT COUNT(*) FROM A"), ElementsAre("2"));
}

TEST_P(ConnectionTest, TransactionsCommitOrRollBackAndDoNotNest) {
  connection_->Execute("CREATE TABLE A (X INTEGER)");
  connection_->BeginTrans();
  connection_->Execute("INSERT INTO A VALUES (1)");
  EXPECT_EQ(ErrorNumberOf([&] { connection_->BeginTrans(); }), error_number::kOperationNotAllowed);
  connection_->RollbackTrans();
  EXPECT_EQ(ErrorNumberOf([&] { connection_->CommitTrans(); }), error_number::kOperationNotAllowed);

  {
    Transaction transaction(*connection_);
    connection_->Execute("INSERT INTO A VALUES (2)");
    transaction.Commit();
  }
  try {
    Transaction transaction(*connection_);
    connection_->Execute("INSERT INTO A VALUES (3)");
    throw Error(error_number::kGenericFailure, "leaves the scope");
  } catch (const Error&) {
  }
  EXPECT_THAT(Column("SELECT X FROM A"), ElementsAre("2"));
}

TEST_P(ConnectionTest, SavepointsUndoOnlyTheWorkAfterThemAndTheTransactionGoesOn) {
  connection_->Execute("CREATE TABLE A (X INTEGER PRIMARY KEY)");
  {
    Transaction transaction(*connection_);
    connection_->Execute("INSERT INTO A VALUES (1)");
    {
      Savepoint kept(transaction);
      connection_->Execute("INSERT INTO A VALUES (2)");
      kept.Release();
    }
    {
      // A statement the engine refuses (on PostgreSQL it leaves the whole transaction unusable
      // until the rollback to the savepoint) and the work before it in the savepoint.
      Savepoint undone(transaction);
      connection_->Execute("INSERT INTO A VALUES (3)");
      EXPECT_NE(ErrorNumberOf([&] { connection_->Execute("INSERT INTO A VALUES (1)"); }),
                std::nullopt);
      undone.Rollback();
    }
    {
      Savepoint outer(transaction);
      connection_->Execute("INSERT INTO A VALUES (4)");
      {
        Savepoint inner(transaction);
        connection_->Execute("INSERT INTO A VALUES (5)");
        // Only the innermost savepoint may end.
        EXPECT_EQ(ErrorNumberOf([&] { outer.Release(); }), error_number::kOperationNotAllowed);
      }  // left without Release: rolled back
    }    // the outer one too, since its Release was refused
    {
      Savepoint again(transaction);  // the names of ended savepoints are used again
      connection_->Execute("INSERT INTO A VALUES (6)");
      again.Release();
    }
    transaction.Commit();
    // After the transaction, savepoints are refused.
    EXPECT_EQ(ErrorNumberOf([&] { Savepoint late(transaction); }),
              error_number::kOperationNotAllowed);
  }
  EXPECT_THAT(Column("SELECT X FROM A ORDER BY X"), ElementsAre("1", "2", "6"));

  // The engine ended the transaction under the savepoint (as SQLite does after a full disk):
  // rolling back to the savepoint raises instead of going on outside any transaction.
  {
    Transaction transaction(*connection_);
    Savepoint savepoint(transaction);
    connection_->Execute("INSERT INTO A VALUES (7)");
    connection_->Execute("ROLLBACK");
    EXPECT_NE(ErrorNumberOf([&] { savepoint.Rollback(); }), std::nullopt);
  }
  EXPECT_THAT(Column("SELECT X FROM A ORDER BY X"), ElementsAre("1", "2", "6"));
  // The connection takes the next transaction.
  Transaction transaction(*connection_);
  connection_->Execute("INSERT INTO A VALUES (8)");
  transaction.Commit();
  EXPECT_THAT(Column("SELECT X FROM A ORDER BY X"), ElementsAre("1", "2", "6", "8"));
}

TEST_P(ConnectionTest, AWriterDoesNotBlockAReaderOfTheSameDatabase) {
  connection_->Execute("CREATE TABLE A (X INTEGER)");
  auto writer = Connection::Open(ServerString());
  writer->BeginTrans();
  writer->Execute("INSERT INTO A VALUES (1)");
  EXPECT_THAT(Column("SELECT COUNT(*) FROM A"), ElementsAre("0"));
  writer->CommitTrans();
  EXPECT_THAT(Column("SELECT COUNT(*) FROM A"), ElementsAre("1"));
}

TEST_P(ConnectionTest, AClosedConnectionRaises3704AndClosesItsRecordSets) {
  connection_->Execute("CREATE TABLE A (X INTEGER)");
  connection_->Execute("INSERT INTO A VALUES (1)");
  auto forward = Recordset::Open("SELECT X FROM A", *connection_);
  auto keyset = Recordset::Open("SELECT X FROM A", *connection_, CursorType::kKeyset);
  connection_->Close();
  EXPECT_FALSE(connection_->IsOpen());
  EXPECT_FALSE(forward->IsOpen());
  for (const auto& use : std::initializer_list<std::function<void()>>{
           [&] { connection_->Execute("DELETE FROM A"); },
           [&] { connection_->BeginTrans(); },
           [&] { connection_->Close(); },
           [&] { Recordset::Open("SELECT X FROM A", *connection_); },
           [&] { forward->MoveNext(); },
           [&] { keyset->Field("X"); },
       }) {
    EXPECT_EQ(ErrorNumberOf(use), error_number::kObjectClosed);
    EXPECT_EQ(ErrorDescriptionOf(use), "Operation is not allowed when the object is closed.");
  }
}

}  // namespace
}  // namespace tqs::db
