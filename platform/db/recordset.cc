#include "platform/db/recordset.h"

#include <optional>

#include "common/error.h"
#include "platform/db/internal/connection_impl.h"
#include "platform/db/internal/cursors.h"
#include "platform/db/internal/errors.h"
#include "platform/db/internal/row_filter.h"
#include "platform/db/internal/select_shape.h"
#include "platform/db/internal/sql_lexer.h"
#include "platform/db/internal/table_access.h"
#include "platform/db/internal/value_mapping.h"

namespace tqs::db {
namespace internal {
namespace {

// What opening a source produced: the columns, the cursor over the rows and, when the rows
// have keys, the keyed access that changes them.
struct OpenedSet {
  CursorType cursor_type;  // as served: forward-only, keyset or static
  std::vector<ColumnInfo> columns;
  std::unique_ptr<Cursor> cursor;
  std::shared_ptr<TableAccess> access;
};

std::vector<ColumnInfo> DescribeColumns(const DriverStatement& statement) {
  std::vector<ColumnInfo> columns;
  for (int i = 0; i < statement.ColumnCount(); ++i) columns.push_back(statement.Column(i));
  return columns;
}

// The keyed access to a single-table source, or nullptr when the engine cannot read it by
// key (a view, a table without row keys): the caller then reads it as a plain query.
std::shared_ptr<TableAccess> TryTableAccess(const std::shared_ptr<Session>& session,
                                            const SingleTableSelect& select,
                                            std::optional<StatementLease>& statement,
                                            bool keys_only) {
  try {
    auto access = std::make_shared<TableAccess>(session, select);
    statement.emplace(session->Prepare(keys_only ? access->KeysSql() : access->KeyedRowsSql()));
    return access;
  } catch (const Error&) {
    return nullptr;
  }
}

std::optional<OpenedSet> TryOpenKeyset(const std::shared_ptr<Session>& session,
                                       const SingleTableSelect& select) {
  std::optional<StatementLease> statement;
  auto access = TryTableAccess(session, select, statement, /*keys_only=*/true);
  if (!access) return std::nullopt;
  std::vector<std::int64_t> keys;
  while ((*statement)->Step()) keys.push_back(RowKeyOf((*statement)->Value(0)));
  statement.reset();
  return OpenedSet{CursorType::kKeyset, access->columns(),
                   MakeKeysetCursor(std::move(keys), access), access};
}

std::optional<OpenedSet> TryOpenKeyedStatic(const std::shared_ptr<Session>& session,
                                            const SingleTableSelect& select) {
  std::optional<StatementLease> statement;
  auto access = TryTableAccess(session, select, statement, /*keys_only=*/false);
  if (!access) return std::nullopt;
  std::vector<Row> rows;
  while ((*statement)->Step()) {
    rows.push_back(
        Row{RowKeyOf((*statement)->Value(0)), ReadValues(**statement, access->columns(), 1)});
  }
  statement.reset();
  return OpenedSet{CursorType::kStatic, access->columns(), MakeStaticCursor(std::move(rows)),
                   access};
}

// A forward-only set streams its statement. Only an updatable one over a single table reads
// the row keys along (so its rows can be changed); a read-only one runs the text as written.
OpenedSet OpenForwardOnly(const std::shared_ptr<Session>& session, std::string_view sql,
                          const std::optional<SingleTableSelect>& select, bool optimistic) {
  if (select && optimistic) {
    std::optional<StatementLease> statement;
    if (auto access = TryTableAccess(session, *select, statement, /*keys_only=*/false)) {
      auto cursor = MakeForwardOnlyCursor(std::move(*statement), access->columns(), true);
      return OpenedSet{CursorType::kForwardOnly, access->columns(), std::move(cursor), access};
    }
  }
  StatementLease statement = session->Prepare(sql);
  std::vector<ColumnInfo> columns = DescribeColumns(*statement);
  auto cursor = MakeForwardOnlyCursor(std::move(statement), columns, false);
  return OpenedSet{CursorType::kForwardOnly, std::move(columns), std::move(cursor), nullptr};
}

// Binds `parameters` to the "?" places of `statement` in order.
void BindParameters(DriverStatement& statement, std::span<const Variant> parameters) {
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    statement.Bind(static_cast<int>(i),
                   FromVariant(parameters[i], "parameter " + std::to_string(i + 1)));
  }
}

OpenedSet OpenPlainStatic(Session& session, std::string_view sql,
                          std::span<const Variant> parameters = {}) {
  StatementLease statement = session.Prepare(sql);
  BindParameters(*statement, parameters);
  std::vector<ColumnInfo> columns = DescribeColumns(*statement);
  std::vector<Row> rows;
  while (statement->Step()) rows.push_back(Row{std::nullopt, ReadValues(*statement, columns, 0)});
  return OpenedSet{CursorType::kStatic, std::move(columns), MakeStaticCursor(std::move(rows)),
                   nullptr};
}

// Keyset and dynamic sets need a single-table source; any other source is served as a
// static read-only set, as the platform downgrades a cursor the provider cannot give.
OpenedSet OpenSet(const std::shared_ptr<Session>& session, std::string_view source,
                  CursorType cursor, bool optimistic, CommandType command) {
  std::optional<SingleTableSelect> select;
  std::string sql;
  if (command == CommandType::kTable) {
    select = TableSource(source);
    sql = SelectText(*select);
  } else {
    sql = std::string(source);
    // A read-only forward-only set runs the text as written: no need to know its shape.
    const bool read_only_stream =
        !optimistic && (cursor == CursorType::kUnspecified || cursor == CursorType::kForwardOnly);
    if (!read_only_stream) select = AnalyseSingleTableSelect(source);
  }
  switch (cursor) {
    case CursorType::kUnspecified:
    case CursorType::kForwardOnly:
      return OpenForwardOnly(session, sql, select, optimistic);
    case CursorType::kKeyset:
    case CursorType::kDynamic:
      if (select) {
        if (auto set = TryOpenKeyset(session, *select)) return std::move(*set);
      }
      break;
    case CursorType::kStatic:
      if (select) {
        if (auto set = TryOpenKeyedStatic(session, *select)) return std::move(*set);
      }
      break;
  }
  return OpenPlainStatic(*session, sql);
}

enum class EditMode { kNone, kEditing, kAdding };

class RecordsetImpl final : public Recordset {
 public:
  RecordsetImpl(std::shared_ptr<Session> session, OpenedSet set, bool optimistic,
                std::string source)
      : optimistic_(optimistic),
        source_(std::move(source)),
        cursor_type_(set.cursor_type),
        columns_(std::move(set.columns)),
        session_(std::move(session)),
        access_(std::move(set.access)),
        cursor_(std::move(set.cursor)) {}

