#include "tests/server/server_database_fixture.h"

#include "admin/installation.h"
#include "platform/db/recordset.h"

namespace tqs::testing {

void ServerDatabaseTest::SetUp() {
  TQS_SKIP_UNLESS_AVAILABLE(GetParam());
  database_ = std::make_unique<test_support::ScratchDatabase>(GetParam());
  folder_ = database_->folder();
  dsn_ = database_->connection_string();
  admin::InitializeDatabase(dsn_);
}

void ServerDatabaseTest::TearDown() { database_.reset(); }

std::unique_ptr<db::Connection> ServerDatabaseTest::Connect() const {
  return db::Connection::Open(dsn_);
}

std::string ServerDatabaseTest::Scalar(const std::string& sql) const {
  auto connection = Connect();
  auto rs =
      db::Recordset::Open(sql, *connection, db::CursorType::kForwardOnly, db::LockType::kReadOnly);
  if (rs->IsEOF()) return "<none>";
  const auto value = rs->Field(0);
  return value.IsNull() ? "<null>" : value.AsText();
}

}  // namespace tqs::testing
