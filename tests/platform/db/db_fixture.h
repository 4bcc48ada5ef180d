// A fresh folder with one server database (Provider=SQLite) for each test, and helpers to read
// what the database holds through a second path (plain SQL), so a test checks the rows
// themselves rather than what the record set under test believes.
#ifndef TQS_TESTS_PLATFORM_DB_DB_FIXTURE_H_
#define TQS_TESTS_PLATFORM_DB_DB_FIXTURE_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "tests/support/temp_dir.h"

namespace tqs::db {

class DbTest : public ::testing::Test {
 protected:
  void SetUp() override { connection_ = Connection::OpenOrCreate(ServerString()); }

  std::string ServerString(const std::string& file = "server.db") const {
    return "Provider=SQLite;Data Source=" + (dir_.path() / file).string();
  }

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

  test_support::ScopedTempDir dir_;
  std::unique_ptr<Connection> connection_;
};

}  // namespace tqs::db

#endif  // TQS_TESTS_PLATFORM_DB_DB_FIXTURE_H_
