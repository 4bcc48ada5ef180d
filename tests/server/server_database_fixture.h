// A fresh server database (schema and default data) for each test, on each backend: the suites
// that derive from ServerDatabaseTest run once on SQLite and once on PostgreSQL, the latter
// skipped with the reason when no test server is given (tests/platform/db/test_backends.h).
//
//   class MyTest : public testing::ServerDatabaseTest { ... };
//   TQS_INSTANTIATE_FOR_BACKENDS(MyTest);
//   TEST_P(MyTest, Something) { ... dsn_ ... }
//
// A derived SetUp calls ServerDatabaseTest::SetUp() first and returns when IsSkipped().
#ifndef TQS_TESTS_SERVER_SERVER_DATABASE_FIXTURE_H_
#define TQS_TESTS_SERVER_SERVER_DATABASE_FIXTURE_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/db/connection.h"
#include "tests/platform/db/test_backends.h"

namespace tqs::testing {

class ServerDatabaseTest : public ::testing::TestWithParam<test_support::Backend> {
 protected:
  void SetUp() override;
  void TearDown() override;

  bool OnPostgres() const { return GetParam() == test_support::Backend::kPostgreSql; }

  // A new connection to the database.
  std::unique_ptr<db::Connection> Connect() const;
  // The single value of a query, as text ("<null>" for null, "<none>" without a row).
  std::string Scalar(const std::string& sql) const;

  // A folder for the test's files, removed at the end.
  std::filesystem::path folder_;
  // The connection string of the server database.
  std::string dsn_;

 private:
  std::unique_ptr<test_support::ScratchDatabase> database_;
};

}  // namespace tqs::testing

#endif  // TQS_TESTS_SERVER_SERVER_DATABASE_FIXTURE_H_
