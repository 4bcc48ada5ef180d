// The database backends that the data access and server suites run against: SQLite always, and
// PostgreSQL when the environment variable TQS_TEST_POSTGRES_DSN holds the connection string of
// a server database set aside for tests (scripts/with-postgres.sh starts a throwaway server and
// sets it). A suite is instantiated for both; without a server its PostgreSQL cases skip with
// the reason, so they show as skipped rather than missing.
//
//   class MyTest : public ::testing::TestWithParam<test_support::Backend> { ... };
//   TQS_INSTANTIATE_FOR_BACKENDS(MyTest);
//
// Each test gets a ScratchDatabase of its own: a file in a fresh temporary folder, or a fresh
// schema of the test database (so tests may run in parallel against one server), dropped with
// everything in it at the end.
//
// Not thread-safe; each test makes its own ScratchDatabase.
#ifndef TQS_TESTS_PLATFORM_DB_TEST_BACKENDS_H_
#define TQS_TESTS_PLATFORM_DB_TEST_BACKENDS_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include "tests/support/temp_dir.h"

namespace tqs::test_support {

enum class Backend { kSqlite, kPostgreSql };

// "SQLite" or "PostgreSQL": the suffix of each test's name.
std::string BackendName(Backend backend);
// Prints the backend's name where GoogleTest shows a test's parameter.
void PrintTo(Backend backend, std::ostream* out);

// The connection string of the PostgreSQL test database, or std::nullopt when none is given.
std::optional<std::string> PostgresTestDsn();

// Why a PostgreSQL case is skipped.
inline constexpr char kNoPostgresServer[] =
    "PostgreSQL case skipped: TQS_TEST_POSTGRES_DSN is not set (run the suite through "
    "scripts/with-postgres.sh to test against a throwaway PostgreSQL server)";

// Skips the calling test (from SetUp or a test body) when `backend` is not available.
#define TQS_SKIP_UNLESS_AVAILABLE(backend)                        \
  do {                                                            \
    if ((backend) == ::tqs::test_support::Backend::kPostgreSql && \
        !::tqs::test_support::PostgresTestDsn()) {                \
      GTEST_SKIP() << ::tqs::test_support::kNoPostgresServer;     \
    }                                                             \
  } while (false)

#define TQS_INSTANTIATE_FOR_BACKENDS(suite)                                    \
  INSTANTIATE_TEST_SUITE_P(                                                    \
      , suite,                                                                 \
      ::testing::Values(::tqs::test_support::Backend::kSqlite,                 \
                        ::tqs::test_support::Backend::kPostgreSql),            \
      [](const ::testing::TestParamInfo<::tqs::test_support::Backend>& info) { \
        return ::tqs::test_support::BackendName(info.param);                   \
      })

class ScratchDatabase {
 public:
  // Creates the empty database: the SQLite file, or the schema. Raises tqs::Error for
  // PostgreSQL when TQS_TEST_POSTGRES_DSN is not set.
  explicit ScratchDatabase(Backend backend);
  ~ScratchDatabase();
  ScratchDatabase(const ScratchDatabase&) = delete;
  ScratchDatabase& operator=(const ScratchDatabase&) = delete;

  Backend backend() const { return backend_; }
  // The connection string of the database (on PostgreSQL with the schema as search path).
  const std::string& connection_string() const { return connection_string_; }
  // A folder for files of the test, removed at the end.
  const std::filesystem::path& folder() const { return folder_.path(); }

 private:
  const Backend backend_;
  ScopedTempDir folder_;
  std::string schema_;  // PostgreSQL only
  std::string connection_string_;
};

}  // namespace tqs::test_support

#endif  // TQS_TESTS_PLATFORM_DB_TEST_BACKENDS_H_
