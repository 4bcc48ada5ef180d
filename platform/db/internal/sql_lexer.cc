#include "platform/db/internal/sql_lexer.h"

#include <array>
#include <cctype>

namespace tqs::db::internal {
namespace {

bool IsWordStart(char c) {
  const auto u = static_cast<unsigned char>(c);
  return std::isalpha(u) || c == '_' || u >= 0x80;
}

bool IsWordPart(char c) {
  const auto u = static_cast<unsigned char>(c);
  return std::isalnum(u) || c == '_' || c == '$' || u >= 0x80;
}

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// End of a quoted run starting at `start` (the opening quote); a doubled closing quote stands
// for itself. Returns the position after the closing quote, or npos when there is none.
std::size_t QuotedEnd(std::string_view sql, std::size_t start, char close) {
  std::size_t i = start + 1;
  while (i < sql.size()) {
    if (sql[i] == close) {
      if (close != ']' && i + 1 < sql.size() && sql[i + 1] == close) {
        i += 2;
        continue;
      }
      return i + 1;
    }
    ++i;
  }
  return std::string_view::npos;
}

std::size_t NumberEnd(std::string_view sql, std::size_t i) {
  while (i < sql.size()) {
    const char c = sql[i];
    if (IsDigit(c) || c == '.' || std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      ++i;
    } else if ((c == '+' || c == '-') && (sql[i - 1] == 'e' || sql[i - 1] == 'E')) {
      ++i;
    } else {
      break;
    }
  }
  return i;
}

constexpr std::array<std::string_view, 8> kTwoCharSymbols = {
    "<=", ">=", "<>", "!=", "==", "||", "<<", ">>"};

}  // namespace

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool Token::IsWord(std::string_view upper_word) const {
  return kind == TokenKind::kWord && EqualsIgnoreCase(text, upper_word);
}

std::vector<Token> TokenizeSql(std::string_view sql) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  auto add = [&](TokenKind kind, std::size_t end, bool terminated = true) {
    tokens.push_back(Token{kind, sql.substr(i, end - i), i, terminated});
    i = end;
  };
  while (i < sql.size()) {
    const char c = sql[i];
    const char next = i + 1 < sql.size() ? sql[i + 1] : '\0';
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (c == '-' && next == '-') {
      const std::size_t eol = sql.find('\n', i);
      i = eol == std::string_view::npos ? sql.size() : eol + 1;
    } else if (c == '/' && next == '*') {
      const std::size_t close = sql.find("*/", i + 2);
      i = close == std::string_view::npos ? sql.size() : close + 2;
    } else if (c == '\'' || c == '"' || c == '`' || c == '[') {
      const char close = c == '[' ? ']' : c;
      const std::size_t end = QuotedEnd(sql, i, close);
      const TokenKind kind = c == '\'' ? TokenKind::kString : TokenKind::kQuotedIdentifier;
      if (end == std::string_view::npos) {
        add(kind, sql.size(), false);
      } else {
        add(kind, end);
      }
    } else if (IsDigit(c) || (c == '.' && IsDigit(next))) {
      add(TokenKind::kNumber, NumberEnd(sql, i + 1));
    } else if (IsWordStart(c)) {
      std::size_t end = i + 1;
      while (end < sql.size() && IsWordPart(sql[end])) ++end;
      add(TokenKind::kWord, end);
    } else {
      std::size_t length = 1;
      for (std::string_view symbol : kTwoCharSymbols) {
        if (sql.substr(i, 2) == symbol) length = 2;
      }
      add(TokenKind::kSymbol, i + length);
    }
  }
  return tokens;
}

std::string UnquotedIdentifier(const Token& token) {
  if (token.kind != TokenKind::kQuotedIdentifier || token.text.size() < 2) {
    return std::string(token.text);
  }
  const char open = token.text.front();
  const char close = open == '[' ? ']' : open;
  std::string_view inner = token.text.substr(1, token.text.size() - (token.terminated ? 2 : 1));
  std::string result;
  for (std::size_t i = 0; i < inner.size(); ++i) {
    result += inner[i];
    if (close != ']' && inner[i] == close && i + 1 < inner.size() && inner[i + 1] == close) ++i;
  }
  return result;
}

}  // namespace tqs::db::internal
