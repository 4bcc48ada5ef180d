#include <sqlite3.h>

#include <utility>

#include "common/error.h"
#include "erp/sqlite_database_internal.h"

namespace tqs::erp::internal {

namespace {

constexpr int kBusyTimeoutMilliseconds = 10000;

}  // namespace

// --- Statement ------------------------------------------------------------------------------

Statement::Statement(const SqliteDatabase& database, sqlite3_stmt* statement, std::string sql)
    : database_(database), statement_(statement), sql_(std::move(sql)) {}

Statement::Statement(Statement&& other) noexcept
    : database_(other.database_),
      statement_(std::exchange(other.statement_, nullptr)),
      sql_(other.sql_) {}

Statement::~Statement() { sqlite3_finalize(statement_); }

Statement& Statement::Bind(int position, std::string_view text) {
  if (sqlite3_bind_text(statement_, position, text.data(), static_cast<int>(text.size()),
                        SQLITE_TRANSIENT) != SQLITE_OK) {
    database_.Fail(sql_);
  }
  return *this;
}

Statement& Statement::Bind(int position, std::int64_t number) {
  if (sqlite3_bind_int64(statement_, position, number) != SQLITE_OK) database_.Fail(sql_);
  return *this;
}

Statement& Statement::Bind(int position, double number) {
  if (sqlite3_bind_double(statement_, position, number) != SQLITE_OK) database_.Fail(sql_);
  return *this;
}

Statement& Statement::Reset() {
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
  return *this;
}

bool Statement::Step() {
  switch (sqlite3_step(statement_)) {
    case SQLITE_ROW:
      return true;
    case SQLITE_DONE:
      return false;
    default:
      database_.Fail(sql_);
  }
}

void Statement::Run() {
  while (Step()) {
  }
}

std::string Statement::Text(int column) const {
  const unsigned char* text = sqlite3_column_text(statement_, column);
  if (text == nullptr) return {};
  return std::string(reinterpret_cast<const char*>(text),
                     static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)));
}

std::int64_t Statement::Integer(int column) const {
  return sqlite3_column_int64(statement_, column);
}

double Statement::Real(int column) const { return sqlite3_column_double(statement_, column); }

bool Statement::IsNull(int column) const {
  return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

// --- SqliteDatabase -------------------------------------------------------------------------

std::unique_ptr<SqliteDatabase> SqliteDatabase::Open(const std::filesystem::path& file,
                                                     bool create) {
  if (!create && !std::filesystem::exists(file)) {
    throw Error(error_number::kFileNotFound,
                "The reference ERP store '" + file.string() + "' does not exist");
  }
  sqlite3* connection = nullptr;
  const int flags =
      SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
  if (sqlite3_open_v2(file.c_str(), &connection, flags, nullptr) != SQLITE_OK) {
    const std::string message = connection ? sqlite3_errmsg(connection) : "out of memory";
    sqlite3_close(connection);
    throw Error(error_number::kGenericFailure,
                "Cannot open the reference ERP store '" + file.string() + "': " + message);
  }
  std::unique_ptr<SqliteDatabase> database(new SqliteDatabase(connection, file));
  sqlite3_busy_timeout(connection, kBusyTimeoutMilliseconds);
  database->Execute("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON;");
  return database;
}

SqliteDatabase::SqliteDatabase(sqlite3* connection, std::filesystem::path file)
    : connection_(connection), file_(std::move(file)) {}

SqliteDatabase::~SqliteDatabase() { sqlite3_close_v2(connection_); }

void SqliteDatabase::Execute(std::string_view script) {
  char* message = nullptr;
  const std::string text(script);
  if (sqlite3_exec(connection_, text.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    const std::string reason = message ? message : sqlite3_errmsg(connection_);
    sqlite3_free(message);
    throw Error(error_number::kGenericFailure,
                "Reference ERP store '" + file_.string() + "': " + reason + " (in: " + text + ")");
  }
}

Statement SqliteDatabase::Prepare(std::string_view sql) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(connection_, sql.data(), static_cast<int>(sql.size()), &statement,
                         nullptr) != SQLITE_OK) {
    Fail(sql);
  }
  return Statement(*this, statement, std::string(sql));
}

std::int64_t SqliteDatabase::LastInsertRowId() const {
  return sqlite3_last_insert_rowid(connection_);
}

void SqliteDatabase::Fail(std::string_view what) const {
  throw Error(error_number::kGenericFailure, "Reference ERP store '" + file_.string() +
                                                 "': " + sqlite3_errmsg(connection_) +
                                                 " (in: " + std::string(what) + ")");
}

}  // namespace tqs::erp::internal
