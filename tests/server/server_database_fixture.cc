#include "tests/server/server_database_fixture.h"

#include <random>

#include "platform/db/recordset.h"
#include "server/admin/installation.h"

namespace tqs::testing {

void ServerDatabaseTest::SetUp() {
  std::random_device random;
  folder_ = std::filesystem::temp_directory_path() /
            ("tqs-server-" + std::to_string(random()) + std::to_string(random()));
  std::filesystem::create_directories(folder_);
  dsn_ = "Provider=SQLite;Data Source=" + (folder_ / "server.db").string();
  server::InitializeDatabase(dsn_);
}

void ServerDatabaseTest::TearDown() { std::filesystem::remove_all(folder_); }

std::unique_ptr<db::Connection> ServerDatabaseTest::Connect() const {
  return db::Connection::Open(dsn_);
}

std::string ServerDatabaseTest::Scalar(const std::string& sql) const {
  auto connection = Connect();
  auto rs = db::Recordset::Open(sql, *connection, db::CursorType::kForwardOnly,
                                db::LockType::kReadOnly);
  if (rs->IsEOF()) return "<none>";
  const auto value = rs->Field(0);
  return value.IsNull() ? "<null>" : value.AsText();
}

}  // namespace tqs::testing
