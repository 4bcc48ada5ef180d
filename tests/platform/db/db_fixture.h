// A fresh, empty database of the test's backend (SQLite file or PostgreSQL schema) for each
// test, and helpers to read what the database holds through a second path (plain SQL), so a
// test checks the rows themselves rather than what the record set under test believes.
#ifndef TQS_TESTS_PLATFORM_DB_DB_FIXTURE_H_
#define TQS_TESTS_PLATFORM_DB_DB_FIXTURE_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "tests/platform/db/test_backends.h"

namespace tqs::db {

class DbTest : public ::testing::TestWithParam<test_support::Backend> {
 protected:
  void SetUp() override {
    TQS_SKIP_UNLESS_AVAILABLE(GetParam());
    database_ = std::make_unique<test_support::ScratchDatabase>(GetParam());
    connection_ = Connection::Open(ServerString());
  }
  void TearDown() override {
    connection_.reset();
    database_.reset();
  }

  bool OnPostgres() const { return GetParam() == test_support::Backend::kPostgreSql; }
  // The text that suits the backend under test.
  const char* ForBackend(const char* sqlite, const char* postgres) const {
    return OnPostgres() ? postgres : sqlite;
  }

  std::string ServerString() const { return database_->connection_string(); }

  // The values of the first column of `sql`, read forward-only, as text ("<null>" for null).
  std::vector<std::string> Column(const std::string& sql) {
    std::vector<std::string> values;
    auto rs = Recordset::Open(sql, *connection_);
    for (; !rs->IsEOF(); rs->MoveNext()) {
      const automation::Variant value = rs->Field(0);
      values.push_back(value.IsNull() ? "<null>" : value.AsText());
    }
    return values;
  }

  std::unique_ptr<test_support::ScratchDatabase> database_;
  std::unique_ptr<Connection> connection_;
};

}  // namespace tqs::db

#endif  // TQS_TESTS_PLATFORM_DB_DB_FIXTURE_H_
