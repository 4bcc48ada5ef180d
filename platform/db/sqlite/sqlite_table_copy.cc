#include "platform/db/sqlite/sqlite_table_copy.h"

#include <sqlite3.h>

#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "common/error.h"
#include "platform/db/internal/dialect.h"

namespace tqs::db::sqlite {
namespace {

// The name under which the target file is attached to the source's session.
constexpr const char* kTarget = "tqs_copy_target";
// The function through which the first field of every copied row passes (for progress).
constexpr const char* kCopiedRow = "tqs_copied_row";
constexpr int kBusyTimeoutMs = 30'000;

class Database {
 public:
  Database() = default;
  ~Database() { sqlite3_close_v2(db_); }
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  sqlite3*& handle() { return db_; }
  sqlite3* get() const { return db_; }
  bool Run(const std::string& sql) {
    return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  Error LastError() const {
    const char* message = sqlite3_errmsg(db_);
    return Error(error_number::kGenericFailure, message != nullptr ? message : "SQLite failure");
  }

 private:
  sqlite3* db_ = nullptr;
};

class Statement {
 public:
  Statement() = default;
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Compiles `sql` as one statement; false when it does not compile or more follows it.
  bool Prepare(sqlite3* db, const std::string& sql) {
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &statement_, &tail) !=
            SQLITE_OK ||
        statement_ == nullptr) {
      return false;
    }
    return std::string_view(tail).find_first_not_of(" \t\r\n;") == std::string_view::npos;
  }
  sqlite3_stmt* get() const { return statement_; }

 private:
  sqlite3_stmt* statement_ = nullptr;
};

// What the progress function needs: the copy, and the row count.
struct CopyState {
  const TableCopy* copy = nullptr;
  std::int64_t rows_selected = 0;
  std::exception_ptr failure;  // raised by the progress callback
};

// tqs_copied_row(value): the first field of a row, unchanged. It counts the row and, after
// every block of rows, reports progress for the rows before it, which the insert has stored
// by then: the last row is never reported here, the caller reports the end.
void CopiedRow(sqlite3_context* context, int, sqlite3_value** arguments) {
  auto* state = static_cast<CopyState*>(sqlite3_user_data(context));
  const std::int64_t every = state->copy->rows_between_progress;
  if (state->rows_selected > 0 && every > 0 && state->rows_selected % every == 0 &&
      state->copy->progress) {
    try {
      state->copy->progress(state->rows_selected);
    } catch (...) {
      state->failure = std::current_exception();
      sqlite3_result_error(context, "the copy was stopped", -1);
      return;
    }
  }
  ++state->rows_selected;
  sqlite3_result_value(context, arguments[0]);
}

// While the copy's statements are compiled, only the attached target may be changed: the
// source (main) and the temporary schema are only read, whatever the query holds, and no
// setting, attachment or schema can be changed.
int OnlyTheTargetChanges(void*, int action, const char*, const char*, const char* schema,
                         const char*) {
  switch (action) {
    case SQLITE_READ:
    case SQLITE_SELECT:
    case SQLITE_FUNCTION:
    case SQLITE_RECURSIVE:
    case SQLITE_TRANSACTION:
      return SQLITE_OK;
    case SQLITE_INSERT:
    case SQLITE_UPDATE:
    case SQLITE_DELETE:
      return schema != nullptr && std::string_view(schema) == kTarget ? SQLITE_OK : SQLITE_DENY;
    default:
      return SQLITE_DENY;
  }
}

std::string JournalPragma(const std::string& schema, FileRole role) {
  return "PRAGMA " + schema + ".journal_mode=" +
         (role == FileRole::kServerDatabase ? "WAL" : "DELETE") + "; PRAGMA " + schema +
         ".synchronous=FULL";
}

std::string QuotedName(const char* name) {
  std::string quoted = "\"";
  for (const char* c = name; *c != '\0'; ++c) {
    quoted += *c;
    if (*c == '"') quoted += '"';
  }
  return quoted + "\"";
}

// The query as one statement that can stand in a WITH clause: national-character prefixes
// dropped, trailing blanks and semicolons cut off.
std::string QueryText(std::string_view sql) {
  std::string text = internal::DropNationalPrefixes(sql);
  const std::size_t end = text.find_last_not_of(" \t\r\n;");
  text.resize(end == std::string::npos ? 0 : end + 1);
  return text;
}

}  // namespace

