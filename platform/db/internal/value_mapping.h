// How engine values become Variants and back, the same for every backend:
//   reading: NULL -> Null; an integer -> Int32 when it fits, else Double, but Int16 for a
//   column declared SMALLINT / INT2 (when it fits); a real -> Double; text -> Text, except that
//   a column declared DATE, DATETIME or TIMESTAMP holding 'YYYY-MM-DD[ HH:MM:SS]' gives a Date;
//   a binary value -> Text of its bytes.
//   writing: Empty and Null -> NULL; Boolean -> 1 / 0 (so True reads back as the Int32 1);
//   Int16 / Int32 -> integer; Double -> real; Text -> text; Date -> 'YYYY-MM-DD HH:MM:SS';
//   an object raises a type mismatch naming the column.
//
// Pure functions; thread-safe.
#ifndef TQS_PLATFORM_DB_INTERNAL_VALUE_MAPPING_H_
#define TQS_PLATFORM_DB_INTERNAL_VALUE_MAPPING_H_

#include <optional>
#include <string>
#include <string_view>

#include "common/date_time.h"
#include "platform/automation/variant.h"
#include "platform/db/internal/driver.h"

namespace tqs::db::internal {

automation::Variant ToVariant(SqlValue value, std::string_view declared_type);

// `column` names the column in the error raised for a value that cannot be stored.
SqlValue FromVariant(const automation::Variant& value, std::string_view column);
// Raises the type mismatch that FromVariant raises for `value`, without converting it.
void CheckStorable(const automation::Variant& value, std::string_view column);

// The stored text form of a date: "YYYY-MM-DD HH:MM:SS".
std::string FormatDateText(DateTime value);
// Reads "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS[.fff]]" (also with "T" between date and time);
// std::nullopt for any other text or an impossible date.
std::optional<DateTime> ParseDateText(std::string_view text);

}  // namespace tqs::db::internal

#endif  // TQS_PLATFORM_DB_INTERNAL_VALUE_MAPPING_H_
