#include "platform/db/internal/table_access.h"

#include <algorithm>

#include "platform/db/internal/errors.h"
#include "platform/db/internal/value_mapping.h"

namespace tqs::db::internal {

std::vector<automation::Variant> ReadValues(const DriverStatement& statement,
                                            const std::vector<ColumnInfo>& columns, int first) {
  std::vector<automation::Variant> values;
  values.reserve(columns.size());
  for (std::size_t i = 0; i < columns.size(); ++i) {
    values.push_back(
        ToVariant(statement.Value(first + static_cast<int>(i)), columns[i].declared_type));
  }
  return values;
}

std::int64_t RowKeyOf(const SqlValue& value) {
  if (const auto* integer = std::get_if<std::int64_t>(&value)) return *integer;
  if (const auto* text = std::get_if<std::string>(&value)) {
    try {
      return std::stoll(*text);
    } catch (const std::exception&) {
    }
  }
  throw Error(error_number::kGenericFailure,
              "The engine returned a row key that is not an integer");
}

TableAccess::TableAccess(std::shared_ptr<Session> session, SingleTableSelect source)
    : session_(std::move(session)),
      source_(std::move(source)),
      key_(session_->driver().RowKeyExpression(source_.table)),
      row_by_key_sql_(
          SelectText({source_.select_list, source_.from, source_.table, "WHERE " + key_ + "=?"})) {
  StatementLease statement = session_->Prepare(row_by_key_sql_);
  for (int i = 0; i < statement->ColumnCount(); ++i) columns_.push_back(statement->Column(i));
  std::string returning = key_;
  for (const ColumnInfo& column : columns_) {
    if (column.origin_name.empty()) {
      returning = key_;
      break;
    }
    returning += ", " + session_->driver().QuoteIdentifier(column.origin_name);
  }
  returning_list_ = std::move(returning);
}

std::string TableAccess::KeysSql() const {
  return SelectText({key_, source_.from, source_.table, source_.rest});
}

std::string TableAccess::KeyedRowsSql() const {
  return SelectText({key_ + ", " + source_.select_list, source_.from, source_.table, source_.rest});
}

std::optional<Row> TableAccess::ReadRow(std::int64_t key) {
  StatementLease statement = session_->Prepare(row_by_key_sql_);
  statement->Bind(0, key);
  if (!statement->Step()) return std::nullopt;
  return Row{key, ReadValues(*statement, columns_, 0)};
}

std::string TableAccess::TargetColumn(int column) const {
  const ColumnInfo& info = columns_.at(static_cast<std::size_t>(column));
  if (info.origin_name.empty()) {
    throw NotAllowedError("column '" + info.name + "' is computed, not a column of table '" +
                          source_.table + "', and cannot be changed");
  }
  return session_->driver().QuoteIdentifier(info.origin_name);
}

std::vector<SqlValue> TableAccess::EditValues(const std::vector<ColumnEdit>& edits) const {
  std::vector<SqlValue> values;
  for (const ColumnEdit& edit : edits) {
    values.push_back(
        FromVariant(edit.value, columns_.at(static_cast<std::size_t>(edit.column)).name));
  }
  return values;
}

std::string TableAccess::UpdateSql(const std::vector<ColumnEdit>& edits) const {
  std::string sql = "UPDATE " + source_.table + " SET ";
  std::string criteria;
  for (std::size_t i = 0; i < edits.size(); ++i) {
    const std::string column = TargetColumn(edits[i].column);
    if (i > 0) sql += ", ";
    sql += column + "=?";
    criteria +=
        " AND " + session_->driver().NullSafeEquals(
                      column, columns_.at(static_cast<std::size_t>(edits[i].column)).declared_type);
  }
  return sql + " WHERE " + key_ + "=?" + criteria;
}

std::optional<std::vector<SqlValue>> TableAccess::ReadStoredValues(std::int64_t key) {
  StatementLease statement = session_->Prepare(row_by_key_sql_);
  statement->Bind(0, key);
  if (!statement->Step()) return std::nullopt;
  std::vector<SqlValue> values;
  values.reserve(columns_.size());
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    values.push_back(statement->Value(static_cast<int>(i)));
  }
  return values;
}

