// A Connection is an open session with one database, reached through an ADO-style connection
// string whose Provider picks the backend:
//   Provider=SQLite;Data Source=FILE
//   Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;Data Source=FILE  (an SQLite
//     file stands in for the Jet file; the name is kept)
//   Provider=PostgreSQL;Host=...;Port=...;Database=...;User ID=...;Password=...
//     (Host may name the folder of the server's Unix socket; optional keys: Search Path, a
//     schema or a comma-separated list of schemas, and Connect Timeout in seconds). Physical
//     connections are pooled per process: Close, or dropping the Connection, hands the
//     connection back, reset, and the next Open of the same database reuses it.
// SQL texts are accepted as the programs write them, national-character literals N'...'
// included, compared exactly. Errors are tqs::Error carrying the provider's message: a
// malformed string or unknown provider names what was wrong.
//
// A Connection is used by one thread at a time; open one per thread. Record sets opened on it
// must be closed or destroyed before it is.
#ifndef TQS_PLATFORM_DB_CONNECTION_H_
#define TQS_PLATFORM_DB_CONNECTION_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tqs::db {

class Connection {
 public:
  virtual ~Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Opens the database named by `connection_string`. The user name and password, when not
  // empty, override those of the string.
  static std::unique_ptr<Connection> Open(std::string_view connection_string,
                                          std::string_view user = {},
                                          std::string_view password = {});

  // Like Open, but an embedded database file that does not exist yet is created (empty); on
  // PostgreSQL a missing database, and the first schema of the Search Path, are created.
  // Open itself never creates one: a mistyped name is an error, not a new empty database.
  static std::unique_ptr<Connection> OpenOrCreate(std::string_view connection_string);

  // Runs a statement that returns no rows; returns the number of rows it changed.
  virtual std::int64_t Execute(std::string_view sql) = 0;

  // Runs a script of several statements separated by ";" (schema creation, default data).
  virtual void ExecuteBatch(std::string_view script) = 0;

  // Transactions. Nested calls are an error.
  virtual void BeginTrans() = 0;
  virtual void CommitTrans() = 0;
  virtual void RollbackTrans() = 0;

  // Whether a transaction begun with BeginTrans (or a Transaction) is open now.
  virtual bool InTransaction() const = 0;

  // Closes the session; any later use raises tqs::Error 3704.
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;

  // The provider name of the connection string ("SQLite", "PostgreSQL", ...).
  virtual std::string Provider() const = 0;

 protected:
  Connection() = default;
};

}  // namespace tqs::db

#endif  // TQS_PLATFORM_DB_CONNECTION_H_
