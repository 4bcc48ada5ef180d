// The filter criteria of static record sets: comparisons `COLUMN op value` joined by AND and
// OR (AND binds tighter; parentheses group). op is one of = <> < > <= >= LIKE; value is a
// number, a text in apostrophes ('' for an apostrophe inside) or NULL. Text compares exactly
// (case and trailing blanks count); LIKE takes % or * for any run of characters. A number
// compares numerically with numeric columns and with text that reads as a number. A null
// column matches only `= NULL` (and `<> NULL` matches every other value).
//
// A RowFilter is an immutable value; thread-safe.
#ifndef TQS_PLATFORM_DB_INTERNAL_ROW_FILTER_H_
#define TQS_PLATFORM_DB_INTERNAL_ROW_FILTER_H_

#include <memory>
#include <string_view>
#include <vector>

#include "platform/automation/variant.h"
#include "platform/db/internal/driver.h"

namespace tqs::db::internal {

class RowFilter {
 public:
  // Parses `criteria` over `columns`; raises 3001 naming the criteria and what is wrong, or
  // 3265 for an unknown column.
  static RowFilter Parse(std::string_view criteria, const std::vector<ColumnInfo>& columns);

  bool Matches(const std::vector<automation::Variant>& values) const;

  struct Node;

 private:
  explicit RowFilter(std::shared_ptr<const Node> root) : root_(std::move(root)) {}

  std::shared_ptr<const Node> root_;
};

}  // namespace tqs::db::internal

#endif  // TQS_PLATFORM_DB_INTERNAL_ROW_FILTER_H_
