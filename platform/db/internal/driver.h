// The narrow interface between the generic data access core (connections, record sets, the
// statement cache) and one database engine. A backend implements a Driver and its
// DriverStatement; everything a record set does (streaming, keysets, static sets, filters,
// row changes by key) is built on these few calls, once, in the core.
//
// A Driver and its statements are used by one thread at a time, like the Connection that owns
// them. Statements may outlive Close(): the driver must then keep what they need alive until
// they are destroyed (they are never stepped again).
#ifndef TQS_PLATFORM_DB_INTERNAL_DRIVER_H_
#define TQS_PLATFORM_DB_INTERNAL_DRIVER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

namespace tqs::db::internal {

// A value as the engine stores it, before the core maps it to a Variant by the column's
// declared type: null, a 64-bit integer, a real, a text (its bytes as stored, a NUL byte
// included) or a binary value (SqlBlob, its bytes). A copy that moves SqlValues from one
// engine statement to another keeps every value exactly.
struct SqlNull {
  bool operator==(const SqlNull&) const = default;
};
struct SqlBlob {
  std::string bytes;
  bool operator==(const SqlBlob&) const = default;
};
using SqlValue = std::variant<SqlNull, std::int64_t, double, std::string, SqlBlob>;

// What the engine says about one result column.
struct ColumnInfo {
  std::string name;           // the name as the statement presents it (alias included)
  std::string declared_type;  // the declared type of the table column, "" for expressions
  std::string origin_name;    // the table column it reads, "" for expressions
};

// One compiled statement. Parameters are positional ("?"), numbered from 0 here.
class DriverStatement {
 public:
  virtual ~DriverStatement() = default;

  virtual void Bind(int index, const SqlValue& value) = 0;
  // Runs the statement to its next row; false when it has no more rows (or returns none).
  virtual bool Step() = 0;
  // Makes the statement ready to run again from the start, bindings cleared.
  virtual void Reset() = 0;

  // Result columns, known right after preparation.
  virtual int ColumnCount() const = 0;
  virtual ColumnInfo Column(int index) const = 0;
  // The value of a column of the row that the last Step produced.
  virtual SqlValue Value(int index) const = 0;

  // Rows inserted, changed or deleted by the last run (0 for queries and schema statements).
  virtual std::int64_t ChangedRows() const = 0;

  // False when running the statement may change the database (a row change, a schema change,
  // a setting that writes). True only for statements the engine knows to read alone; an
  // engine that cannot tell answers by the statement's first keyword (SELECT, VALUES, or a
  // WITH whose parts only select) and relies on Driver::RefuseWrites for the rest.
  virtual bool IsReadOnly() const = 0;
};

class Driver {
 public:
  virtual ~Driver() = default;

  // Compiles one statement, already in the engine's dialect. Text after the first statement
  // other than blanks and comments is an error.
  virtual std::unique_ptr<DriverStatement> Prepare(std::string_view sql) = 0;
  // Runs a script of several statements, already in the engine's dialect.
  virtual void ExecuteScript(std::string_view script) = 0;

  // Turns an SQL text as the programs write it into the engine's dialect.
  virtual std::string TranslateSql(std::string_view sql) const = 0;
  // The expression that selects the stable integer key of a row of `table` (as written in the
  // SQL text) in a single-table query: "rowid" on SQLite, the table's integer key column on
  // PostgreSQL. An INSERT reports the key of its row through "RETURNING <expression>". Raises
  // tqs::Error when the table has no such key; its rows are then read but not changed by key.
  // Must not disturb an open transaction when it raises.
  virtual std::string RowKeyExpression(std::string_view table) = 0;
  // True when the engine tells the key of the row that the last plain INSERT of this session
  // added (LastInsertKey), so an insert that needs only the key can do without a RETURNING
  // clause (which on SQLite gathers the returned rows in a temporary table first).
  virtual bool ReportsLastInsertKey() const = 0;
  // The key of the row that the last INSERT of this session added; only when
  // ReportsLastInsertKey().
  virtual std::int64_t LastInsertKey() const = 0;
  // A column name as a quoted identifier of the engine.
  virtual std::string QuoteIdentifier(std::string_view name) const = 0;
  // The condition that `column` (a quoted identifier) holds the value bound to the condition's
  // one "?" place, a null matching a null, compared as the engine compares values of the
  // column's type (`declared_type` as Column reports it): the update of a row that must still
  // hold what was read compares each written column so. Never fails to compile for a column
  // of a type that has no equality.
  virtual std::string NullSafeEquals(std::string_view column,
                                     std::string_view declared_type) const = 0;

  // Called before a transaction starts and after it ended (committed, rolled back, or failed to
  // start), on the session's thread; an engine whose writers queue badly may make the writers of
  // this process take turns here. Neither raises.
  virtual void BeforeTransaction() {}
  virtual void AfterTransaction() {}

  // The statements that start, commit and roll back a transaction.
  virtual std::string BeginTransactionSql() const = 0;
  virtual std::string CommitSql() const = 0;
  virtual std::string RollbackSql() const = 0;
  // The statement that makes the open transaction wait for, and then hold until it ends, a lock
  // on the name bound to its one parameter, so that transactions locking the same name run one
  // after the other while others go on in parallel. "" when the engine's transactions already
  // exclude each other's writes from their start (SQLite's BEGIN IMMEDIATE).
  virtual std::string NamedLockSql() const = 0;

  // From now on the session refuses to change the database: every later statement that would
  // write fails in the engine (SQLite: query_only; PostgreSQL: read-only transactions). For
  // sessions that must only read, such as the source of a table copy. Lasts until Close (a
  // pooled connection is reset before reuse).
  virtual void RefuseWrites() = 0;

  // Ends the session; an open transaction is rolled back by the engine.
  virtual void Close() = 0;
};

}  // namespace tqs::db::internal

#endif  // TQS_PLATFORM_DB_INTERNAL_DRIVER_H_
