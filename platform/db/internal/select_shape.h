// Recognises the record set sources whose rows have a stable key: a table, or an SQL text of
// the form SELECT <columns> FROM <table> [alias] [WHERE ...] [ORDER BY ...] [LIMIT ...]
// without joins, grouping, DISTINCT, aggregates, window functions or compound selects. Such a
// source can be read as keys first and rows by key later, and its rows can be changed by key.
//
// Pure functions; thread-safe.
#ifndef TQS_PLATFORM_DB_INTERNAL_SELECT_SHAPE_H_
#define TQS_PLATFORM_DB_INTERNAL_SELECT_SHAPE_H_

#include <optional>
#include <string>
#include <string_view>

namespace tqs::db::internal {

// The pieces of a single-table SELECT, each as written in the source text.
struct SingleTableSelect {
  std::string select_list;  // between SELECT and FROM, e.g. "*" or "EMNO, BUSCOMPONENT"
  std::string from;         // the table with its alias, e.g. "USERDEFAULTS u"
  std::string table;        // the table alone, e.g. "USERDEFAULTS"
  std::string rest;         // "WHERE ... ORDER BY ..." or ""
};

// The pieces of `sql` when it is a single-table SELECT; std::nullopt otherwise.
std::optional<SingleTableSelect> AnalyseSingleTableSelect(std::string_view sql);

// The source of a record set opened on a table name: all its columns and rows. A text that is
// not one (possibly qualified or quoted) table name raises tqs::Error naming it.
SingleTableSelect TableSource(std::string_view table);

// The SQL text of a single-table select put back together.
std::string SelectText(const SingleTableSelect& select);

}  // namespace tqs::db::internal

#endif  // TQS_PLATFORM_DB_INTERNAL_SELECT_SHAPE_H_
