#include "platform/db/table_copy.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/error.h"
#include "platform/db/connection.h"
#include "platform/db/connection_string.h"
#include "platform/db/internal/connection_impl.h"
#include "platform/db/internal/query_text.h"
#include "platform/db/sqlite/sqlite_table_copy.h"
#include "platform/db/transaction.h"

namespace tqs::db {
namespace {

Error Refused(std::string_view problem) {
  return Error(error_number::kGenericFailure,
               "The statement was refused and nothing of it was run: the rows to copy must come "
               "from one read-only query (SELECT, VALUES or WITH ... SELECT) so that the source "
               "database is never changed, but " +
                   std::string(problem));
}

// The file of an embedded database, or std::nullopt for a server database or a string that
// does not parse (the copy through statements reports the latter).
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

std::optional<std::int64_t> ReplaceRowsInEngine(const TableCopy& copy) {
  const std::optional<sqlite::OpenOptions> source = EmbeddedFile(copy.source_connection_string);
  const std::optional<sqlite::OpenOptions> target = EmbeddedFile(copy.target_connection_string);
  if (!source || !target) return std::nullopt;
  return sqlite::ReplaceRowsBetweenFiles(*source, *target, copy);
}

// The column names of `table` in the target, in their order.
std::vector<std::string> TargetColumns(internal::Session& target, std::string_view table) {
  try {
    internal::StatementLease columns = target.Prepare("SELECT * FROM " + std::string(table));
    std::vector<std::string> names;
    for (int i = 0; i < columns->ColumnCount(); ++i) names.push_back(columns->Column(i).name);
    return names;
  } catch (const Error& error) {
    throw Error(error.number(),
                "The table " + std::string(table) +
                    " to copy into cannot be read in the target database: " + error.description());
  }
}

// Field i of the source statement into column i of the table, one row at a time, the engine
// values bound as they were read.
std::int64_t ReplaceRowsThroughStatements(const TableCopy& copy) {
  auto source_connection = Connection::Open(copy.source_connection_string);
  const std::shared_ptr<internal::Session> source = internal::SessionOf(*source_connection);
  source->driver().RefuseWrites();
  internal::StatementLease query = source->Prepare(copy.select_sql);
  if (!query->IsReadOnly()) throw Refused("the database engine says that it writes");
  const int fields = query->ColumnCount();
  if (fields == 0) throw Refused("it selects no fields");

  auto target_connection = Connection::Open(copy.target_connection_string);
  const std::shared_ptr<internal::Session> target = internal::SessionOf(*target_connection);
  const std::vector<std::string> columns = TargetColumns(*target, copy.table);
  if (static_cast<std::size_t>(fields) > columns.size()) {
    throw Error(error_number::kGenericFailure,
                "The query selects " + std::to_string(fields) + " fields but table " +
                    std::string(copy.table) + " has " + std::to_string(columns.size()) +
                    " columns: field " + std::to_string(columns.size() + 1) + " ('" +
                    query->Column(static_cast<int>(columns.size())).name +
                    "') has no column to go into");
  }
  std::string names;
  std::string places;
  for (int i = 0; i < fields; ++i) {
    names += (i > 0 ? ", " : "") + target->driver().QuoteIdentifier(columns[i]);
    places += i > 0 ? ", ?" : "?";
  }

  Transaction transaction(*target_connection);
  target->Execute("DELETE FROM " + std::string(copy.table));
  internal::StatementLease insert = target->Prepare("INSERT INTO " + std::string(copy.table) +
                                                    " (" + names + ") VALUES (" + places + ")");
  const std::int64_t every = copy.rows_between_progress;
  std::int64_t rows = 0;
  while (query->Step()) {
    if (rows > 0 && every > 0 && rows % every == 0 && copy.progress) copy.progress(rows);
    for (int i = 0; i < fields; ++i) insert->Bind(i, query->Value(i));
    while (insert->Step()) {
    }
    insert->Reset();
    ++rows;
  }
  insert.Release();
  transaction.Commit();
  query.Release();
  return rows;
}

}  // namespace

std::int64_t ReplaceRows(const TableCopy& copy) {
  const internal::QueryTextKind kind = internal::ClassifyQueryText(copy.select_sql);
  if (kind != internal::QueryTextKind::kReadOnlyQuery) {
    throw Refused(internal::QueryTextProblem(kind));
  }
  if (copy.method == CopyMethod::kFastest) {
    if (const std::optional<std::int64_t> rows = ReplaceRowsInEngine(copy)) return *rows;
  }
  return ReplaceRowsThroughStatements(copy);
}

}  // namespace tqs::db
