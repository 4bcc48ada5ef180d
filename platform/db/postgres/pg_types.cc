#include "platform/db/postgres/pg_types.h"

#include <libpq-fe.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace tqs::db::postgres {
namespace {

using internal::SqlValue;

SqlValue Integer(std::string_view text) {
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc() && end == text.data() + text.size()) return value;
  return std::string(text);  // out of range of 64 bits: keep the digits
}

SqlValue Real(std::string_view text) {
  const std::string copy(text);  // strtod reads NaN and Infinity as the server writes them
  char* end = nullptr;
  const double value = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() && *end == '\0') return value;
  return copy;
}

SqlValue Bytes(std::string_view text) {
  const std::string copy(text);
  std::size_t length = 0;
  unsigned char* bytes =
      PQunescapeBytea(reinterpret_cast<const unsigned char*>(copy.c_str()), &length);
  if (bytes == nullptr) return copy;
  internal::SqlBlob value{std::string(reinterpret_cast<const char*>(bytes), length)};
  PQfreemem(bytes);
  return value;
}

}  // namespace

std::string DeclaredTypeName(TypeOid type) {
  switch (type) {
    case type_oid::kBool:
      return "boolean";
    case type_oid::kInt2:
      return "smallint";
    case type_oid::kInt4:
      return "integer";
    case type_oid::kInt8:
      return "bigint";
    case type_oid::kFloat4:
      return "real";
    case type_oid::kFloat8:
      return "double precision";
    case type_oid::kNumeric:
      return "numeric";
    case type_oid::kText:
      return "text";
    case type_oid::kVarchar:
      return "varchar";
    case type_oid::kBpchar:
      return "character";
    case type_oid::kDate:
      return "date";
    case type_oid::kTimestamp:
      return "timestamp";
    case type_oid::kTimestampTz:
      // Its text carries a zone offset, which the date rule does not read: it stays text.
      return "timestamptz";
    case type_oid::kBytea:
      return "bytea";
    default:
      return "";
  }
}

SqlValue ValueFromText(TypeOid type, std::string_view text) {
  switch (type) {
    case type_oid::kInt2:
    case type_oid::kInt4:
    case type_oid::kInt8:
    case type_oid::kOid:
      return Integer(text);
    case type_oid::kBool:
      return std::int64_t{text == "t" ? 1 : 0};
    case type_oid::kFloat4:
    case type_oid::kFloat8:
    case type_oid::kNumeric:
      return Real(text);
    case type_oid::kBytea:
      return Bytes(text);
    default:
      return std::string(text);
  }
}

std::string ParameterText(const SqlValue& value) {
  if (const auto* integer = std::get_if<std::int64_t>(&value)) return std::to_string(*integer);
  if (const auto* real = std::get_if<double>(&value)) {
    // A whole number as its digits, never in exponent form, so that an integer column (read as
    // a Double beyond 32 bits) takes it back; any other finite number in the fewest digits
    // that read back as the same double, so that a numeric column holding 1.1 equals it.
    constexpr double kInt64Limit = 9223372036854775808.0;  // 2^63
    if (std::isfinite(*real) && std::trunc(*real) == *real && *real < kInt64Limit &&
        *real >= -kInt64Limit) {
      return std::to_string(static_cast<std::int64_t>(*real));
    }
    char buffer[32];
    if (std::isfinite(*real)) {
      const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, *real);
      if (error == std::errc()) return std::string(buffer, end);
    }
    std::snprintf(buffer, sizeof buffer, "%.17g", *real);
    return buffer;
  }
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  if (const auto* blob = std::get_if<internal::SqlBlob>(&value)) {
    // The hex form of bytea input: \x and two hex digits per byte.
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex = "\\x";
    hex.reserve(2 + 2 * blob->bytes.size());
    for (const char c : blob->bytes) {
      const auto byte = static_cast<unsigned char>(c);
      hex += kDigits[byte >> 4];
      hex += kDigits[byte & 0x0f];
    }
    return hex;
  }
  return "";
}

}  // namespace tqs::db::postgres
