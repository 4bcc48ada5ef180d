// The three ways a record set walks its rows; the record set itself adds column look-up, row
// changes and state checks on top:
//   forward-only: one open statement, stepped row by row; only the current row is held;
//   keyset:       the keys of the rows, each row read by key when it becomes current;
//   static:       all rows read at open, optionally restricted by a filter.
//
// Not thread-safe; used by the thread of the record set.
#ifndef TQS_PLATFORM_DB_INTERNAL_CURSORS_H_
#define TQS_PLATFORM_DB_INTERNAL_CURSORS_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/db/internal/statement_cache.h"
#include "platform/db/internal/table_access.h"

namespace tqs::db::internal {

class Cursor {
 public:
  virtual ~Cursor() = default;

  virtual bool IsEOF() const = 0;
  virtual bool IsBOF() const = 0;
  // Called only when not at EOF.
  virtual void MoveNext() = 0;
  virtual void MoveFirst() = 0;
  virtual std::int64_t RecordCount() const = 0;
  // The current row; nullptr at BOF/EOF or when the row was deleted since the set was opened.
  virtual const Row* Current() const = 0;

  // After the current row was written: its values as now stored.
  virtual void ReplaceCurrent(Row row) = 0;
  // After a row was added: it joins the set and becomes current.
  virtual void AppendAndMoveTo(Row row) = 0;
  // Shows only the rows for which `visible` holds (all rows when it is empty) and moves to the
  // first of them. Raises for sets that cannot be filtered.
  virtual void SetFilter(std::function<bool(const Row&)> visible) = 0;
};

// Streams `statement`, which has not run yet; `columns` are the set's columns. When `keyed`,
// the statement's first column is the row key and the set's columns follow it.
std::unique_ptr<Cursor> MakeForwardOnlyCursor(StatementLease statement,
                                              std::vector<ColumnInfo> columns, bool keyed);
// Walks `keys`, reading each row through `access` when it becomes current.
std::unique_ptr<Cursor> MakeKeysetCursor(std::vector<std::int64_t> keys,
                                         std::shared_ptr<TableAccess> access);
// Walks `rows`, held in memory.
std::unique_ptr<Cursor> MakeStaticCursor(std::vector<Row> rows);

}  // namespace tqs::db::internal

#endif  // TQS_PLATFORM_DB_INTERNAL_CURSORS_H_
