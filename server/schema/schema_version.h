// The version of the server database's schema, and the migrations that bring an older database
// up to the version of these programs. The database records each version it was brought to as
// a row of SCHEMAVERSION (the same table on every backend); a database without rows, or without
// the table, was made before versions were recorded and is at version 1. UpgradeServerSchema is
// what `TQSRemoteAdmin init-db`, `install` and `upgrade` run: it refuses a database of a newer
// version before changing anything, creates what is missing (CreateServerSchema), then applies
// each migration above the database's version in a transaction of its own together with its
// SCHEMAVERSION row. Every migration is idempotent (it changes only what is not yet so), so an
// upgrade that was interrupted is simply run again.
//
// Functions on a connection; not thread-safe (one connection, one thread). Two upgrades of one
// database at once are serialised by the database: the second one finds the versions recorded.
#ifndef TQS_SERVER_SCHEMA_SCHEMA_VERSION_H_
#define TQS_SERVER_SCHEMA_SCHEMA_VERSION_H_

#include <string>
#include <string_view>
#include <vector>

#include "platform/db/connection.h"
#include "server/schema/server_schema.h"

namespace tqs::server {

// The schema version of these programs:
//   1  the tables, indexes and default data as first delivered (no SCHEMAVERSION row)
//   2  USERDEFAULTS.DISABLED: a login can be disabled
inline constexpr int kServerSchemaVersion = 2;

// The version that added USERDEFAULTS.DISABLED, which every login lookup reads.
inline constexpr int kLoginDisablingVersion = 2;

// The database's version: the highest SCHEMAVERSION row, else 1. Raises tqs::Error with the
// provider's message.
int ReadSchemaVersion(db::Connection& connection);

// Raises tqs::Error (and changes nothing) when the database's version is higher than
// kServerSchemaVersion: programs of a newer release brought it there, and these programs would
// misread it.
void RefuseNewerSchema(db::Connection& connection);

// What UpgradeServerSchema did.
struct SchemaUpgrade {
  bool new_database = false;  // it had no tables: the schema was created
  int from_version = 1;
  int to_version = 1;
  SchemaReport created;                 // what CreateServerSchema added
  std::vector<std::string> migrations;  // the description of each migration applied
};

// Raises tqs::Error (error_number::kOperationNotAllowed) when the database is older than
// `version`: `needed_for` says what needs that version ("logins could be disabled"), and the
// message names the commands that bring the database up to date.
void RequireSchemaVersion(db::Connection& connection, int version, std::string_view needed_for);

// Brings the database to kServerSchemaVersion (see above). Raises tqs::Error: a newer
// database is refused untouched; a migration that fails is rolled back with its version row,
// and the migrations before it stay applied and recorded.
SchemaUpgrade UpgradeServerSchema(db::Connection& connection);

// "Server database schema version 2 (was 1; applied: ...)", "... version 2 (unchanged)" or
// "... version 2 (new)".
std::string DescribeSchemaUpgrade(const SchemaUpgrade& upgrade);

}  // namespace tqs::server

#endif  // TQS_SERVER_SCHEMA_SCHEMA_VERSION_H_
