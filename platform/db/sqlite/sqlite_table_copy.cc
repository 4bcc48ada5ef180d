#include "platform/db/sqlite/sqlite_table_copy.h"

#include <sqlite3.h>

#include <exception>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "common/error.h"
#include "platform/db/internal/dialect.h"
#include "platform/db/internal/value_mapping.h"

namespace tqs::db::sqlite {
namespace {

using internal::SqlNull;
using internal::SqlValue;

// The name under which the target file is attached to the source's session.
constexpr const char* kTarget = "tqs_copy_target";
// The function that hands each copied value to the insert as the row-by-row copy would store
// it; its second argument is the field's position.
constexpr const char* kCopiedValue = "tqs_copied_value";
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

// What the copy function needs: the fields' declared types, and the row count for progress.
struct CopyState {
  std::vector<std::string> declared_types;
  std::vector<bool> text_as_date;
  const TableCopy* copy = nullptr;
  std::int64_t rows_selected = 0;
  std::exception_ptr failure;  // raised by the progress callback
};

SqlValue ValueOf(sqlite3_value* value) {
  switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
      return std::int64_t{sqlite3_value_int64(value)};
    case SQLITE_FLOAT:
      return sqlite3_value_double(value);
    case SQLITE_TEXT:
    case SQLITE_BLOB: {
      // Binary values are read as their bytes in text, as the record sets read them.
      const auto* bytes = static_cast<const char*>(sqlite3_value_blob(value));
      const auto size = static_cast<std::size_t>(sqlite3_value_bytes(value));
      return bytes != nullptr ? std::string(bytes, size) : std::string();
    }
    default:
      return SqlNull{};
  }
}

void SetResult(sqlite3_context* context, const SqlValue& value) {
  if (const auto* integer = std::get_if<std::int64_t>(&value)) {
    sqlite3_result_int64(context, *integer);
  } else if (const auto* real = std::get_if<double>(&value)) {
    sqlite3_result_double(context, *real);
  } else if (const auto* text = std::get_if<std::string>(&value)) {
    sqlite3_result_text64(context, text->data(), text->size(), SQLITE_TRANSIENT, SQLITE_UTF8);
  } else {
    sqlite3_result_null(context);
  }
}

// tqs_copied_value(value, field): the value as a read into a Variant and a write back store it.
// The values that such a round trip keeps as they are (32-bit integers, reals, texts that are
// not read as dates, nulls) pass straight through. The first field of a row counts the row and
// reports progress for the rows before it, which the insert has stored by then.
void CopiedValue(sqlite3_context* context, int, sqlite3_value** arguments) {
  auto* state = static_cast<CopyState*>(sqlite3_user_data(context));
  const auto field = static_cast<std::size_t>(sqlite3_value_int(arguments[1]));
  if (field == 0) {
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
  }
  sqlite3_value* value = arguments[0];
  switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER: {
      const sqlite3_int64 integer = sqlite3_value_int64(value);
      if (integer >= std::numeric_limits<std::int32_t>::min() &&
          integer <= std::numeric_limits<std::int32_t>::max()) {
        sqlite3_result_int64(context, integer);
        return;
      }
      break;
    }
    case SQLITE_FLOAT:
      sqlite3_result_double(context, sqlite3_value_double(value));
      return;
    case SQLITE_TEXT:
      if (!state->text_as_date[field]) {
        sqlite3_result_value(context, value);
        return;
      }
      break;
    case SQLITE_NULL:
      sqlite3_result_null(context);
      return;
    default:
      break;
  }
  try {
    SetResult(context, internal::RoundTripped(ValueOf(value), state->declared_types[field]));
  } catch (const std::exception& error) {
    sqlite3_result_error(context, error.what(), -1);
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
  // Each file keeps the journal and durability that the data access layer gives it.
  if (!db.Run(JournalPragma("main", source.role)) || !db.Run(JournalPragma(kTarget, target.role))) {
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
  for (int i = 0; i < field_count; ++i) {
    const char* declared = sqlite3_column_decltype(fields.get(), i);
    state.declared_types.emplace_back(declared != nullptr ? declared : "");
    state.text_as_date.push_back(internal::ReadsTextAsDate(state.declared_types.back()));
  }
  const std::string table = std::string(kTarget) + "." + std::string(copy.table);
  Statement columns;
  if (!columns.Prepare(db.get(), "SELECT * FROM " + table) ||
      sqlite3_column_count(columns.get()) < field_count) {
    return std::nullopt;
  }
  if (sqlite3_create_function_v2(db.get(), kCopiedValue, 2, SQLITE_UTF8 | SQLITE_DIRECTONLY,
                                 &state, &CopiedValue, nullptr, nullptr,
                                 nullptr) != SQLITE_OK) {
    return std::nullopt;
  }
  // WITH tqs_copy_source(f0, f1, ...) AS (<query>)
  // INSERT INTO tqs_copy_target.<table> ("<column 0>", ...) SELECT tqs_copied_value(f0, 0), ...
  std::string names, targets, values;
  for (int i = 0; i < field_count; ++i) {
    const std::string separator = i > 0 ? ", " : "";
    names += separator + "f" + std::to_string(i);
    targets += separator + QuotedName(sqlite3_column_name(columns.get(), i));
    values += separator + kCopiedValue + "(f" + std::to_string(i) + ", " + std::to_string(i) + ")";
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
  // The last row ends a block of rows between progress reports: reported as the row-by-row
  // copy reports it, before the commit.
  const std::int64_t every = copy.rows_between_progress;
  if (rows > 0 && every > 0 && rows % every == 0 && copy.progress) {
    try {
      copy.progress(rows);
    } catch (...) {
      db.Run("ROLLBACK");
      throw;
    }
  }
  if (!db.Run("COMMIT")) throw fail(db.LastError());
  return rows;
}

}  // namespace tqs::db::sqlite
