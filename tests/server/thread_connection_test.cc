#include "server/thread_connection.h"

#include <gtest/gtest.h>

#include <string>

#include "common/error.h"
#include "tests/server/server_database_fixture.h"

namespace tqs::server {
namespace {

class ThreadConnectionTest : public testing::ServerDatabaseTest {
 protected:
  // Opens the thread's connection as a call does and marks the session with a temporary table,
  // which lives exactly as long as the engine's session.
  void OpenAndMark(ThreadConnection& state) {
    std::string error;
    ASSERT_TRUE(state.OpenConnection(error)) << error;
    state.connection().Execute("CREATE TEMP TABLE IF NOT EXISTS SESSIONMARK (X INTEGER)");
  }
  // Whether the thread's next call finds the session of the last one.
  static bool NextCallHasTheMark(ThreadConnection& state) {
    std::string error;
    EXPECT_TRUE(state.OpenConnection(error)) << error;
    bool marked = true;
    try {
      state.connection().Execute("INSERT INTO SESSIONMARK (X) VALUES (1)");
    } catch (const Error&) {
      marked = false;
    }
    state.CloseConnection();
    return marked;
  }
};

TQS_INSTANTIATE_FOR_BACKENDS(ThreadConnectionTest);

// The HTTP host's workers keep their SQLite connection between calls; nothing else does, and
// neither a connection with an open transaction nor one to another database is ever kept.
TEST_P(ThreadConnectionTest, KeepsOnlyACleanSqliteConnectionForTheSameDatabase) {
  ThreadConnection state;
  state.set_connection_string(dsn_);
  OpenAndMark(state);
  state.CloseConnection();
  EXPECT_FALSE(state.HoldsConnection());
  EXPECT_FALSE(NextCallHasTheMark(state)) << "kept without being asked to";

  state.set_keep_sqlite_connection(true);
  OpenAndMark(state);
  state.CloseConnection();
  EXPECT_FALSE(state.HoldsConnection());  // for the calls, closed all the same
  EXPECT_EQ(NextCallHasTheMark(state), !OnPostgres());

  // A transaction left open is rolled back with its connection, not carried into the next call.
  OpenAndMark(state);
  state.connection().BeginTrans();
  state.connection().Execute(
      "INSERT INTO PARAMETERS (PARAMNAME, PARAMVALUE) VALUES ('LeftOpen', 'x')");
  state.CloseConnection();
  EXPECT_FALSE(NextCallHasTheMark(state));
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM PARAMETERS WHERE PARAMNAME = 'LeftOpen'"), "0");

  // Another database: the kept connection is not used for it.
  OpenAndMark(state);
  state.CloseConnection();
  state.set_connection_string(dsn_ + ";");
  EXPECT_FALSE(NextCallHasTheMark(state));

  // Keeping turned off closes the connection kept until then.
  state.set_connection_string(dsn_);
  OpenAndMark(state);
  state.CloseConnection();
  state.set_keep_sqlite_connection(false);
  state.set_keep_sqlite_connection(true);
  EXPECT_FALSE(NextCallHasTheMark(state));
}

}  // namespace
}  // namespace tqs::server
