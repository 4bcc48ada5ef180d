// A small SQL tokenizer shared by the parts of the data access core that look into SQL texts:
// the dialect translations of the backends, the single-table analysis of record set sources
// and the filter criteria of static sets. It knows literals, quoted identifiers and comments
// well enough never to take their content for keywords; it is not a parser.
//
// Pure functions; thread-safe.
#ifndef TQS_PLATFORM_DB_INTERNAL_SQL_LEXER_H_
#define TQS_PLATFORM_DB_INTERNAL_SQL_LEXER_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tqs::db::internal {

enum class TokenKind {
  kWord,              // keyword or plain identifier: letters, digits, "_", "$", non-ASCII bytes
  kNumber,            // numeric literal
  kString,            // '...' with '' for an apostrophe, quotes included
  kQuotedIdentifier,  // "...", `...` or [...], quotes included
  kSymbol,            // operator or punctuation: one character, or <= >= <> != == || << >>
};

struct Token {
  TokenKind kind;
  std::string_view text;   // a view into the tokenized text
  std::size_t offset;      // position of the first character
  bool terminated = true;  // false for a literal or quoted identifier cut off by the end

  std::size_t end() const { return offset + text.size(); }
  // True for a word equal to `upper_word` ignoring case.
  bool IsWord(std::string_view upper_word) const;
  bool IsSymbol(std::string_view symbol) const {
    return kind == TokenKind::kSymbol && text == symbol;
  }
};

// Splits `sql` into tokens; blanks and comments (-- to the end of the line, /* ... */) are
// skipped. Never fails: an unterminated literal runs to the end and is marked so.
std::vector<Token> TokenizeSql(std::string_view sql);

// The identifier a word or quoted identifier token names: quotes removed, doubled quotes
// undone.
std::string UnquotedIdentifier(const Token& token);

// Case-insensitive comparison of ASCII texts.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace tqs::db::internal

#endif  // TQS_PLATFORM_DB_INTERNAL_SQL_LEXER_H_
