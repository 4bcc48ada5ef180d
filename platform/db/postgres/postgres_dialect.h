// How SQL texts as the programs and the data access core write them become PostgreSQL's
// dialect: national-character literals become plain literals (so that they compare with text
// columns exactly, trailing blanks included), and the positional parameters "?" become $1, $2,
// ... in order. The content of literals, quoted identifiers and comments is never touched.
//
// Pure functions; thread-safe.
#ifndef TQS_PLATFORM_DB_POSTGRES_POSTGRES_DIALECT_H_
#define TQS_PLATFORM_DB_POSTGRES_POSTGRES_DIALECT_H_

#include <string>
#include <string_view>

namespace tqs::db::postgres {

std::string ToPostgresSql(std::string_view sql);

// The text after the first statement of `sql` when it holds more than blanks, ";" and
// comments; "" otherwise.
std::string_view TextAfterFirstStatement(std::string_view sql);

// True when `sql` holds no statement at all (only blanks, ";" and comments).
bool HoldsNoStatement(std::string_view sql);

}  // namespace tqs::db::postgres

#endif  // TQS_PLATFORM_DB_POSTGRES_POSTGRES_DIALECT_H_
