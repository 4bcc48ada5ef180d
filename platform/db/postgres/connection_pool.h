// The physical connections of this process to PostgreSQL servers. Opening one costs far more
// than a statement (authentication, a new server process), and the programs open and close a
// Connection around every public call, so a closed Connection hands its physical connection
// back here instead of ending it, and the next Open of the same server database takes it again.
//
// A connection handed back is made clean first: an open transaction is rolled back and the
// session is reset (settings, prepared statements, cursors, temporary tables, and session-level
// locks, which must not outlive the Connection that took them); one that fails this, or whose
// server went away, is closed instead. A connection that waited idle for a while is checked
// before it is handed out again, so a restarted server costs a reconnect rather than an error.
// At most kIdlePerDatabase connections per server database and kIdleTotal in all are kept;
// beyond that the longest idle ones are closed.
//
// Thread-safe: any thread may acquire and release; a physical connection itself is used by one
// thread at a time, the one whose driver holds it.
#ifndef TQS_PLATFORM_DB_POSTGRES_CONNECTION_POOL_H_
#define TQS_PLATFORM_DB_POSTGRES_CONNECTION_POOL_H_

#include <chrono>
#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// libpq's connection handle (libpq-fe.h), declared here so that users of the pool need not see
// the client library's headers.
typedef struct pg_conn PGconn;

namespace tqs::db::postgres {

// Where a server database is and who connects, as the connection string gives it.
struct ServerAddress {
  std::string host;  // a host name, an address, or the folder of a Unix socket
  std::string port;  // "" for the default
  std::string database;
  std::string user;                    // "" for the operating-system user
  std::string password;                // "" when the server does not ask for one
  std::string search_path;             // "" for the server's default schema search path
  std::string connect_timeout = "15";  // seconds

  // The libpq keywords and values of a connection to `database` at this address.
  std::vector<std::pair<std::string, std::string>> Parameters(const std::string& database) const;
  // Tells server databases apart: equal keys reach the same database as the same user.
  std::string PoolKey() const;
};

// One physical connection: the libpq handle and what lives as long as it does.
class PhysicalConnection {
 public:
  PhysicalConnection(PGconn* handle, std::string pool_key);
  ~PhysicalConnection();
  PhysicalConnection(const PhysicalConnection&) = delete;
  PhysicalConnection& operator=(const PhysicalConnection&) = delete;

  PGconn* handle() const { return handle_; }
  const std::string& pool_key() const { return pool_key_; }
  // A name for a new prepared statement, unique on this connection.
  std::string NextStatementName();

 private:
  friend class ConnectionPool;

  PGconn* const handle_;
  const std::string pool_key_;
  unsigned long statement_counter_ = 0;
  std::chrono::steady_clock::time_point idle_since_{};
};

// Opens a new physical connection (not pooled). Raises tqs::Error with the server's message.
std::unique_ptr<PhysicalConnection> Connect(const ServerAddress& address,
                                            const std::string& database);

class ConnectionPool {
 public:
  static constexpr std::size_t kIdlePerDatabase = 16;
  static constexpr std::size_t kIdleTotal = 64;
  // A connection idle for longer than this is checked before it is handed out.
  static constexpr std::chrono::seconds kCheckAfterIdle{5};

  // The pool of this process.
  static ConnectionPool& ForProcess();

  ConnectionPool() = default;
  ConnectionPool(const ConnectionPool&) = delete;
  ConnectionPool& operator=(const ConnectionPool&) = delete;
  ~ConnectionPool();

  // An idle connection to `address`, or a new one. Raises tqs::Error with the server's message.
  std::unique_ptr<PhysicalConnection> Acquire(const ServerAddress& address);
  // Takes `connection` back: resets it and keeps it idle, or closes it. Never raises.
  void Release(std::unique_ptr<PhysicalConnection> connection);
  // Closes every idle connection.
  void CloseIdle();
  std::size_t IdleCount() const;

 private:
  mutable std::mutex mutex_;
  std::list<std::unique_ptr<PhysicalConnection>> idle_;  // most recently released first
};

}  // namespace tqs::db::postgres

#endif  // TQS_PLATFORM_DB_POSTGRES_CONNECTION_POOL_H_
