// A thin owner of one SQLite connection for the reference ERP's store: prepared statements
// with bound values (no value is ever pasted into SQL text), and every SQLite failure turned
// into tqs::Error naming the store file and the statement. The store runs in WAL mode with
// synchronous=FULL and a busy timeout, so the broker and the server component can use one
// store file at the same time.
//
// Not synchronised: the Store that owns a database serialises its use.
#ifndef TQS_ERP_SQLITE_DATABASE_INTERNAL_H_
#define TQS_ERP_SQLITE_DATABASE_INTERNAL_H_

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace tqs::erp::internal {

class SqliteDatabase;

// One prepared statement. Bind values by 1-based position, then Step through the rows.
class Statement {
 public:
  Statement(Statement&& other) noexcept;
  Statement& operator=(Statement&&) = delete;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement();

  Statement& Bind(int position, std::string_view text);
  Statement& Bind(int position, std::int64_t number);
  Statement& Bind(int position, double number);

  // Makes the statement ready to run again with new values.
  Statement& Reset();

  // Moves to the next row: true when there is one, false when the statement is done.
  bool Step();
  // Runs a statement that returns no rows.
  void Run();

  std::string Text(int column) const;  // null reads as ""
  std::int64_t Integer(int column) const;
  double Real(int column) const;
  bool IsNull(int column) const;

 private:
  friend class SqliteDatabase;
  Statement(const SqliteDatabase& database, sqlite3_stmt* statement, std::string sql);

  const SqliteDatabase& database_;
  sqlite3_stmt* statement_;
  const std::string sql_;
};

class SqliteDatabase {
 public:
  // Opens the file; with `create`, a missing file is created, otherwise a missing file raises
  // tqs::Error 53 naming it.
  static std::unique_ptr<SqliteDatabase> Open(const std::filesystem::path& file, bool create);

  ~SqliteDatabase();
  SqliteDatabase(const SqliteDatabase&) = delete;
  SqliteDatabase& operator=(const SqliteDatabase&) = delete;

  // Runs a script of statements without values.
  void Execute(std::string_view script);
  Statement Prepare(std::string_view sql);
  std::int64_t LastInsertRowId() const;

  const std::filesystem::path& file() const { return file_; }

 private:
  friend class Statement;
  SqliteDatabase(sqlite3* connection, std::filesystem::path file);
  // Raises the connection's last error, naming the store and `what`.
  [[noreturn]] void Fail(std::string_view what) const;

  sqlite3* const connection_;
  const std::filesystem::path file_;
};

}  // namespace tqs::erp::internal

#endif  // TQS_ERP_SQLITE_DATABASE_INTERNAL_H_
