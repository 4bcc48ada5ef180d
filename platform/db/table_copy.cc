#include "platform/db/table_copy.h"

#include "common/error.h"
#include "platform/db/connection_string.h"
#include "platform/db/sqlite/sqlite_table_copy.h"

namespace tqs::db {
namespace {

// The file of an embedded database, or std::nullopt for a server database or a string that
// does not parse (the row-by-row copy reports the latter).
std::optional<sqlite::OpenOptions> EmbeddedFile(std::string_view connection_string) {
  try {
    const ConnectionString parsed = ConnectionString::Parse(connection_string);
    if (parsed.provider() == ProviderKind::kPostgreSql) return std::nullopt;
    sqlite::OpenOptions options;
    options.path = parsed.Require("Data Source");
    options.role = parsed.provider() == ProviderKind::kSqlite ? sqlite::FileRole::kServerDatabase
                                                              : sqlite::FileRole::kClientDatabase;
    return options;
  } catch (const Error&) {
    return std::nullopt;
  }
}

}  // namespace

std::optional<std::int64_t> ReplaceRowsInEngine(const TableCopy& copy) {
  const std::optional<sqlite::OpenOptions> source = EmbeddedFile(copy.source_connection_string);
  const std::optional<sqlite::OpenOptions> target = EmbeddedFile(copy.target_connection_string);
  if (!source || !target) return std::nullopt;
  return sqlite::ReplaceRowsBetweenFiles(*source, *target, copy);
}

}  // namespace tqs::db