  bool IsEOF() const override {
    CheckOpen();
    return cursor_->IsEOF();
  }

  bool IsBOF() const override {
    CheckOpen();
    return cursor_->IsBOF();
  }

  void MoveNext() override {
    CheckOpen();
    SaveStaged();
    if (cursor_->IsEOF()) throw NoCurrentRecordError();
    added_row_unread_ = false;
    cursor_->MoveNext();
  }

  void MoveFirst() override {
    CheckOpen();
    SaveStaged();
    added_row_unread_ = false;
    cursor_->MoveFirst();
  }

  std::int64_t RecordCount() const override {
    CheckOpen();
    return cursor_->RecordCount();
  }

  int FieldCount() const override {
    CheckOpen();
    return static_cast<int>(columns_.size());
  }

  std::string FieldName(int index) const override {
    CheckOpen();
    return columns_[CheckedIndex(index)].name;
  }

  Variant Field(std::string_view name) const override {
    CheckOpen();
    return ValueAt(ColumnIndex(name));
  }

  Variant Field(int index) const override {
    CheckOpen();
    return ValueAt(CheckedIndex(index));
  }

  void AddNew() override {
    CheckOpen();
    CheckUpdatable();
    SaveStaged();
    edit_mode_ = EditMode::kAdding;
    edits_.clear();
  }

  void SetField(std::string_view name, const Variant& value) override {
    CheckOpen();
    CheckUpdatable();
    Stage(ColumnIndex(name), Variant(value));
  }

  void SetField(int index, Variant value) override {
    CheckOpen();
    CheckUpdatable();
    Stage(CheckedIndex(index), std::move(value));
  }

