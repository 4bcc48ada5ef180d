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

namespace tqs::db {
namespace {

using test_support::ErrorDescriptionOf;
using test_support::ErrorNumberOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

using ConnectionTest = DbTest;

TEST_F(ConnectionTest, OpenNeverCreatesAMissingFileButOpenOrCreateDoes) {
  const std::string missing = (dir_.path() / "mistyped.db").string();
  const std::string text = "Provider=SQLite;Data Source=" + missing;
  EXPECT_EQ(ErrorNumberOf([&] { Connection::Open(text); }), error_number::kGenericFailure);
  EXPECT_THAT(ErrorDescriptionOf([&] { Connection::Open(text); }), HasSubstr(missing));
  EXPECT_FALSE(std::filesystem::exists(missing));

  Connection::OpenOrCreate(text)->Execute("CREATE TABLE A (X INTEGER)");
  EXPECT_EQ(Connection::Open(text)->Execute("INSERT INTO A VALUES (1)"), 1);
}

TEST_F(ConnectionTest, ServerFilesUseTheWriteAheadLogAndClientFilesARollbackJournal) {
  EXPECT_THAT(Column("PRAGMA journal_mode"), ElementsAre("wal"));
  EXPECT_THAT(Column("PRAGMA synchronous"), ElementsAre("2"));  // FULL

  const std::string client = (dir_.path() / "Client.mdb").string();
  auto jet = Connection::OpenOrCreate(
      "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;Data Source=" + client);
  EXPECT_EQ(jet->Provider(), "Microsoft.Jet.OLEDB.4.0");
  auto rs = Recordset::Open("PRAGMA journal_mode", *jet);
  EXPECT_EQ(rs->Field(0).AsText(), "delete");
  EXPECT_TRUE(std::filesystem::exists(client));
}

TEST_F(ConnectionTest, PostgreSqlIsNotAvailableInThisBuild) {
  const auto open = [] { Connection::Open("Provider=PostgreSQL;Host=localhost;Database=tqs"); };
  EXPECT_EQ(ErrorNumberOf(open), error_number::kProviderNotFound);
  EXPECT_THAT(ErrorDescriptionOf(open), HasSubstr("'PostgreSQL' is not available"));
}

TEST_F(ConnectionTest, ExecuteCountsChangedRowsAndReportsTheProviderMessage) {
  connection_->ExecuteBatch(
      "CREATE TABLE A (X INTEGER); INSERT INTO A VALUES (1); INSERT INTO A VALUES (2);");
  EXPECT_EQ(connection_->Execute("UPDATE A SET X = X + 10"), 2);
  EXPECT_EQ(connection_->Execute("CREATE TABLE B (Y TEXT)"), 0);
  EXPECT_THAT(Column("SELECT X FROM A ORDER BY X"), ElementsAre("11", "12"));

  const auto bad_sql = [&] { connection_->Execute("UPDATE NOPE SET X = 1"); };
  EXPECT_EQ(ErrorNumberOf(bad_sql), error_number::kGenericFailure);
  EXPECT_EQ(ErrorDescriptionOf(bad_sql), "no such table: NOPE");
  // Every cursor path reports the engine's message, including the keyed ones that rewrite it.
  for (CursorType cursor : {CursorType::kForwardOnly, CursorType::kKeyset, CursorType::kStatic}) {
    EXPECT_EQ(
        ErrorDescriptionOf([&] { Recordset::Open("SELECT * FROM NOPE", *connection_, cursor); }),
        "no such table: NOPE");
  }
  // Execute runs exactly one statement: the rest is not silently dropped.
  EXPECT_THAT(ErrorDescriptionOf([&] { connection_->Execute("DELETE FROM A; DELETE FROM B"); }),
              HasSubstr("DELETE FROM B"));
  EXPECT_THAT(Column("SELECT COUNT(*) FROM A"), ElementsAre("2"));
}

TEST_F(ConnectionTest, TransactionsCommitOrRollBackAndDoNotNest) {
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

TEST_F(ConnectionTest, AWriterDoesNotBlockAReaderOfTheSameServerFile) {
  connection_->Execute("CREATE TABLE A (X INTEGER)");
  auto writer = Connection::Open(ServerString());
  writer->BeginTrans();
  writer->Execute("INSERT INTO A VALUES (1)");
  EXPECT_THAT(Column("SELECT COUNT(*) FROM A"), ElementsAre("0"));
  writer->CommitTrans();
  EXPECT_THAT(Column("SELECT COUNT(*) FROM A"), ElementsAre("1"));
}

TEST_F(ConnectionTest, AClosedConnectionRaises3704AndClosesItsRecordSets) {
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