std::optional<std::int64_t> ReplaceRowsBetweenFiles(const OpenOptions& source,
                                                    const OpenOptions& target,
                                                    const TableCopy& copy) {
  std::error_code ignored;
  if (!std::filesystem::is_regular_file(source.path, ignored) ||
      !std::filesystem::is_regular_file(target.path, ignored)) {
    return std::nullopt;
  }
  Database db;
  if (sqlite3_open_v2(source.path.c_str(), &db.handle(),
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
    return std::nullopt;
  }
  sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
  {
    Statement attach;
    if (!attach.Prepare(db.get(), std::string("ATTACH DATABASE ? AS ") + kTarget)) {
      return std::nullopt;
    }
    sqlite3_bind_text64(attach.get(), 1, target.path.data(), target.path.size(),
                        SQLITE_TRANSIENT, SQLITE_UTF8);
    if (sqlite3_step(attach.get()) != SQLITE_DONE) return std::nullopt;
  }
  // The target keeps the journal and durability that the data access layer gives it; the
  // source is only read, so its journal is left as it is.
  if (!db.Run(JournalPragma(kTarget, target.role))) return std::nullopt;
  if (sqlite3_set_authorizer(db.get(), &OnlyTheTargetChanges, nullptr) != SQLITE_OK) {
    return std::nullopt;
  }

  CopyState state;
  state.copy = &copy;
  const std::string query = QueryText(copy.select_sql);
  Statement fields;
  if (query.empty() || !fields.Prepare(db.get(), query) ||
      sqlite3_column_count(fields.get()) == 0 || !sqlite3_stmt_readonly(fields.get())) {
    return std::nullopt;
  }
  const int field_count = sqlite3_column_count(fields.get());
  const std::string table = std::string(kTarget) + "." + std::string(copy.table);
  Statement columns;
  if (!columns.Prepare(db.get(), "SELECT * FROM " + table) ||
      sqlite3_column_count(columns.get()) < field_count) {
    return std::nullopt;
  }
  if (sqlite3_create_function_v2(db.get(), kCopiedRow, 1, SQLITE_UTF8 | SQLITE_DIRECTONLY, &state,
                                 &CopiedRow, nullptr, nullptr, nullptr) != SQLITE_OK) {
    return std::nullopt;
  }
  // WITH tqs_copy_source(f0, f1, ...) AS (<query>)
  // INSERT INTO tqs_copy_target.<table> ("<column 0>", ...) SELECT tqs_copied_row(f0), f1, ...
  std::string names, targets, values;
  for (int i = 0; i < field_count; ++i) {
    const std::string separator = i > 0 ? ", " : "";
    const std::string field = "f" + std::to_string(i);
    names += separator + field;
    targets += separator + QuotedName(sqlite3_column_name(columns.get(), i));
    values += separator + (i == 0 ? std::string(kCopiedRow) + "(" + field + ")" : field);
  }
  Statement insert;
  if (!insert.Prepare(db.get(), "WITH tqs_copy_source(" + names + ") AS (" + query +
                                    ") INSERT INTO " + table + " (" + targets + ") SELECT " +
                                    values + " FROM tqs_copy_source")) {
    return std::nullopt;
  }

  if (!db.Run("BEGIN")) throw db.LastError();
  const auto fail = [&db](const Error& error) {
    db.Run("ROLLBACK");
    return error;
  };
  if (!db.Run("DELETE FROM " + table)) throw fail(db.LastError());
  if (sqlite3_step(insert.get()) != SQLITE_DONE) {
    const Error error = db.LastError();
    sqlite3_reset(insert.get());
    db.Run("ROLLBACK");
    if (state.failure) std::rethrow_exception(state.failure);
    throw error;
  }
  const std::int64_t rows = sqlite3_changes64(db.get());
  sqlite3_reset(insert.get());
  if (!db.Run("COMMIT")) throw fail(db.LastError());
  return rows;
}

}  // namespace tqs::db::sqlite
