#include "platform/db/postgres/postgres_dialect.h"

#include <vector>

#include "platform/db/internal/dialect.h"
#include "platform/db/internal/sql_lexer.h"

namespace tqs::db::postgres {

using internal::Token;
using internal::TokenizeSql;

std::string ToPostgresSql(std::string_view sql) {
  const std::string plain = internal::DropNationalPrefixes(sql);
  const std::vector<Token> tokens = TokenizeSql(plain);
  std::string result;
  result.reserve(plain.size() + 8);
  std::size_t copied = 0;
  int parameter = 0;
  for (const Token& token : tokens) {
    if (!token.IsSymbol("?")) continue;
    result.append(plain, copied, token.offset - copied);
    result += "$" + std::to_string(++parameter);
    copied = token.end();
  }
  result.append(plain, copied);
  return result;
}

std::string_view TextAfterFirstStatement(std::string_view sql) {
  const std::vector<Token> tokens = TokenizeSql(sql);
  bool seen_statement = false;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (!tokens[i].IsSymbol(";")) {
      seen_statement = true;
      continue;
    }
    if (!seen_statement) continue;
    for (std::size_t j = i + 1; j < tokens.size(); ++j) {
      if (!tokens[j].IsSymbol(";")) return sql.substr(tokens[j].offset);
    }
    return {};
  }
  return {};
}

bool HoldsNoStatement(std::string_view sql) {
  for (const Token& token : TokenizeSql(sql)) {
    if (!token.IsSymbol(";")) return false;
  }
  return true;
}

}  // namespace tqs::db::postgres
