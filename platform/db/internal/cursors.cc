#include "platform/db/internal/cursors.h"

#include <optional>

#include "platform/db/internal/errors.h"

namespace tqs::db::internal {
namespace {

class ForwardOnlyCursor final : public Cursor {
 public:
  ForwardOnlyCursor(StatementLease statement, std::vector<ColumnInfo> columns, bool keyed)
      : statement_(std::move(statement)), columns_(std::move(columns)), keyed_(keyed) {
    Step();
    bof_ = eof_;
  }

  bool IsEOF() const override { return eof_; }
  bool IsBOF() const override { return bof_; }
  void MoveNext() override {
    Step();
    moved_ = true;
  }
  void MoveFirst() override {
    if (moved_) {
      throw NotAllowedError(
          "MoveFirst on a forward-only record set that has moved (open it keyset or static to "
          "read rows again)");
    }
  }
  std::int64_t RecordCount() const override { return -1; }
  const Row* Current() const override { return eof_ ? nullptr : &row_; }

  void ReplaceCurrent(Row row) override { row_ = std::move(row); }
  // The added row is current until the next move, which goes on with the stream.
  void AppendAndMoveTo(Row row) override {
    row_ = std::move(row);
    eof_ = false;
  }
  void SetFilter(std::function<bool(const Row&)>) override {
    throw NotAllowedError("Filter needs a static record set; this one is forward-only");
  }

 private:
  // Reads the next row; at the end the statement goes back to the cache at once.
  void Step() {
    if (statement_ && statement_->Step()) {
      if (keyed_) row_.key = RowKeyOf(statement_->Value(0));
      row_.values = ReadValues(*statement_, columns_, keyed_ ? 1 : 0);
    } else {
      eof_ = true;
      row_.values.clear();
      statement_.Release();
    }
  }

  StatementLease statement_;
  const std::vector<ColumnInfo> columns_;
  const bool keyed_;
  Row row_;
  bool eof_ = false;
  bool bof_ = false;
  bool moved_ = false;
};

class KeysetCursor final : public Cursor {
 public:
  KeysetCursor(std::vector<std::int64_t> keys, std::shared_ptr<TableAccess> access)
      : keys_(std::move(keys)), access_(std::move(access)) {
    Load();
  }

  bool IsEOF() const override { return position_ >= keys_.size(); }
  bool IsBOF() const override { return keys_.empty(); }
  void MoveNext() override {
    ++position_;
    Load();
  }
  void MoveFirst() override {
    position_ = 0;
    Load();
  }
  std::int64_t RecordCount() const override { return static_cast<std::int64_t>(keys_.size()); }
  const Row* Current() const override { return current_ ? &*current_ : nullptr; }

  void ReplaceCurrent(Row row) override { current_ = std::move(row); }
  void AppendAndMoveTo(Row row) override {
    keys_.push_back(*row.key);
    position_ = keys_.size() - 1;
    current_ = std::move(row);
  }
  void SetFilter(std::function<bool(const Row&)>) override {
    throw NotAllowedError("Filter needs a static record set; this one is keyset");
  }

 private:
  // Reads the row at the position; a row deleted since the set was opened stays unset.
  void Load() {
    current_.reset();
    if (position_ < keys_.size()) current_ = access_->ReadRow(keys_[position_]);
  }

  std::vector<std::int64_t> keys_;
  const std::shared_ptr<TableAccess> access_;
  std::size_t position_ = 0;
  std::optional<Row> current_;
};

class StaticCursor final : public Cursor {
 public:
  explicit StaticCursor(std::vector<Row> rows) : rows_(std::move(rows)) { ShowAll(); }

  bool IsEOF() const override { return position_ >= visible_.size(); }
  bool IsBOF() const override { return visible_.empty(); }
  void MoveNext() override { ++position_; }
  void MoveFirst() override { position_ = 0; }
  std::int64_t RecordCount() const override { return static_cast<std::int64_t>(visible_.size()); }
  const Row* Current() const override { return IsEOF() ? nullptr : &rows_[visible_[position_]]; }

  void ReplaceCurrent(Row row) override { rows_[visible_[position_]] = std::move(row); }
  void AppendAndMoveTo(Row row) override {
    rows_.push_back(std::move(row));
    visible_.push_back(rows_.size() - 1);
    position_ = visible_.size() - 1;
  }
  void SetFilter(std::function<bool(const Row&)> visible) override {
    if (!visible) {
      ShowAll();
    } else {
      visible_.clear();
      for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (visible(rows_[i])) visible_.push_back(i);
      }
    }
    position_ = 0;
  }

 private:
  void ShowAll() {
    visible_.resize(rows_.size());
    for (std::size_t i = 0; i < rows_.size(); ++i) visible_[i] = i;
  }

  std::vector<Row> rows_;
  std::vector<std::size_t> visible_;  // indexes into rows_, in order
  std::size_t position_ = 0;          // index into visible_
};

}  // namespace

std::unique_ptr<Cursor> MakeForwardOnlyCursor(StatementLease statement,
                                              std::vector<ColumnInfo> columns, bool keyed) {
  return std::make_unique<ForwardOnlyCursor>(std::move(statement), std::move(columns), keyed);
}

std::unique_ptr<Cursor> MakeKeysetCursor(std::vector<std::int64_t> keys,
                                         std::shared_ptr<TableAccess> access) {
  return std::make_unique<KeysetCursor>(std::move(keys), std::move(access));
}

std::unique_ptr<Cursor> MakeStaticCursor(std::vector<Row> rows) {
  return std::make_unique<StaticCursor>(std::move(rows));
}

}  // namespace tqs::db::internal
