#include "server/schema/schema_version.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "common/error.h"
#include "common/text.h"
#include "platform/db/recordset.h"
#include "platform/db/transaction.h"

namespace tqs::server {
namespace {

// The version a database without SCHEMAVERSION rows is at.
constexpr int kUnrecordedVersion = 1;

// One step from the version before it to `version`. `apply` changes only what is not yet so:
// it may meet a database that already has the change (a new database, whose schema script
// creates the current shape, or a step whose version row was lost).
struct Migration {
  int version;
  const char* description;
  void (*apply)(db::Connection& connection);
};

void AddUserDisabledColumn(db::Connection& connection) {
  if (TableColumns(connection, "USERDEFAULTS").count("DISABLED")) return;
  connection.Execute("ALTER TABLE USERDEFAULTS ADD COLUMN DISABLED SMALLINT NOT NULL DEFAULT 0");
}

constexpr Migration kMigrations[] = {
    {2, "USERDEFAULTS.DISABLED (logins can be disabled)", &AddUserDisabledColumn},
};
static_assert(std::size(kMigrations) == kServerSchemaVersion - kUnrecordedVersion,
              "one migration per version above the first");

void ApplyMigration(db::Connection& connection, const Migration& migration) {
  db::Transaction transaction(connection);
  // Two upgrades at once: the second waits here and then finds the version recorded.
  transaction.LockName("tqs-schema-version");
  if (ReadSchemaVersion(connection) >= migration.version) return;
  migration.apply(connection);
  connection.Execute(fmt::format("INSERT INTO SCHEMAVERSION (VERSION, DESCRIPTION) VALUES ({}, {})",
                                 migration.version, QuoteSql(migration.description)));
  transaction.Commit();
}

}  // namespace

int ReadSchemaVersion(db::Connection& connection) {
  if (TableColumns(connection, "SCHEMAVERSION").empty()) return kUnrecordedVersion;
  auto rs = db::Recordset::Open("SELECT MAX(VERSION) FROM SCHEMAVERSION", connection,
                                db::CursorType::kForwardOnly, db::LockType::kReadOnly);
  const auto highest = rs->Field(0);
  return highest.IsNull() ? kUnrecordedVersion : highest.AsInt32();
}

void RefuseNewerSchema(db::Connection& connection) {
  const int version = ReadSchemaVersion(connection);
  if (version <= kServerSchemaVersion) return;
  throw Error(error_number::kOperationNotAllowed,
              fmt::format("The server database is at schema version {}, newer than the version "
                          "these programs know ({}): programs of a newer release brought it "
                          "there. Nothing was changed; use the programs of that release.",
                          version, kServerSchemaVersion));
}

void RequireSchemaVersion(db::Connection& connection, int version, std::string_view needed_for) {
  const int found = ReadSchemaVersion(connection);
  if (found >= version) return;
  throw Error(error_number::kOperationNotAllowed,
              fmt::format("The server database is at schema version {}, made before {}; bring "
                          "it up to date first with \"TQSRemoteAdmin upgrade DIR\" (or "
                          "\"TQSRemoteAdmin init-db --dsn ...\")",
                          found, needed_for));
}

SchemaUpgrade UpgradeServerSchema(db::Connection& connection) {
  SchemaUpgrade upgrade;
  RefuseNewerSchema(connection);
  upgrade.new_database = TableColumns(connection, "USERDEFAULTS").empty();
  upgrade.from_version = ReadSchemaVersion(connection);
  upgrade.created = CreateServerSchema(connection);
  for (const Migration& migration : kMigrations) {
    if (migration.version <= upgrade.from_version) continue;
    ApplyMigration(connection, migration);
    upgrade.migrations.emplace_back(migration.description);
  }
  upgrade.to_version = ReadSchemaVersion(connection);
  return upgrade;
}

std::string DescribeSchemaUpgrade(const SchemaUpgrade& upgrade) {
  if (upgrade.new_database) {
    return fmt::format("Server database schema version {} (new)", upgrade.to_version);
  }
  if (upgrade.migrations.empty()) {
    return fmt::format("Server database schema version {} (unchanged)", upgrade.to_version);
  }
  return fmt::format("Server database schema version {} (was {}; applied: {})", upgrade.to_version,
                     upgrade.from_version, fmt::join(upgrade.migrations, "; "));
}

}  // namespace tqs::server
