// Tells from its words whether an SQL text is written as one query that only reads: the check
// that a table copy makes before it runs anything of a statement it was given, and the answer
// of an engine that cannot say itself whether a compiled statement writes. It looks at tokens
// (literals, quoted identifiers and comments never count), so it is no guarantee against
// functions with side effects: sessions that must not write also refuse writes in the engine
// (Driver::RefuseWrites).
//
// Pure functions; thread-safe.
#ifndef TQS_PLATFORM_DB_INTERNAL_QUERY_TEXT_H_
#define TQS_PLATFORM_DB_INTERNAL_QUERY_TEXT_H_

#include <string_view>

namespace tqs::db::internal {

enum class QueryTextKind {
  kReadOnlyQuery,      // SELECT, VALUES or WITH ... (opening parentheses before it allowed)
  kEmpty,              // no statement at all
  kSeveralStatements,  // more than blanks, comments and ";" after the first statement
  kNotAQuery,          // another first word: DELETE, UPDATE, PRAGMA, ATTACH, CREATE, ...
  kWrites,  // a query with a part that changes data: INSERT, UPDATE, DELETE or MERGE inside
            // a WITH, SELECT ... INTO (creates a table), SELECT ... FOR UPDATE
};

QueryTextKind ClassifyQueryText(std::string_view sql);

// A short description of why a text of `kind` is not a read-only query ("" for one that is).
std::string_view QueryTextProblem(QueryTextKind kind);

}  // namespace tqs::db::internal

#endif  // TQS_PLATFORM_DB_INTERNAL_QUERY_TEXT_H_