  void Update() override {
    CheckOpen();
    if (edit_mode_ == EditMode::kNone) return;
    CheckUpdatable();
    if (edit_mode_ == EditMode::kAdding) {
      // A static set holds the added row as stored (defaults and conversions applied), so the
      // insert hands it back at once. The other sets read it by its key when it is first
      // asked for, since moving on (a copy of many rows) never needs it.
      const bool holds_rows = cursor_type_ == CursorType::kStatic;
      internal::TableAccess::InsertedRow added = access_->InsertRow(
          edits_, holds_rows ? TableAccess::RowReadBack::kNow : TableAccess::RowReadBack::kLater);
      if (holds_rows) {
        cursor_->AppendAndMoveTo(added.row ? std::move(*added.row)
                                           : Row{added.key, StagedValues()});
      } else {
        cursor_->AppendAndMoveTo(Row{added.key, {}});
        added_row_unread_ = true;
        std::swap(added_edits_, edits_);
      }
    } else {
      ReadAddedRow();
      const Row* current = cursor_->Current();
      if (current == nullptr) throw NoCurrentRecordError();
      const std::int64_t key = *current->key;
      access_->UpdateRow(key, edits_, current->values);
      if (std::optional<Row> row = access_->ReadRow(key)) cursor_->ReplaceCurrent(std::move(*row));
    }
    edit_mode_ = EditMode::kNone;
    edits_.clear();
  }

  void CancelUpdate() override {
    CheckOpen();
    edit_mode_ = EditMode::kNone;
    edits_.clear();
  }

  void SetFilter(std::string_view criteria) override {
    CheckOpen();
    if (cursor_type_ != CursorType::kStatic) {
      throw NotAllowedError("Filter needs a static record set (source '" + source_ + "')");
    }
    SaveStaged();
    if (criteria.find_first_not_of(" \t\r\n") == std::string_view::npos) {
      cursor_->SetFilter(nullptr);
      return;
    }
    RowFilter filter = RowFilter::Parse(criteria, columns_);
    cursor_->SetFilter([filter](const Row& row) { return filter.Matches(row.values); });
  }

  void Disconnect() override {
    CheckOpen();
    if (cursor_type_ != CursorType::kStatic) {
      throw NotAllowedError("only a static record set can be disconnected (source '" + source_ +
                            "')");
    }
    SaveStaged();
    access_.reset();
    session_.reset();
  }

  void Close() override {
    CheckOpen();
    added_row_unread_ = false;
    edit_mode_ = EditMode::kNone;
    edits_.clear();
    cursor_.reset();
    access_.reset();
    session_.reset();
    open_ = false;
  }

  bool IsOpen() const override { return open_ && (!session_ || session_->IsOpen()); }

 private:
  // A closed set, or a connected set whose connection was closed, raises 3704.
  void CheckOpen() const {
    if (!IsOpen()) throw ObjectClosedError();
  }

  void CheckUpdatable() const {
    std::string reason;
    if (!optimistic_) {
      reason = "it was opened read-only (open it with lock type optimistic to change rows)";
    } else if (!session_) {
      reason = "it is disconnected from its connection";
    } else if (!access_) {
      reason = "its source is not a single table";
    }
    if (!reason.empty()) {
      throw NotAllowedError("the record set on '" + source_ + "' cannot be changed: " + reason);
    }
  }

  // Moving away from (or adding after) a row with staged changes writes them first.
  void SaveStaged() {
    if (edit_mode_ != EditMode::kNone) Update();
  }

  // Stages `value` for `column` on the current row (or the row being added).
  void Stage(std::size_t column, Variant value) {
    CheckStorable(value, columns_[column].name);  // fails here, not at Update
    if (edit_mode_ == EditMode::kNone) {
      if (Current() == nullptr) throw NoCurrentRecordError();
      edit_mode_ = EditMode::kEditing;
    }
    for (ColumnEdit& edit : edits_) {
      if (edit.column == static_cast<int>(column)) {
        edit.value = std::move(value);
        return;
      }
    }
    edits_.push_back(ColumnEdit{static_cast<int>(column), std::move(value)});
  }

  // The row added last, read by its key now that it is asked for; a row gone in between
  // shows the values it was added with.
  void ReadAddedRow() const {
    if (!added_row_unread_) return;
    added_row_unread_ = false;
    const Row* current = cursor_->Current();
    if (current == nullptr || !current->key) return;
    const std::int64_t key = *current->key;
    std::optional<Row> row = access_->ReadRow(key);
    if (!row) {
      std::vector<Variant> values(columns_.size(), Variant::Null());
      for (const ColumnEdit& edit : added_edits_)
        values[static_cast<std::size_t>(edit.column)] = edit.value;
      row = Row{key, std::move(values)};
    }
    cursor_->ReplaceCurrent(std::move(*row));
  }

