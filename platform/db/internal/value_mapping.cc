#include "platform/db/internal/value_mapping.h"

#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "common/error.h"
#include "platform/db/internal/sql_lexer.h"

namespace tqs::db::internal {
namespace {

using automation::Variant;
using automation::VariantType;

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

bool IsSmallIntType(std::string_view declared) {
  return StartsWithIgnoreCase(declared, "SMALLINT") || EqualsIgnoreCase(declared, "INT2");
}

bool IsDateType(std::string_view declared) {
  return EqualsIgnoreCase(declared, "DATE") || StartsWithIgnoreCase(declared, "DATETIME") ||
         StartsWithIgnoreCase(declared, "TIMESTAMP");
}

Variant IntegerToVariant(std::int64_t value, std::string_view declared) {
  if (IsSmallIntType(declared) && value >= std::numeric_limits<std::int16_t>::min() &&
      value <= std::numeric_limits<std::int16_t>::max()) {
    return Variant(static_cast<std::int16_t>(value));
  }
  if (value >= std::numeric_limits<std::int32_t>::min() &&
      value <= std::numeric_limits<std::int32_t>::max()) {
    return Variant(static_cast<std::int32_t>(value));
  }
  return Variant(static_cast<double>(value));
}

// Reads exactly `count` digits at `pos`.
std::optional<int> Digits(std::string_view text, std::size_t pos, std::size_t count) {
  if (pos + count > text.size()) return std::nullopt;
  int value = 0;
  for (std::size_t i = pos; i < pos + count; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

}  // namespace

std::string FormatDateText(DateTime value) {
  using namespace std::chrono;
  const local_days day = floor<days>(value);
  const year_month_day date{day};
  const hh_mm_ss<seconds> time{value - day};
  const int y = int(date.year());
  char buffer[32];
  if (y < 0 || y > 9999 || time.hours().count() > 99) {
    std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u %02d:%02d:%02d", y,
                  unsigned(date.month()), unsigned(date.day()), int(time.hours().count()),
                  int(time.minutes().count()), int(time.seconds().count()));
    return buffer;
  }
  // The common case digit by digit: dates are written for every row of a copy, and the
  // formatted print was a tenth of a master data copy's time.
  std::string text = "0000-00-00 00:00:00";
  const auto put = [&text](std::size_t at, int value, int width) {
    for (int i = width - 1; i >= 0; --i, value /= 10) text[at + i] = char('0' + value % 10);
  };
  put(0, y, 4);
  put(5, int(unsigned(date.month())), 2);
  put(8, int(unsigned(date.day())), 2);
  put(11, int(time.hours().count()), 2);
  put(14, int(time.minutes().count()), 2);
  put(17, int(time.seconds().count()), 2);
  return text;
}

std::optional<DateTime> ParseDateText(std::string_view text) {
  using namespace std::chrono;
  const auto y = Digits(text, 0, 4);
  const auto mo = Digits(text, 5, 2);
  const auto d = Digits(text, 8, 2);
  if (!y || !mo || !d || text[4] != '-' || text[7] != '-') return std::nullopt;
  const year_month_day date{year{*y}, month{static_cast<unsigned>(*mo)},
                            day{static_cast<unsigned>(*d)}};
  if (!date.ok()) return std::nullopt;
  int hour = 0, minute = 0, second = 0;
  if (text.size() > 10) {
    const auto h = Digits(text, 11, 2);
    const auto mi = Digits(text, 14, 2);
    if ((text[10] != ' ' && text[10] != 'T') || !h || !mi || text[13] != ':') return std::nullopt;
    hour = *h;
    minute = *mi;
    std::size_t end = 16;
    if (text.size() > 16) {
      const auto s = Digits(text, 17, 2);
      if (text[16] != ':' || !s) return std::nullopt;
      second = *s;
      end = 19;
      if (text.size() > 19 && text[19] == '.') {  // fractions of a second are dropped
        end = 20;
        while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
      }
    }
    if (end != text.size() || hour > 23 || minute > 59 || second > 59) return std::nullopt;
  }
  return local_days{date} + hours{hour} + minutes{minute} + seconds{second};
}

Variant ToVariant(SqlValue value, std::string_view declared_type) {
  if (const auto* integer = std::get_if<std::int64_t>(&value)) {
    return IntegerToVariant(*integer, declared_type);
  }
  if (const auto* real = std::get_if<double>(&value)) return Variant(*real);
  if (auto* text = std::get_if<std::string>(&value)) {
    if (IsDateType(declared_type)) {
      if (auto date = ParseDateText(*text)) return Variant(*date);
    }
    return Variant(std::move(*text));
  }
  if (auto* blob = std::get_if<SqlBlob>(&value)) return Variant(std::move(blob->bytes));
  return Variant::Null();
}

namespace {

[[noreturn]] void ThrowUnstorable(std::string_view column) {
  throw Error(error_number::kTypeMismatch,
              "Type mismatch: an object cannot be stored in column '" + std::string(column) + "'");
}

}  // namespace

void CheckStorable(const Variant& value, std::string_view column) {
  if (value.type() == VariantType::kObject) ThrowUnstorable(column);
}

SqlValue FromVariant(const Variant& value, std::string_view column) {
  switch (value.type()) {
    case VariantType::kEmpty:
    case VariantType::kNull:
      return SqlNull{};
    case VariantType::kBoolean:
      return std::int64_t{value.AsBoolean() ? 1 : 0};
    case VariantType::kInt16:
    case VariantType::kInt32:
      return std::int64_t{value.AsInt32()};
    case VariantType::kDouble:
      return value.AsDouble();
    case VariantType::kText:
      return value.AsText();
    case VariantType::kDate:
      return FormatDateText(value.AsDate());
    case VariantType::kObject:
      break;
  }
  ThrowUnstorable(column);
}

}  // namespace tqs::db::internal
