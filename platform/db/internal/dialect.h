// Rewrites of SQL texts as the programs write them that more than one backend needs. They work
// on tokens, so the content of literals, quoted identifiers and comments is never touched, and
// keep everything else byte for byte, so comparisons stay exact.
//
// Pure functions; thread-safe.
#ifndef TQS_PLATFORM_DB_INTERNAL_DIALECT_H_
#define TQS_PLATFORM_DB_INTERNAL_DIALECT_H_

#include <string>
#include <string_view>

namespace tqs::db::internal {

// Drops the N (or n) directly before a string literal, making a national-character literal a
// plain one: N'O''Neil' becomes 'O''Neil'. SQLite has no such literals; PostgreSQL reads them
// as type character, which ignores trailing blanks in comparisons ('ab ' would equal 'ab'),
// while a plain literal compares with text columns exactly. An N that ends a longer identifier
// (xN'...'), or that stands inside a string literal, a quoted identifier or a comment, is left
// alone.
std::string DropNationalPrefixes(std::string_view sql);

}  // namespace tqs::db::internal

#endif  // TQS_PLATFORM_DB_INTERNAL_DIALECT_H_