  const Row* Current() const {
    ReadAddedRow();
    return cursor_->Current();
  }

  std::size_t ColumnIndex(std::string_view name) const {
    for (std::size_t i = 0; i < columns_.size(); ++i) {
      if (EqualsIgnoreCase(columns_[i].name, name)) return i;
    }
    throw ItemNotFoundError(name);
  }

  std::size_t CheckedIndex(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= columns_.size()) {
      throw ItemNotFoundError(std::to_string(index));
    }
    return static_cast<std::size_t>(index);
  }

  // The staged value of the column, else the current row's (Null for a row being added).
  Variant ValueAt(std::size_t column) const {
    for (const ColumnEdit& edit : edits_) {
      if (edit.column == static_cast<int>(column)) return edit.value;
    }
    if (edit_mode_ == EditMode::kAdding) return Variant::Null();
    const Row* row = Current();
    if (row == nullptr) throw NoCurrentRecordError();
    return row->values[column];
  }

  std::vector<Variant> StagedValues() const {
    std::vector<Variant> values(columns_.size(), Variant::Null());
    for (const ColumnEdit& edit : edits_)
      values[static_cast<std::size_t>(edit.column)] = edit.value;
    return values;
  }

  // Fixed at open.
  const bool optimistic_;
  const std::string source_;
  const CursorType cursor_type_;
  const std::vector<ColumnInfo> columns_;

  // Released by Disconnect (session, access) or Close (all).
  std::shared_ptr<Session> session_;
  std::shared_ptr<TableAccess> access_;
  std::unique_ptr<Cursor> cursor_;
  bool open_ = true;

  // The change in progress.
  EditMode edit_mode_ = EditMode::kNone;
  std::vector<ColumnEdit> edits_;

  // A row added to a forward-only or keyset set is current but not read yet; the values it
  // was added with stand in should it be gone when it is read. Reading it changes only this
  // cache of the current row, hence mutable.
  mutable bool added_row_unread_ = false;
  std::vector<ColumnEdit> added_edits_;
};

}  // namespace
}  // namespace internal

bool IsRowChangedError(const Error& error) {
  return error.number() == error_number::kNoCurrentRecord &&
         error.description() == kRowChangedDescription;
}

std::unique_ptr<Recordset> Recordset::OpenWithParameters(std::string_view sql,
                                                         std::span<const Variant> parameters,
                                                         Connection& connection,
                                                         CursorType cursor) {
  std::shared_ptr<internal::Session> session = internal::SessionOf(connection);
  internal::OpenedSet set;
  switch (cursor) {
    case CursorType::kUnspecified:
    case CursorType::kForwardOnly: {
      internal::StatementLease statement = session->Prepare(sql);
      internal::BindParameters(*statement, parameters);
      std::vector<internal::ColumnInfo> columns = internal::DescribeColumns(*statement);
      auto rows = internal::MakeForwardOnlyCursor(std::move(statement), columns, false);
      set = internal::OpenedSet{CursorType::kForwardOnly, std::move(columns), std::move(rows),
                                nullptr};
      break;
    }
    case CursorType::kStatic:
      set = internal::OpenPlainStatic(*session, sql, parameters);
      break;
    case CursorType::kKeyset:
    case CursorType::kDynamic:
      throw internal::NotAllowedError(
          "a record set opened with parameters is forward-only or static (source '" +
          std::string(sql) + "')");
  }
  return std::make_unique<internal::RecordsetImpl>(std::move(session), std::move(set),
                                                   /*optimistic=*/false, std::string(sql));
}

std::unique_ptr<Recordset> Recordset::Open(std::string_view source, Connection& connection,
                                           CursorType cursor, LockType lock, CommandType command) {
  std::shared_ptr<internal::Session> session = internal::SessionOf(connection);
  const bool optimistic = lock != LockType::kUnspecified && lock != LockType::kReadOnly;
  internal::OpenedSet set = internal::OpenSet(session, source, cursor, optimistic, command);
  return std::make_unique<internal::RecordsetImpl>(std::move(session), std::move(set), optimistic,
                                                   std::string(source));
}

}  // namespace tqs::db
