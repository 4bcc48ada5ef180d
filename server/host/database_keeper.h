// A DatabaseKeeper holds one idle connection to the host's server database from the start of
// serving until the host's workers have ended, when that database is an SQLite file. Each
// worker keeps its own connection from one call to the next (thread_connection.h), but a
// worker's connection is closed when its thread ends and is opened anew after another database
// was named; when the closing connection is the last one open, SQLite copies its write-ahead log
// into the database file and deletes the log, which costs more syncs of the disk than a call's
// own commit. With the keeper open, the log is copied into the database as it fills (SQLite's
// automatic checkpoint) and once more when the keeper closes last. While the host serves,
// "server.db-wal" and "server.db-shm" lie beside the database and hold committed documents: a
// copy of the database is made with "TQSRemoteAdmin backup", never by copying the file alone.
//
// A database that cannot be opened now is not kept (the calls report why they cannot reach it);
// a PostgreSQL server database needs no keeper. Not thread-safe; lives on the serving thread.
#ifndef TQS_SERVER_HOST_DATABASE_KEEPER_H_
#define TQS_SERVER_HOST_DATABASE_KEEPER_H_

#include <memory>
#include <string_view>

#include "platform/db/connection.h"

namespace tqs::server::host {

class DatabaseKeeper {
 public:
  explicit DatabaseKeeper(std::string_view connection_string);
  ~DatabaseKeeper();  // the last close copies the log into the database; never raises
  DatabaseKeeper(const DatabaseKeeper&) = delete;
  DatabaseKeeper& operator=(const DatabaseKeeper&) = delete;

  // Whether a connection is held.
  bool keeping() const { return connection_ != nullptr; }

 private:
  std::unique_ptr<db::Connection> connection_;
};

}  // namespace tqs::server::host

#endif  // TQS_SERVER_HOST_DATABASE_KEEPER_H_
