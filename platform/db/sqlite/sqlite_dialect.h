// How SQL texts as the programs write them become SQLite's dialect. SQLite has no
// national-character literals, so the N (or n) directly before a string literal is dropped:
// N'O''Neil' becomes 'O''Neil'. An N that ends a longer identifier (xN'...'), or that stands
// inside a string literal, a quoted identifier or a comment, is left alone. Everything else is
// kept byte for byte, so comparisons stay exact.
//
// Pure functions; thread-safe.
#ifndef TQS_PLATFORM_DB_SQLITE_SQLITE_DIALECT_H_
#define TQS_PLATFORM_DB_SQLITE_SQLITE_DIALECT_H_

#include <string>
#include <string_view>

namespace tqs::db::sqlite {

std::string DropNationalPrefixes(std::string_view sql);

}  // namespace tqs::db::sqlite

#endif  // TQS_PLATFORM_DB_SQLITE_SQLITE_DIALECT_H_
