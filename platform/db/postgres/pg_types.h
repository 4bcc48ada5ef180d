// How values of PostgreSQL's built-in types, as the server sends them in text form, become the
// engine values of the data access core, and which declared type a result column reports so
// that the core maps it like the same column on SQLite:
//   smallint -> integer, declared "smallint" (read as Int16); integer, bigint, oid -> integer;
//   boolean -> integer 1 / 0; real, double precision, numeric -> real;
//   date, timestamp -> text "YYYY-MM-DD[ HH:MM:SS[.ffffff]]", declared "date" / "timestamp"
//   (read as a Date); bytea -> a binary value (SqlBlob) of its bytes; every other type -> its
//   text form.
//
// Pure functions; thread-safe.
#ifndef TQS_PLATFORM_DB_POSTGRES_PG_TYPES_H_
#define TQS_PLATFORM_DB_POSTGRES_PG_TYPES_H_

#include <string>
#include <string_view>

#include "platform/db/internal/driver.h"

namespace tqs::db::postgres {

// The type identifiers of the built-in types (pg_type.oid), fixed across server versions.
using TypeOid = unsigned int;
namespace type_oid {
inline constexpr TypeOid kBool = 16;
inline constexpr TypeOid kBytea = 17;
inline constexpr TypeOid kInt8 = 20;
inline constexpr TypeOid kInt2 = 21;
inline constexpr TypeOid kInt4 = 23;
inline constexpr TypeOid kText = 25;
inline constexpr TypeOid kOid = 26;
inline constexpr TypeOid kFloat4 = 700;
inline constexpr TypeOid kFloat8 = 701;
inline constexpr TypeOid kBpchar = 1042;
inline constexpr TypeOid kVarchar = 1043;
inline constexpr TypeOid kDate = 1082;
inline constexpr TypeOid kTime = 1083;
inline constexpr TypeOid kTimestamp = 1114;
inline constexpr TypeOid kTimestampTz = 1184;
inline constexpr TypeOid kNumeric = 1700;
}  // namespace type_oid

// The declared type that a result column of type `type` reports ("" for types the core has no
// rule for).
std::string DeclaredTypeName(TypeOid type);

// The engine value of `text` (the server's text form of a value of type `type`, not null).
internal::SqlValue ValueFromText(TypeOid type, std::string_view text);

// The text form in which `value` is sent as a statement parameter; the server converts it to
// the type the statement needs there. A whole-numbered real goes as its digits (an integer
// column takes it), any other real in the fewest digits that read back as the same double.
// A binary value goes in bytea's hex form (\x0041), which a bytea parameter reads back as the
// same bytes. Not called for null.
std::string ParameterText(const internal::SqlValue& value);

}  // namespace tqs::db::postgres

#endif  // TQS_PLATFORM_DB_POSTGRES_PG_TYPES_H_
