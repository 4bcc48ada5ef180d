#include "platform/db/internal/query_text.h"

#include <array>
#include <vector>

#include "platform/db/internal/sql_lexer.h"

namespace tqs::db::internal {

QueryTextKind ClassifyQueryText(std::string_view sql) {
  const std::vector<Token> tokens = TokenizeSql(sql);
  // The first statement ends at the first ";"; only more ";" may follow it.
  std::size_t end = 0;
  while (end < tokens.size() && !tokens[end].IsSymbol(";")) ++end;
  for (std::size_t i = end; i < tokens.size(); ++i) {
    if (!tokens[i].IsSymbol(";")) return QueryTextKind::kSeveralStatements;
  }
  std::size_t first = 0;
  while (first < end && tokens[first].IsSymbol("(")) ++first;
  if (end == 0) return QueryTextKind::kEmpty;
  if (first == end || !(tokens[first].IsWord("SELECT") || tokens[first].IsWord("VALUES") ||
                        tokens[first].IsWord("WITH"))) {
    return QueryTextKind::kNotAQuery;
  }
  static constexpr std::array<std::string_view, 5> kWritingWords = {"INSERT", "UPDATE", "DELETE",
                                                                    "MERGE", "INTO"};
  for (std::size_t i = first; i < end; ++i) {
    for (std::string_view word : kWritingWords) {
      if (tokens[i].IsWord(word)) return QueryTextKind::kWrites;
    }
  }
  return QueryTextKind::kReadOnlyQuery;
}

std::string_view QueryTextProblem(QueryTextKind kind) {
  switch (kind) {
    case QueryTextKind::kReadOnlyQuery:
      return "";
    case QueryTextKind::kEmpty:
      return "it holds no statement";
    case QueryTextKind::kSeveralStatements:
      return "it holds more than one statement";
    case QueryTextKind::kNotAQuery:
      return "it is another kind of statement";
    case QueryTextKind::kWrites:
      return "a part of it changes data (INSERT, UPDATE, DELETE, MERGE, SELECT ... INTO or FOR "
             "UPDATE)";
  }
  return "";
}

}  // namespace tqs::db::internal
