#include "platform/db/sqlite/sqlite_driver.h"

#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>

#include "common/error.h"
#include "common/text.h"
#include "platform/db/internal/dialect.h"

namespace tqs::db::sqlite {
namespace {

using internal::ColumnInfo;
using internal::SqlBlob;
using internal::SqlNull;
using internal::SqlValue;

constexpr int kBusyTimeoutMs = 30'000;

// Every SQLite failure becomes a tqs::Error here: the generic failure number and the
// engine's own message (or the text of the code when there is no connection to ask), bounded
// because the engine quotes the token it stopped at, which may be a whole value.
Error TranslateSqliteError(sqlite3* db, int code) {
  const char* message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code);
  return Error(error_number::kGenericFailure,
               Excerpt(message != nullptr ? message : sqlite3_errstr(code), 2 * kExcerptBytes));
}

void Check(sqlite3* db, int code) {
  if (code != SQLITE_OK) throw TranslateSqliteError(db, code);
}

std::string TextOrEmpty(const char* text) { return text != nullptr ? text : ""; }

// The writers of one database file in this process take turns: a transaction waits here for
// the one before it to end instead of in SQLite's busy handler, which retries after sleeps of
// up to 100 ms and so lets a newcomer overtake a writer that has waited for seconds (upload
// latencies of seconds under a few dozen web-tier threads). Writers of other processes still
// meet in SQLite's own locking; a turn not had within the busy timeout is left to it as well.
class WriterTurns {
 public:
  // The turns of the file at `path`, shared by every connection of this process to it.
  static std::shared_ptr<std::timed_mutex> ForFile(const std::string& path) {
    static std::mutex mutex;
    static std::map<std::string, std::weak_ptr<std::timed_mutex>> turns;
    std::error_code ignored;
    const std::string key = std::filesystem::weakly_canonical(path, ignored).string();
    const std::lock_guard<std::mutex> lock(mutex);
    std::weak_ptr<std::timed_mutex>& entry = turns[key.empty() ? path : key];
    std::shared_ptr<std::timed_mutex> turn = entry.lock();
    if (!turn) {
      turn = std::make_shared<std::timed_mutex>();
      entry = turn;
      // Files no connection holds any more (client databases built one after the other).
      std::erase_if(turns, [](const auto& file) { return file.second.expired(); });
    }
    return turn;
  }
};

class SqliteStatement final : public internal::DriverStatement {
 public:
  explicit SqliteStatement(sqlite3_stmt* statement)
      : statement_(statement), db_(sqlite3_db_handle(statement)) {}
  ~SqliteStatement() override { sqlite3_finalize(statement_); }
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  void Bind(int index, const SqlValue& value) override {
    const int place = index + 1;
    int code = SQLITE_OK;
    if (const auto* integer = std::get_if<std::int64_t>(&value)) {
      code = sqlite3_bind_int64(statement_, place, *integer);
    } else if (const auto* real = std::get_if<double>(&value)) {
      code = sqlite3_bind_double(statement_, place, *real);
    } else if (const auto* text = std::get_if<std::string>(&value)) {
      code = sqlite3_bind_text64(statement_, place, text->data(), text->size(), SQLITE_TRANSIENT,
                                 SQLITE_UTF8);
    } else if (const auto* blob = std::get_if<SqlBlob>(&value)) {
      // A null pointer would bind NULL: an empty blob needs one that points somewhere.
      static constexpr char kNoBytes = 0;
      code = sqlite3_bind_blob64(statement_, place,
                                 blob->bytes.empty() ? &kNoBytes : blob->bytes.data(),
                                 blob->bytes.size(), SQLITE_TRANSIENT);
    } else {
      code = sqlite3_bind_null(statement_, place);
    }
    Check(db_, code);
  }

