#include "platform/db/postgres/connection_pool.h"

#include <libpq-fe.h>

#include "common/error.h"
#include "platform/db/postgres/pg_error.h"

namespace tqs::db::postgres {
namespace {

// The session settings every connection starts with (and returns to when reset): dates in ISO
// order, so they read back as the core's date texts, full float precision, and literals in
// which a backslash is an ordinary character, whatever the server's, database's or role's
// default: QuoteSql only doubles apostrophes, so with standard_conforming_strings off a value
// ending in a backslash would end the literal early and the rest of it would be read as SQL.
// Given as start-up options, they take precedence over those defaults and are what DISCARD ALL
// returns to, so they hold for every use of a pooled connection. (The client encoding, UTF8, is
// a start-up setting of its own below.)
constexpr const char* kSessionOptions =
    "-c DateStyle=ISO,YMD -c extra_float_digits=3 -c standard_conforming_strings=on";

void IgnoreNotice(void*, const char*) {
  // Notices ("table already exists, skipping") are not errors and have no one to go to.
}

// A value inside the libpq options keyword: blanks and backslashes are escaped.
std::string EscapeOption(const std::string& value) {
  std::string escaped;
  for (char c : value) {
    if (c == ' ' || c == '\\') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

bool Succeeded(PGresult* result, ExecStatusType expected) {
  const bool ok = result != nullptr && PQresultStatus(result) == expected;
  PQclear(result);
  return ok;
}

// Leaves `connection` as a fresh session would be; false when it cannot be used again.
bool ResetSession(PGconn* connection) {
  if (PQstatus(connection) != CONNECTION_OK) return false;
  if (PQtransactionStatus(connection) != PQTRANS_IDLE &&
      !Succeeded(PQexec(connection, "ROLLBACK"), PGRES_COMMAND_OK)) {
    return false;
  }
  return PQtransactionStatus(connection) == PQTRANS_IDLE &&
         Succeeded(PQexec(connection, "DISCARD ALL"), PGRES_COMMAND_OK);
}

// Asks the server whether the connection still works (one round trip).
bool StillWorks(PGconn* connection) {
  return PQstatus(connection) == CONNECTION_OK &&
         Succeeded(PQexec(connection, ""), PGRES_EMPTY_QUERY);
}

// Closes the idle connections of the pool when the process ends normally.
struct CloseIdleAtExit {
  ~CloseIdleAtExit() { ConnectionPool::ForProcess().CloseIdle(); }
};

}  // namespace

std::vector<std::pair<std::string, std::string>> ServerAddress::Parameters(
    const std::string& dbname) const {
  std::string options = kSessionOptions;
  if (!search_path.empty()) options += " -c search_path=" + EscapeOption(search_path);
  std::vector<std::pair<std::string, std::string>> parameters = {
      {"host", host},
      {"port", port},
      {"dbname", dbname},
      {"user", user},
      {"password", password},
      {"connect_timeout", connect_timeout},
      {"client_encoding", "UTF8"},
      {"application_name", "TQSRemote"},
      {"options", options},
  };
  std::erase_if(parameters, [](const auto& parameter) { return parameter.second.empty(); });
  return parameters;
}

std::string ServerAddress::PoolKey() const {
  std::string key;
  for (const auto& [keyword, value] : Parameters(database)) {
    key += keyword + '=' + value + '\x1f';
  }
  return key;
}

PhysicalConnection::PhysicalConnection(PGconn* handle, std::string pool_key)
    : handle_(handle), pool_key_(std::move(pool_key)) {}

PhysicalConnection::~PhysicalConnection() { PQfinish(handle_); }

std::string PhysicalConnection::NextStatementName() {
  return "tqs_" + std::to_string(++statement_counter_);
}

std::unique_ptr<PhysicalConnection> Connect(const ServerAddress& address,
                                            const std::string& database) {
  const auto parameters = address.Parameters(database);
  std::vector<const char*> keywords;
  std::vector<const char*> values;
  for (const auto& [keyword, value] : parameters) {
    keywords.push_back(keyword.c_str());
    values.push_back(value.c_str());
  }
  keywords.push_back(nullptr);
  values.push_back(nullptr);
  PGconn* handle = PQconnectdbParams(keywords.data(), values.data(), /*expand_dbname=*/0);
  if (handle == nullptr) {
    throw Error(error_number::kGenericFailure,
                "Out of memory while connecting to PostgreSQL database '" + database + "'");
  }
  // The connection owns the handle from here on, also when connecting failed.
  auto connection = std::make_unique<PhysicalConnection>(handle, address.PoolKey());
  if (PQstatus(handle) != CONNECTION_OK) {
    throw TranslatePgError(handle, nullptr, "PostgreSQL database '" + database + "'");
  }
  PQsetNoticeProcessor(handle, IgnoreNotice, nullptr);
  return connection;
}

ConnectionPool& ConnectionPool::ForProcess() {
  // Never destroyed: drivers of other threads may still hand connections back while the
  // process ends. The idle ones are closed by CloseIdleAtExit.
  static ConnectionPool* const pool = new ConnectionPool();
  static CloseIdleAtExit close_at_exit;
  return *pool;
}

ConnectionPool::~ConnectionPool() { CloseIdle(); }

std::unique_ptr<PhysicalConnection> ConnectionPool::Acquire(const ServerAddress& address) {
  const std::string key = address.PoolKey();
  for (;;) {
    std::unique_ptr<PhysicalConnection> connection;
    {
      std::lock_guard lock(mutex_);
      for (auto it = idle_.begin(); it != idle_.end(); ++it) {
        if ((*it)->pool_key() == key) {
          connection = std::move(*it);
          idle_.erase(it);
          break;
        }
      }
    }
    if (!connection) return Connect(address, address.database);
    const auto idle_for = std::chrono::steady_clock::now() - connection->idle_since_;
    if (idle_for < kCheckAfterIdle || StillWorks(connection->handle())) return connection;
    // A connection that went away while idle is dropped; the next one is tried.
  }
}

void ConnectionPool::Release(std::unique_ptr<PhysicalConnection> connection) {
  if (!connection || !ResetSession(connection->handle())) return;
  connection->idle_since_ = std::chrono::steady_clock::now();
  std::list<std::unique_ptr<PhysicalConnection>> surplus;  // closed outside the lock
  {
    std::lock_guard lock(mutex_);
    const std::string key = connection->pool_key();
    idle_.push_front(std::move(connection));
    std::size_t same_database = 0;
    for (auto it = idle_.begin(); it != idle_.end();) {
      if ((*it)->pool_key() == key && ++same_database > kIdlePerDatabase) {
        surplus.push_back(std::move(*it));
        it = idle_.erase(it);
      } else {
        ++it;
      }
    }
    while (idle_.size() > kIdleTotal) {
      surplus.push_back(std::move(idle_.back()));
      idle_.pop_back();
    }
  }
}

void ConnectionPool::CloseIdle() {
  std::list<std::unique_ptr<PhysicalConnection>> closing;
  {
    std::lock_guard lock(mutex_);
    closing.swap(idle_);
  }
}

std::size_t ConnectionPool::IdleCount() const {
  std::lock_guard lock(mutex_);
  return idle_.size();
}

}  // namespace tqs::db::postgres
