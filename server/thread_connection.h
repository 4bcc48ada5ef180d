// The JobSheet component's database state of one calling thread, as the apartment model gives
// it: the connection string that the last public method stored, and the connection, which is
// none, created but not opened, or open. Every public method that touches the database stores
// its connection string here, opens the connection at its start and releases it at its end, so
// no connection outlives one call. OpenConnection and EnsureConnection report failures through
// their result or not at all; CloseConnection raises.
//
// Not thread-safe by design: each thread has its own ThreadConnection (ForCurrentThread).
#ifndef TQS_SERVER_THREAD_CONNECTION_H_
#define TQS_SERVER_THREAD_CONNECTION_H_

#include <memory>
#include <string>
#include <string_view>

#include "platform/db/connection.h"

namespace tqs::server {

class ThreadConnection {
 public:
  ThreadConnection() = default;
  ThreadConnection(const ThreadConnection&) = delete;
  ThreadConnection& operator=(const ThreadConnection&) = delete;

  // The state of the calling thread, created on its first use.
  static ThreadConnection& ForCurrentThread();

  void set_connection_string(std::string value) { connection_string_ = std::move(value); }
  const std::string& connection_string() const { return connection_string_; }

  // Opens a connection with the stored connection string unless one is held (a held connection
  // is taken as open and left alone). Sets error_details to "" first; on failure puts the
  // provider's description there, holds no connection and returns false.
  bool OpenConnection(std::string& error_details);

  // Creates the connection if none is held; opens it when connection_name is exactly "Varnex".
  // A connection that is already open is kept. Failures are not reported: the connection is
  // dropped and the following database operations fail with the provider's message.
  void EnsureConnection(std::string_view connection_name);

  // Closes and drops the held connection. Raises tqs::Error 91 when none is held and 3704 when
  // it was created but never opened (it is dropped all the same).
  void CloseConnection();

  // Drops the connection without reporting anything (dropping closes it).
  void DropConnection();

  // Keeps a closed SQLite connection open for this thread's next call with the same connection
  // string (the HTTP host's workers): opening one reads the database's schema and compiles
  // every statement anew, which costs more than a small call's own work. For the calls nothing
  // changes: CloseConnection still leaves the thread without a connection. A connection with an
  // open transaction is closed, never kept; the kept one is closed when the thread ends, a call
  // names another database, or keeping is turned off.
  void set_keep_sqlite_connection(bool keep) {
    keep_sqlite_ = keep;
    if (!keep) kept_.reset();
  }

  bool HoldsConnection() const { return state_ != State::kNone; }

  // The open connection. Raises 91 when none is held and 3709 when it is not open, the errors
  // the following operations then report.
  db::Connection& connection();

 private:
  enum class State { kNone, kCreated, kOpen };

  std::string connection_string_;
  State state_ = State::kNone;
  std::unique_ptr<db::Connection> connection_;  // set in State::kOpen
  // A connection kept from an earlier call (set_keep_sqlite_connection), and its string.
  bool keep_sqlite_ = false;
  std::unique_ptr<db::Connection> kept_;
  std::string kept_for_;

  // The kept connection when it is to the stored connection string, else a new one.
  std::unique_ptr<db::Connection> Connect();
};

}  // namespace tqs::server

#endif  // TQS_SERVER_THREAD_CONNECTION_H_