  bool Step() override {
    const sqlite3_int64 changes_before = sqlite3_total_changes64(db_);
    const int code = sqlite3_step(statement_);
    if (sqlite3_total_changes64(db_) != changes_before) {
      changed_rows_ = sqlite3_changes64(db_);
    }
    if (code == SQLITE_ROW) return true;
    if (code == SQLITE_DONE) return false;
    throw TranslateSqliteError(db_, code);
  }

  void Reset() override {
    sqlite3_reset(statement_);  // repeats the error of the last step, already reported
    sqlite3_clear_bindings(statement_);
    changed_rows_ = 0;
  }

  int ColumnCount() const override { return sqlite3_column_count(statement_); }

  ColumnInfo Column(int index) const override {
    return ColumnInfo{TextOrEmpty(sqlite3_column_name(statement_, index)),
                      TextOrEmpty(sqlite3_column_decltype(statement_, index)),
                      TextOrEmpty(sqlite3_column_origin_name(statement_, index))};
  }

  SqlValue Value(int index) const override {
    switch (sqlite3_column_type(statement_, index)) {
      case SQLITE_INTEGER:
        return std::int64_t{sqlite3_column_int64(statement_, index)};
      case SQLITE_FLOAT:
        return sqlite3_column_double(statement_, index);
      case SQLITE_TEXT: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, index));
        return std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement_, index)));
      }
      case SQLITE_BLOB: {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement_, index));
        const auto size = static_cast<std::size_t>(sqlite3_column_bytes(statement_, index));
        return SqlBlob{bytes != nullptr ? std::string(bytes, size) : std::string()};
      }
      default:
        return SqlNull{};
    }
  }

  std::int64_t ChangedRows() const override { return changed_rows_; }

  bool IsReadOnly() const override { return sqlite3_stmt_readonly(statement_) != 0; }

 private:
  sqlite3_stmt* const statement_;
  sqlite3* const db_;
  std::int64_t changed_rows_ = 0;
};

class SqliteDriver final : public internal::Driver {
 public:
  SqliteDriver(sqlite3* db, std::shared_ptr<std::timed_mutex> writer_turn)
      : db_(db), writer_turn_(std::move(writer_turn)), turn_(*writer_turn_, std::defer_lock) {}
  ~SqliteDriver() override { Close(); }
  SqliteDriver(const SqliteDriver&) = delete;
  SqliteDriver& operator=(const SqliteDriver&) = delete;

