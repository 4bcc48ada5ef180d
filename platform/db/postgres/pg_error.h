// How libpq failures become tqs::Error: the generic failure number and the server's own message
// (its primary message, followed by the detail when the server gives one), or the connection's
// message when there is no result (the server is down, the password is wrong, the connection
// was dropped). Every failure of the PostgreSQL backend goes through TranslatePgError.
//
// Pure functions of their arguments; thread-safe for distinct connections.
#ifndef TQS_PLATFORM_DB_POSTGRES_PG_ERROR_H_
#define TQS_PLATFORM_DB_POSTGRES_PG_ERROR_H_

#include <libpq-fe.h>

#include <string>
#include <string_view>

#include "common/error.h"

namespace tqs::db::postgres {

// `result` may be null (a failed connect or a lost connection): the connection's message is
// used then. `context` (may be empty) says what was being done, e.g. the database opened.
Error TranslatePgError(const PGconn* connection, const PGresult* result,
                       std::string_view context = {});

// The SQLSTATE of a failed result ("" when there is none).
std::string SqlState(const PGresult* result);

// A libpq message on one line: line breaks and tabs become blanks, trailing blanks go.
std::string OneLine(std::string_view message);

}  // namespace tqs::db::postgres

#endif  // TQS_PLATFORM_DB_POSTGRES_PG_ERROR_H_
