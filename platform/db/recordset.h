// A Recordset is the set of rows of one SQL text or table, positioned on a current row, as the
// programs read and change interaction rows, parameters, labels and client tables. What it
// holds depends on the cursor type:
//   forward-only: streams rows from the open statement; MoveNext only; nothing is held;
//   keyset:       holds only the row keys at open and reads a row when it becomes current, so a
//                 pass over many large documents never holds their contents; rows added by
//                 others after open are not part of the set; a row deleted since reads as
//                 "no current record";
//   static:       reads all rows at open; can be filtered and disconnected from its connection.
// Field values are Variants: a null column is a null Variant, never empty text. An updatable
// set (lock type optimistic; pessimistic and batch optimistic are served so) changes the
// current row with SetField + Update, addressed by the row's stable key, so of two identical
// rows only the current one changes; AddNew + SetField + Update appends a row.
// Update of an existing row is optimistic locking with the platform's default update criteria:
// it writes only if the row still holds, in every column being written, the value this set
// read for it (compared null-safely, at the precision the set reads: a date column holding
// fractions of a second, or a big integer read as a Double, is never refused for that). A row
// changed since it was read, in a column being written, is left as the other writer left it
// and Update raises 3021 with kRowChangedDescription (IsRowChangedError tells it); a change
// only to columns not written does not stand in the way; a row deleted since raises 3021
// saying so. After a successful Update the set holds the row as stored, so the same set may
// update it again. The caller that must not lose a concurrent change reads the row again and
// redoes its change.
// Updating needs a set on one table; on a join or an aggregate it raises tqs::Error. A keyset
// asked for on any other source is served as a static read-only set, as the platform
// downgrades a cursor. Moving to another row (or AddNew) while values are staged writes them
// first, as Update would; a failed (also a refused) Update keeps them staged until
// CancelUpdate; Close drops them. A set whose connection was closed raises 3704 on any use,
// unless it was disconnected.
//
// Values read: NULL -> Null; an integer -> Int32 when it fits, else Double, but Int16 for a
// column declared SMALLINT; a real -> Double; text -> Text, but a Date for a column declared
// DATE/DATETIME/TIMESTAMP holding 'YYYY-MM-DD HH:MM:SS'. Values written: Empty and Null ->
// NULL; Boolean -> 1 / 0 (True reads back as the Int32 1); Date -> 'YYYY-MM-DD HH:MM:SS';
// an object raises a type mismatch.
//
// Used by one thread at a time, like its connection.
#ifndef TQS_PLATFORM_DB_RECORDSET_H_
#define TQS_PLATFORM_DB_RECORDSET_H_

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "common/error.h"
#include "platform/automation/variant.h"
#include "platform/db/connection.h"
#include "platform/db/types.h"

namespace tqs::db {

using automation::Variant;

// The description of the error (number 3021) by which Update refuses to overwrite a row that
// was changed since the set read it: the platform's own text for it.
inline constexpr std::string_view kRowChangedDescription =
    "Row cannot be located for updating. Some values may have been changed since it was last "
    "read.";

// True when `error` is that refusal (and not, for example, a row deleted since it was read).
bool IsRowChangedError(const Error& error);

class Recordset {
 public:
  virtual ~Recordset() = default;
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  // Opens `source` (an SQL text, or a table name with CommandType::kTable) on `connection`.
  static std::unique_ptr<Recordset> Open(std::string_view source, Connection& connection,
                                         CursorType cursor = CursorType::kUnspecified,
                                         LockType lock = LockType::kUnspecified,
                                         CommandType command = CommandType::kText);

  // Opens the query `sql` read-only with `parameters` bound to its "?" places in order (a
  // Null or Empty Variant binds NULL), so that a look-up run again and again with other values
  // is compiled once per connection and its values never need quoting. Forward-only, or
  // static when asked for; any other cursor type raises 3219.
  static std::unique_ptr<Recordset> OpenWithParameters(
      std::string_view sql, std::span<const Variant> parameters, Connection& connection,
      CursorType cursor = CursorType::kForwardOnly);

  // Position. BOF/EOF are true together on an empty set. Moving past the end raises 3021.
  virtual bool IsEOF() const = 0;
  virtual bool IsBOF() const = 0;
  virtual void MoveNext() = 0;
  virtual void MoveFirst() = 0;  // not on forward-only sets once they moved

  // Number of rows; -1 for forward-only sets (the count is not known).
  virtual std::int64_t RecordCount() const = 0;

  // Columns.
  virtual int FieldCount() const = 0;
  virtual std::string FieldName(int index) const = 0;

  // Value of the current row by column name (case-insensitive) or 0-based position. No current
  // row raises 3021; an unknown name raises 3265 naming it.
  virtual Variant Field(std::string_view name) const = 0;
  virtual Variant Field(int index) const = 0;

  // Changing rows (lock type optimistic). SetField stages a value on the current row (or the
  // row being added); Update writes the staged values (refusing to overwrite a row changed
  // since it was read, see above); CancelUpdate drops them.
  virtual void AddNew() = 0;
  virtual void SetField(std::string_view name, const Variant& value) = 0;
  // The same by 0-based position (an unknown position raises 3265), for loops that copy many
  // rows column by column without looking names up.
  virtual void SetField(int index, Variant value) = 0;
  virtual void Update() = 0;
  virtual void CancelUpdate() = 0;

  // Restricts the visible rows to those matching `criteria`, a list of comparisons
  // `COLUMN op value` (op one of = <> < > <= >= LIKE; value a number or a quoted text) joined by
  // AND / OR; text compares exactly. An empty criteria removes the filter. Moves to the first
  // visible row. Static sets only.
  virtual void SetFilter(std::string_view criteria) = 0;

  // Detaches a static set from its connection: it stays readable (and filterable) after the
  // connection is closed.
  virtual void Disconnect() = 0;

  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;

 protected:
  Recordset() = default;
};

}  // namespace tqs::db

#endif  // TQS_PLATFORM_DB_RECORDSET_H_