  std::unique_ptr<internal::DriverStatement> Prepare(std::string_view sql) override {
    sqlite3_stmt* statement = nullptr;
    const char* tail = nullptr;
    Check(db_,
          sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &statement, &tail));
    if (statement == nullptr) {
      throw Error(error_number::kGenericFailure,
                  "The SQL text holds no statement: '" + Excerpt(sql) + "'");
    }
    auto prepared = std::make_unique<SqliteStatement>(statement);
    const std::string_view rest = sql.substr(static_cast<std::size_t>(tail - sql.data()));
    if (HoldsStatement(rest)) {
      throw Error(error_number::kGenericFailure,
                  "Characters found after end of SQL statement: '" + Excerpt(rest) +
                      "' (run several statements with ExecuteBatch)");
    }
    return prepared;
  }

  void ExecuteScript(std::string_view script) override {
    const std::string text(script);
    Check(db_, sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr));
  }

  std::string TranslateSql(std::string_view sql) const override {
    return internal::DropNationalPrefixes(sql);
  }

  // Every table but a WITHOUT ROWID one has the rowid; on those the keyed statements fail to
  // compile, which the core takes as "no row key".
  std::string RowKeyExpression(std::string_view) override { return "rowid"; }

  // The rowid of the last insert: for an INTEGER PRIMARY KEY table that column, otherwise the
  // rowid that the key expression reads; triggers that insert elsewhere do not change it.
  bool ReportsLastInsertKey() const override { return true; }
  std::int64_t LastInsertKey() const override { return sqlite3_last_insert_rowid(db_); }

  std::string QuoteIdentifier(std::string_view name) const override {
    std::string quoted = "\"";
    for (char c : name) {
      quoted += c;
      if (c == '"') quoted += '"';
    }
    return quoted + "\"";
  }

  // IS compares as = does (with the column's affinity applied to the value) and matches a
  // null with a null.
  std::string NullSafeEquals(std::string_view column, std::string_view) const override {
    return std::string(column) + " IS ?";
  }

  void BeforeTransaction() override {
    if (!turn_.owns_lock()) {
      [[maybe_unused]] const bool had =
          turn_.try_lock_for(std::chrono::milliseconds(kBusyTimeoutMs));
    }
  }
  void AfterTransaction() override {
    if (turn_.owns_lock()) turn_.unlock();
  }

  // IMMEDIATE takes the write lock at once, so a read-then-insert inside the transaction
  // (numbering) cannot interleave with another writer's.
  std::string BeginTransactionSql() const override { return "BEGIN IMMEDIATE"; }
  std::string CommitSql() const override { return "COMMIT"; }
  std::string RollbackSql() const override { return "ROLLBACK"; }
  // A transaction already holds the database's write lock from its start.
  std::string NamedLockSql() const override { return ""; }

  void RefuseWrites() override {
    Check(db_, sqlite3_exec(db_, "PRAGMA query_only=ON", nullptr, nullptr, nullptr));
  }

  void Close() override {
    AfterTransaction();  // closing rolls an open transaction back
    if (db_ == nullptr) return;
    // close_v2 defers the close until statements still held by record sets are finalized.
    sqlite3_close_v2(db_);
    db_ = nullptr;
  }

 private:
  // True when `text` holds more than blanks, semicolons and comments.
  bool HoldsStatement(std::string_view text) const {
    if (text.find_first_not_of(" \t\r\n;") == std::string_view::npos) return false;
    sqlite3_stmt* statement = nullptr;
    const std::string copy(text);
    sqlite3_prepare_v2(db_, copy.c_str(), -1, &statement, nullptr);
    const bool holds = statement != nullptr || sqlite3_errcode(db_) != SQLITE_OK;
    sqlite3_finalize(statement);
    return holds;
  }

  sqlite3* db_;
  const std::shared_ptr<std::timed_mutex> writer_turn_;
  std::unique_lock<std::timed_mutex> turn_;  // held from BeforeTransaction to AfterTransaction
};

void RunPragma(sqlite3* db, const char* pragma) {
  Check(db, sqlite3_exec(db, pragma, nullptr, nullptr, nullptr));
}

}  // namespace

std::unique_ptr<internal::Driver> OpenDriver(const OpenOptions& options) {
  namespace fs = std::filesystem;
  std::error_code ignored;
  const fs::path path(options.path);
  if (!options.create_missing && !fs::is_regular_file(path, ignored)) {
    throw Error(error_number::kGenericFailure,
                "Could not find file '" + options.path + "' (database file)");
  }
  if (options.create_missing && path.has_parent_path() &&
      !fs::is_directory(path.parent_path(), ignored)) {
    throw Error(error_number::kPathNotFound, "Path not found: '" + path.parent_path().string() +
                                                 "' (folder of the database '" + options.path +
                                                 "')");
  }
  sqlite3* db = nullptr;
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX |
                    (options.create_missing ? SQLITE_OPEN_CREATE : 0);
  const int code = sqlite3_open_v2(options.path.c_str(), &db, flags, nullptr);
  // The driver owns the handle from here on, also when opening failed.
  auto driver = std::make_unique<SqliteDriver>(db, WriterTurns::ForFile(options.path));
  Check(db, code);
  Check(db, sqlite3_busy_timeout(db, kBusyTimeoutMs));
  RunPragma(db, options.role == FileRole::kServerDatabase ? "PRAGMA journal_mode=WAL"
                                                          : "PRAGMA journal_mode=DELETE");
  RunPragma(db, "PRAGMA synchronous=FULL");
  return driver;
}

}  // namespace tqs::db::sqlite
