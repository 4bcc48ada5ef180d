#include "platform/db/internal/dialect.h"

#include <vector>

#include "platform/db/internal/sql_lexer.h"

namespace tqs::db::internal {

std::string DropNationalPrefixes(std::string_view sql) {
  const std::vector<Token> tokens = TokenizeSql(sql);
  std::string result;
  result.reserve(sql.size());
  std::size_t copied = 0;  // sql[0, copied) is in the result
  for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
    const Token& word = tokens[i];
    const Token& literal = tokens[i + 1];
    if (word.IsWord("N") && literal.kind == TokenKind::kString && literal.offset == word.end()) {
      result.append(sql.substr(copied, word.offset - copied));
      copied = literal.offset;
    }
  }
  result.append(sql.substr(copied));
  return result;
}

}  // namespace tqs::db::internal
