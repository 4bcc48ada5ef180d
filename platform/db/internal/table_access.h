// Keyed access to the rows of a single-table source: the queries that read keys, rows with
// their keys, and one row by its key, and the statements that change a row by its key or add
// one. Every change addresses the row by the engine's stable row key, so of two identical rows
// only the one meant is changed; an update also requires that the row still holds, in every
// column it writes, the value read for it (optimistic locking).
//
// Not thread-safe; used by the thread of its session.
#ifndef TQS_PLATFORM_DB_INTERNAL_TABLE_ACCESS_H_
#define TQS_PLATFORM_DB_INTERNAL_TABLE_ACCESS_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/automation/variant.h"
#include "platform/db/internal/driver.h"
#include "platform/db/internal/select_shape.h"
#include "platform/db/internal/session.h"

namespace tqs::db::internal {

// One row of a record set: its key (when the source has keys) and its column values.
struct Row {
  std::optional<std::int64_t> key;
  std::vector<automation::Variant> values;
};

// A value staged for a column (by position in the set's columns).
struct ColumnEdit {
  int column;
  automation::Variant value;
};

// The values of the current row of `statement`, columns [first, first + columns.size()).
std::vector<automation::Variant> ReadValues(const DriverStatement& statement,
                                            const std::vector<ColumnInfo>& columns, int first);

// A row key as the engine returned it.
std::int64_t RowKeyOf(const SqlValue& value);

class TableAccess {
 public:
  // Describes the columns of the source (compiling its row statement); raises the engine's
  // error when the select list is not valid.
  TableAccess(std::shared_ptr<Session> session, SingleTableSelect source);
  TableAccess(const TableAccess&) = delete;
  TableAccess& operator=(const TableAccess&) = delete;

  const std::vector<ColumnInfo>& columns() const { return columns_; }
  const std::string& table() const { return source_.table; }

  // SELECT <key> FROM <from> <rest>: the keys of the rows, in the source's order.
  std::string KeysSql() const;
  // SELECT <key>, <columns> FROM <from> <rest>: the rows with their keys in front.
  std::string KeyedRowsSql() const;

  // The row with `key`, or std::nullopt when it was deleted.
  std::optional<Row> ReadRow(std::int64_t key);
  // Writes `edits` into the row with `key` if the row still holds, in each column written, the
  // value that `read` (the row's values as the set read them, by column) shows for it: the
  // statement's condition is the key and every written column compared null-safely with that
  // value, the platform's default update criteria, so a change by someone else since the read
  // is never overwritten, while a change to columns not written does not stand in the way.
  // A value read lossily (a date column holding text the date rule reads with less detail, a
  // big integer read as a Double) may not compare equal as it is written back: when no row
  // matched, the row is read again and, if each written column still reads as `read` shows it,
  // the update runs once more comparing with the values as now stored (a few times if they
  // keep changing underneath at a precision the set does not see).
  // Raises 3021 with a text naming the deletion when the row is gone, and 3021 with
  // RowChangedError's text when it holds other values. A value the engine cannot compare with
  // itself (a BLOB on SQLite, whose bytes are bound as text) is refused as changed.
  void UpdateRow(std::int64_t key, const std::vector<ColumnEdit>& edits,
                 const std::vector<automation::Variant>& read);
  // Adds a row with `edits` (other columns take their defaults) and returns its key and, with
  // RowReadBack::kNow, the row as stored, every column. When all columns are plain table
  // columns the insert statement hands the stored row back itself; otherwise the row is read
  // again by its key (no row only if it vanished in between). With RowReadBack::kLater only
  // the key comes back (the caller reads the row by key if it needs it): on an engine that
  // reports the key of an insert, the statement is then a plain INSERT.
  enum class RowReadBack { kNow, kLater };
  struct InsertedRow {
    std::int64_t key;
    std::optional<Row> row;
  };
  InsertedRow InsertRow(const std::vector<ColumnEdit>& edits, RowReadBack read_back);

 private:
  // The quoted table column that edit column `column` writes; raises when it is an expression.
  std::string TargetColumn(int column) const;
  std::vector<SqlValue> EditValues(const std::vector<ColumnEdit>& edits) const;
  // UPDATE <table> SET <column>=?, ... WHERE <key>=? AND <column> null-safe = ? AND ...
  std::string UpdateSql(const std::vector<ColumnEdit>& edits) const;
  // The row with `key` as the engine stores it (every column of the source), or std::nullopt
  // when it is gone.
  std::optional<std::vector<SqlValue>> ReadStoredValues(std::int64_t key);
  // The INSERT text for `edits` (cached for the last column list).
  const std::string& InsertSql(const std::vector<ColumnEdit>& edits, RowReadBack read_back);

  // Fixed at construction.
  const std::shared_ptr<Session> session_;
  const SingleTableSelect source_;
  const std::string key_;             // the engine's row key expression
  const std::string row_by_key_sql_;  // SELECT <columns> FROM <from> WHERE <key>=?
  std::vector<ColumnInfo> columns_;
  // "<key>, <quoted table columns>" for the RETURNING clause of an insert, or the key alone
  // when a column is an expression (the added row is then read again).
  std::string returning_list_;

  // The INSERT text of the last column list added, kept so that adding many rows with the
  // same columns does not build the text again for every row.
  std::vector<int> insert_columns_;
  RowReadBack insert_read_back_ = RowReadBack::kNow;
  std::string insert_sql_;
};

}  // namespace tqs::db::internal

#endif  // TQS_PLATFORM_DB_INTERNAL_TABLE_ACCESS_H_
