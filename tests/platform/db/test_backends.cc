#include "tests/platform/db/test_backends.h"

#include <unistd.h>

#include <cstdlib>
#include <random>

#include "common/error.h"
#include "platform/db/connection.h"

namespace tqs::test_support {

std::string BackendName(Backend backend) {
  return backend == Backend::kSqlite ? "SQLite" : "PostgreSQL";
}

void PrintTo(Backend backend, std::ostream* out) { *out << BackendName(backend); }

std::optional<std::string> PostgresTestDsn() {
  const char* dsn = std::getenv("TQS_TEST_POSTGRES_DSN");
  if (dsn == nullptr || *dsn == '\0') return std::nullopt;
  return std::string(dsn);
}

ScratchDatabase::ScratchDatabase(Backend backend) : backend_(backend) {
  if (backend == Backend::kSqlite) {
    connection_string_ = "Provider=SQLite;Data Source=" + (folder_.path() / "server.db").string();
    db::Connection::OpenOrCreate(connection_string_);
    return;
  }
  const std::optional<std::string> server = PostgresTestDsn();
  if (!server) throw Error(error_number::kConnectionInvalid, kNoPostgresServer);
  std::random_device random;
  schema_ = "tqs_test_" + std::to_string(::getpid()) + "_" + std::to_string(random() % 1000000);
  db::Connection::Open(*server)->Execute("CREATE SCHEMA " + schema_);
  connection_string_ = *server + ";Search Path=" + schema_;
}

ScratchDatabase::~ScratchDatabase() {
  if (schema_.empty()) return;
  try {
    db::Connection::Open(*PostgresTestDsn())->Execute("DROP SCHEMA " + schema_ + " CASCADE");
  } catch (const Error& error) {
    ADD_FAILURE() << "Dropping the test schema " << schema_ << ": " << error.description();
  }
}

}  // namespace tqs::test_support
