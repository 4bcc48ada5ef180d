#include "platform/db/internal/select_shape.h"

#include <array>
#include <cstddef>
#include <vector>

#include "common/error.h"
#include "platform/db/internal/sql_lexer.h"

namespace tqs::db::internal {
namespace {

using Tokens = std::vector<Token>;

// Words after FROM that make a select more than a keyed read of one table.
constexpr std::array<std::string_view, 16> kMultiTableWords = {
    "JOIN",  "INNER",  "LEFT",  "RIGHT",     "FULL",   "CROSS",  "NATURAL", "OUTER",
    "GROUP", "HAVING", "UNION", "INTERSECT", "EXCEPT", "WINDOW", "ON",      "USING"};

constexpr std::array<std::string_view, 10> kAggregates = {
    "COUNT", "SUM",          "AVG",        "MIN",       "MAX",
    "TOTAL", "GROUP_CONCAT", "STRING_AGG", "ARRAY_AGG", "BOOL_AND"};

template <std::size_t N>
bool IsOneOf(const Token& token, const std::array<std::string_view, N>& words) {
  for (std::string_view word : words) {
    if (token.IsWord(word)) return true;
  }
  return false;
}

bool IsName(const Token& token) {
  return token.kind == TokenKind::kWord || token.kind == TokenKind::kQuotedIdentifier;
}

// Matches `name [. name]` from `i`; returns the index after it, or `i` when there is none.
std::size_t MatchTableName(const Tokens& tokens, std::size_t i, std::size_t end) {
  if (i >= end || !IsName(tokens[i])) return i;
  if (i + 2 < end && tokens[i + 1].IsSymbol(".") && IsName(tokens[i + 2])) return i + 3;
  return i + 1;
}

// The FROM clause tokens [begin, end) hold exactly a table name and an optional alias.
bool IsSingleTableFrom(const Tokens& tokens, std::size_t begin, std::size_t end) {
  const std::size_t after_name = MatchTableName(tokens, begin, end);
  if (after_name == begin) return false;
  std::size_t i = after_name;
  if (i < end && tokens[i].IsWord("AS")) ++i;
  if (i < end && IsName(tokens[i])) ++i;
  return i == end;
}

// ORDER BY 1, 2 orders by position: a keyed query that puts the key first would order
// differently, so such a select is not taken as keyed.
bool HasPositionalOrder(const Tokens& tokens, std::size_t begin, std::size_t end) {
  int depth = 0;
  bool in_order = false;
  for (std::size_t i = begin; i < end; ++i) {
    const Token& token = tokens[i];
    if (token.IsSymbol("(")) ++depth;
    if (token.IsSymbol(")")) --depth;
    if (depth != 0) continue;
    if (token.IsWord("ORDER") && i + 1 < end && tokens[i + 1].IsWord("BY")) {
      in_order = true;
      if (i + 2 < end && tokens[i + 2].kind == TokenKind::kNumber) return true;
    } else if (token.IsWord("LIMIT")) {
      in_order = false;
    } else if (in_order && token.IsSymbol(",") && i + 1 < end &&
               tokens[i + 1].kind == TokenKind::kNumber) {
      return true;
    }
  }
  return false;
}

std::string_view Between(std::string_view sql, std::size_t begin, std::size_t end) {
  return sql.substr(begin, end - begin);
}

}  // namespace

std::optional<SingleTableSelect> AnalyseSingleTableSelect(std::string_view sql) {
  Tokens tokens = TokenizeSql(sql);
  while (!tokens.empty() && tokens.back().IsSymbol(";")) tokens.pop_back();
  if (tokens.empty() || !tokens.front().IsWord("SELECT")) return std::nullopt;
  if (tokens.size() > 1 && (tokens[1].IsWord("DISTINCT") || tokens[1].IsWord("ALL"))) {
    return std::nullopt;
  }

  std::size_t from = 0;                // index of the FROM keyword at depth 0
  std::size_t clause = tokens.size();  // index of the first WHERE / ORDER / LIMIT after FROM
  int depth = 0;
  for (std::size_t i = 1; i < tokens.size(); ++i) {
    const Token& token = tokens[i];
    if (!token.terminated || token.IsSymbol(";")) return std::nullopt;
    if (IsOneOf(token, kAggregates) && i + 1 < tokens.size() && tokens[i + 1].IsSymbol("(")) {
      return std::nullopt;
    }
    if (token.IsSymbol("(")) ++depth;
    if (token.IsSymbol(")")) --depth;
    if (depth != 0) continue;
    if (token.IsWord("OVER") || (from != 0 && IsOneOf(token, kMultiTableWords))) {
      return std::nullopt;
    }
    if (from == 0 && token.IsWord("FROM")) {
      from = i;
    } else if (from != 0 && clause == tokens.size() &&
               (token.IsWord("WHERE") || token.IsWord("ORDER") || token.IsWord("LIMIT"))) {
      clause = i;
    }
  }
  if (from == 0 || from == 1 || !IsSingleTableFrom(tokens, from + 1, clause)) return std::nullopt;
  if (HasPositionalOrder(tokens, clause, tokens.size())) return std::nullopt;

  SingleTableSelect select;
  select.select_list = std::string(Between(sql, tokens[1].offset, tokens[from - 1].end()));
  select.from = std::string(Between(sql, tokens[from + 1].offset, tokens[clause - 1].end()));
  const std::size_t name_end = MatchTableName(tokens, from + 1, clause);
  select.table = std::string(Between(sql, tokens[from + 1].offset, tokens[name_end - 1].end()));
  if (clause < tokens.size()) {
    select.rest = std::string(Between(sql, tokens[clause].offset, tokens.back().end()));
  }
  return select;
}

SingleTableSelect TableSource(std::string_view table) {
  const Tokens tokens = TokenizeSql(table);
  bool valid = !tokens.empty() && MatchTableName(tokens, 0, tokens.size()) == tokens.size();
  for (const Token& token : tokens) valid = valid && token.terminated;
  if (!valid) {
    throw InvalidProcedureCallError("'" + std::string(table) +
                                    "' is not a table name (record set opened as a table)");
  }
  const std::string name(Between(table, tokens.front().offset, tokens.back().end()));
  return SingleTableSelect{"*", name, name, ""};
}

std::string SelectText(const SingleTableSelect& select) {
  std::string text = "SELECT " + select.select_list + " FROM " + select.from;
  if (!select.rest.empty()) text += " " + select.rest;
  return text;
}

}  // namespace tqs::db::internal
