// Filling a table of one database with the rows that a query selects from another (the
// master data program's APPEND copy), keeping every value exactly: field i of the query goes
// into column i of the table (whatever the names), and each value is inserted as the source
// engine holds it, with its storage class and its bytes (a binary value stays binary, a 64-bit
// integer stays exact, a date text stays as written, a real keeps every bit, a text keeps every
// byte, NUL included; a null stays null). The target's column types then apply as on any
// insert; between databases made from the same template they store the value as the source
// holds it.
//
// The source is only read: the statement must be one read-only query (SELECT, VALUES or WITH
// ... SELECT), which is checked before anything of it runs, and the source session itself
// refuses writes, so that a statement that slipped through still could not change it.
//
// Two ways of copying give the same result. Between two embedded database files the engine
// copies the rows itself (INSERT INTO ... SELECT over the attached target), several times
// faster; any other pair of databases, or a statement the engine copy cannot take, goes
// through the data access layer's statements, row by row, moving the engine values.
//
// Stateless; thread-safe as long as each thread copies into its own target.
#ifndef TQS_PLATFORM_DB_TABLE_COPY_H_
#define TQS_PLATFORM_DB_TABLE_COPY_H_

#include <cstdint>
#include <functional>
#include <string_view>

namespace tqs::db {

enum class CopyMethod {
  kFastest,     // in the engine when it can take the copy, else through statements
  kStatements,  // through the data access layer's statements only (tests, benchmarks)
};

struct TableCopy {
  std::string_view source_connection_string;
  std::string_view select_sql;  // as the programs write it (N'...' literals included)
  std::string_view target_connection_string;
  std::string_view table;  // a table of the target, as written in SQL
  // Called with the number of rows copied so far after every `rows_between_progress` rows,
  // when another row follows (never for the last row: the caller reports the end). An
  // exception it raises stops the copy (rolled back) and is raised again by ReplaceRows.
  std::int64_t rows_between_progress = 0;
  std::function<void(std::int64_t rows)> progress;
  CopyMethod method = CopyMethod::kFastest;
};

// Empties `copy.table` and fills it with the selected rows, both in one transaction of the
// target, and returns the number of rows copied. Raises tqs::Error, having changed nothing:
// when the statement is not one read-only query (saying why), when a database cannot be opened
// or the query does not compile on the source (the engine's message), when the table is
// missing in the target (naming it), or when the query has more fields than the table has
// columns (naming the first field without a column). A failure of the copy itself (a
// constraint, a full disk) rolls the transaction back and raises the engine's message.
std::int64_t ReplaceRows(const TableCopy& copy);

}  // namespace tqs::db

#endif  // TQS_PLATFORM_DB_TABLE_COPY_H_