void TableAccess::UpdateRow(std::int64_t key, const std::vector<ColumnEdit>& edits,
                            const std::vector<automation::Variant>& read) {
  if (edits.empty()) return;
  // Runs of the statement when the row is found unchanged but not matched: the first with the
  // values as read, the others with the values as stored by then.
  constexpr int kRuns = 4;
  const std::string sql = UpdateSql(edits);
  // The new values, the key, then what each written column must still hold.
  std::vector<SqlValue> parameters = EditValues(edits);
  parameters.emplace_back(key);
  const std::size_t first_expected = parameters.size();
  for (const ColumnEdit& edit : edits) {
    const auto column = static_cast<std::size_t>(edit.column);
    parameters.push_back(FromVariant(read.at(column), columns_.at(column).name));
  }
  for (int run = 1;; ++run) {
    if (session_->Execute(sql, parameters) > 0) return;
    // No row matched: it is gone, it holds other values, or a value was read lossily.
    std::optional<std::vector<SqlValue>> stored = ReadStoredValues(key);
    if (!stored) {
      throw Error(error_number::kNoCurrentRecord,
                  "Row cannot be located for updating: the row of table '" + source_.table +
                      "' with key " + std::to_string(key) + " was deleted since it was read.");
    }
    bool compared_as_stored = true;  // the last run already compared with these values
    for (std::size_t i = 0; i < edits.size(); ++i) {
      const auto column = static_cast<std::size_t>(edits[i].column);
      SqlValue& now = (*stored)[column];
      if (ToVariant(now, columns_[column].declared_type) != read[column]) throw RowChangedError();
      SqlValue& expected = parameters[first_expected + i];
      compared_as_stored = compared_as_stored && expected == now;
      expected = std::move(now);
    }
    // The engine did not match a value with itself, or the values keep changing underneath.
    if (compared_as_stored || run == kRuns) throw RowChangedError();
  }
}

const std::string& TableAccess::InsertSql(const std::vector<ColumnEdit>& edits,
                                          RowReadBack read_back) {
  const bool same = !insert_sql_.empty() && read_back == insert_read_back_ &&
                    edits.size() == insert_columns_.size() &&
                    std::equal(edits.begin(), edits.end(), insert_columns_.begin(),
                               [](const ColumnEdit& edit, int column) {
                                 return edit.column == column;
                               });
  if (same) return insert_sql_;
  std::string sql = "INSERT INTO " + source_.table;
  if (edits.empty()) {
    sql += " DEFAULT VALUES";
  } else {
    std::string places;
    sql += " (";
    for (std::size_t i = 0; i < edits.size(); ++i) {
      if (i > 0) {
        sql += ", ";
        places += ", ";
      }
      sql += TargetColumn(edits[i].column);
      places += "?";
    }
    sql += ") VALUES (" + places + ")";
  }
  if (read_back == RowReadBack::kNow) {
    sql += " RETURNING " + returning_list_;
  } else if (!session_->driver().ReportsLastInsertKey()) {
    sql += " RETURNING " + key_;
  }
  insert_columns_.clear();
  for (const ColumnEdit& edit : edits) insert_columns_.push_back(edit.column);
  insert_read_back_ = read_back;
  insert_sql_ = std::move(sql);
  return insert_sql_;
}

TableAccess::InsertedRow TableAccess::InsertRow(const std::vector<ColumnEdit>& edits,
                                                RowReadBack read_back) {
  const std::vector<SqlValue> values = EditValues(edits);
  StatementLease statement = session_->Prepare(InsertSql(edits, read_back));
  for (std::size_t i = 0; i < values.size(); ++i) statement->Bind(static_cast<int>(i), values[i]);
  const bool returns_rows = statement->Step();
  if (read_back == RowReadBack::kLater && session_->driver().ReportsLastInsertKey()) {
    return InsertedRow{session_->driver().LastInsertKey(), std::nullopt};
  }
  if (!returns_rows) {
    throw Error(
        error_number::kGenericFailure,
        "The engine did not report the key of the row added to table '" + source_.table + "'");
  }
  const std::int64_t key = RowKeyOf(statement->Value(0));
  const bool whole_row = read_back == RowReadBack::kNow &&
                         statement->ColumnCount() == static_cast<int>(columns_.size()) + 1;
  std::optional<Row> row;
  if (whole_row) row = Row{key, ReadValues(*statement, columns_, 1)};
  while (statement->Step()) {
  }
  if (whole_row || read_back == RowReadBack::kLater) return InsertedRow{key, std::move(row)};
  statement.Release();
  return InsertedRow{key, ReadRow(key)};
}

}  // namespace tqs::db::internal
