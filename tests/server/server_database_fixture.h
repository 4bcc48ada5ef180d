// A fresh server database (SQLite file with schema and default data) in a temporary folder,
// with helpers to read rows back.
#ifndef TQS_TESTS_SERVER_SERVER_DATABASE_FIXTURE_H_
#define TQS_TESTS_SERVER_SERVER_DATABASE_FIXTURE_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/db/connection.h"

namespace tqs::testing {

class ServerDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A new connection to the database.
  std::unique_ptr<db::Connection> Connect() const;
  // The single value of a query, as text ("<null>" for null, "<none>" without a row).
  std::string Scalar(const std::string& sql) const;

  std::filesystem::path folder_;
  std::string dsn_;
};

}  // namespace tqs::testing

#endif  // TQS_TESTS_SERVER_SERVER_DATABASE_FIXTURE_H_
