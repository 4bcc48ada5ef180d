#include "platform/db/postgres/pg_error.h"

#include "common/text.h"

namespace tqs::db::postgres {

std::string OneLine(std::string_view message) {
  std::string line;
  bool blank = false;
  for (char c : message) {
    if (c == '\n' || c == '\r' || c == '\t' || c == ' ') {
      blank = !line.empty();
      continue;
    }
    if (blank) line += ' ';
    blank = false;
    line += c;
  }
  return line;
}

std::string SqlState(const PGresult* result) {
  const char* state = result != nullptr ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  return state != nullptr ? state : "";
}

Error TranslatePgError(const PGconn* connection, const PGresult* result, std::string_view context) {
  std::string message;
  if (result != nullptr) {
    if (const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY)) {
      // The server quotes values in both ("invalid input syntax for type integer: ..."; a
      // key's value in the detail of a unique violation).
      message = Excerpt(primary, 2 * kExcerptBytes);
      if (const char* detail = PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL)) {
        message += " (" + Excerpt(OneLine(detail), 2 * kExcerptBytes) + ")";
      }
    } else {
      message = Excerpt(OneLine(PQresultErrorMessage(result)), 2 * kExcerptBytes);
    }
  }
  if (message.empty() && connection != nullptr) message = OneLine(PQerrorMessage(connection));
  if (message.empty())
    message = "the PostgreSQL client library reported a failure without a message";
  if (!context.empty()) message += " (" + std::string(context) + ")";
  return Error(error_number::kGenericFailure, std::move(message));
}

}  // namespace tqs::db::postgres
