#include "platform/automation/variant.h"

#include <fmt/format.h>

#include <cctype>
#include <chrono>
#include <cmath>
#include <limits>
#include <string_view>
#include <type_traits>

#include "common/conversions.h"
#include "common/error.h"
#include "platform/automation/object.h"

namespace tqs::automation {

namespace {

using std::chrono::days;
using std::chrono::local_days;
using std::chrono::seconds;

// Date values count days from this day; the fraction of a day is the time of day.
constexpr local_days kDateEpoch = local_days{std::chrono::year{1899} / 12 / 30};
constexpr std::int64_t kSecondsPerDay = 86400;
// The range of date values: 0100-01-01 to 9999-12-31 23:59:59.
constexpr double kMinDateSerial = -657434.0;
constexpr double kMaxDateSerial = 2958465.99999;

// A run-time error raised by a conversion travels as Error; the Try* functions turn it into
// std::nullopt so both families share one set of rules.
template <typename T, typename F>
std::optional<T> TryConvert(F&& convert) {
  try {
    return convert();
  } catch (const Error&) {
    return std::nullopt;
  }
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

std::string_view TrimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

double ParseNumberOrThrow(const std::string& text) {
  if (auto number = ParseNumber(text)) return *number;
  throw TypeMismatchError();
}

// Days since the epoch, the time of day as the fraction. Before the epoch the fraction still
// counts forward from midnight: -1.25 is the day before the epoch at 06:00.
double DateToSerial(DateTime value) {
  const local_days day = std::chrono::floor<days>(value);
  const double whole = static_cast<double>((day - kDateEpoch).count());
  const double fraction =
      static_cast<double>((value - day).count()) / static_cast<double>(kSecondsPerDay);
  return whole < 0 ? whole - fraction : whole + fraction;
}

DateTime SerialToDate(double serial) {
  if (!std::isfinite(serial) || serial < kMinDateSerial || serial > kMaxDateSerial) {
    throw OverflowError();
  }
  const double whole = std::trunc(serial);
  const double fraction = std::fabs(serial - whole);
  auto second_of_day =
      static_cast<std::int64_t>(std::nearbyint(fraction * static_cast<double>(kSecondsPerDay)));
  std::int64_t day = static_cast<std::int64_t>(whole);
  if (second_of_day >= kSecondsPerDay) {  // rounding reached the next midnight
    second_of_day -= kSecondsPerDay;
    day += serial < 0 ? -1 : 1;
  }
  return DateTime(kDateEpoch + days(day)) + seconds(second_of_day);
}

std::string QuoteForDebug(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += c;
    }
  }
  out += '"';
  return out;
}

std::string DebugDate(DateTime value) {
  const local_days day = std::chrono::floor<days>(value);
  const std::chrono::year_month_day ymd{day};
  const std::chrono::hh_mm_ss<seconds> time{value - day};
  return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}", static_cast<int>(ymd.year()),
                     static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                     time.hours().count(), time.minutes().count(), time.seconds().count());
}

}  // namespace

bool Variant::IsNumeric() const {
  switch (type()) {
    case VariantType::kBoolean:
    case VariantType::kInt16:
    case VariantType::kInt32:
    case VariantType::kDouble:
      return true;
    case VariantType::kText:
      return ParseNumber(std::get<std::string>(value_)).has_value();
    default:
      return false;
  }
}

bool Variant::AsBoolean() const {
  switch (type()) {
    case VariantType::kEmpty:
      return false;
    case VariantType::kNull:
      throw InvalidUseOfNullError();
    case VariantType::kBoolean:
      return std::get<bool>(value_);
    case VariantType::kText: {
      const std::string& text = std::get<std::string>(value_);
      const std::string_view trimmed = TrimBlanks(text);
      if (EqualsIgnoreCase(trimmed, "True")) return true;
      if (EqualsIgnoreCase(trimmed, "False")) return false;
      return ParseNumberOrThrow(text) != 0.0;
    }
    case VariantType::kObject:
      throw TypeMismatchError();
    default:
      return AsDouble() != 0.0;
  }
}

double Variant::AsDouble() const {
  switch (type()) {
    case VariantType::kEmpty:
      return 0.0;
    case VariantType::kNull:
      throw InvalidUseOfNullError();
    case VariantType::kBoolean:
      return std::get<bool>(value_) ? -1.0 : 0.0;
    case VariantType::kInt16:
      return std::get<std::int16_t>(value_);
    case VariantType::kInt32:
      return std::get<std::int32_t>(value_);
    case VariantType::kDouble:
      return std::get<double>(value_);
    case VariantType::kText:
      return ParseNumberOrThrow(std::get<std::string>(value_));
    case VariantType::kDate:
      return DateToSerial(std::get<DateTime>(value_));
    case VariantType::kObject:
      throw TypeMismatchError();
  }
  throw TypeMismatchError();
}

std::int16_t Variant::AsInt16() const {
  switch (type()) {
    case VariantType::kInt16:
      return std::get<std::int16_t>(value_);
    case VariantType::kInt32: {
      const std::int32_t value = std::get<std::int32_t>(value_);
      if (value < std::numeric_limits<std::int16_t>::min() ||
          value > std::numeric_limits<std::int16_t>::max()) {
        throw OverflowError();
      }
      return static_cast<std::int16_t>(value);
    }
    default:
      return ToInt16(AsDouble());
  }
}

std::int32_t Variant::AsInt32() const {
  switch (type()) {
    case VariantType::kInt16:
      return std::get<std::int16_t>(value_);
    case VariantType::kInt32:
      return std::get<std::int32_t>(value_);
    default:
      return ToInt32(AsDouble());
  }
}

std::string Variant::AsText() const {
  switch (type()) {
    case VariantType::kEmpty:
      return {};
    case VariantType::kNull:
      throw InvalidUseOfNullError();
    case VariantType::kBoolean:
      return std::get<bool>(value_) ? "True" : "False";
    case VariantType::kInt16:
    case VariantType::kInt32:
    case VariantType::kDouble:
      return FormatNumber(AsDouble());
    case VariantType::kText:
      return std::get<std::string>(value_);
    case VariantType::kDate:
      return FormatGeneralDate(std::get<DateTime>(value_));
    case VariantType::kObject:
      throw TypeMismatchError();
  }
  throw TypeMismatchError();
}

DateTime Variant::AsDate() const {
  switch (type()) {
    case VariantType::kNull:
      throw InvalidUseOfNullError();
    case VariantType::kDate:
      return std::get<DateTime>(value_);
    case VariantType::kText:
      if (auto date = ParseDate(std::get<std::string>(value_))) return *date;
      throw TypeMismatchError();
    case VariantType::kObject:
      throw TypeMismatchError();
    default:  // empty is day zero; numbers count days
      return SerialToDate(AsDouble());
  }
}

ObjectPtr Variant::TryObject() const {
  return type() == VariantType::kObject ? std::get<ObjectPtr>(value_) : nullptr;
}

ObjectPtr Variant::AsObject() const {
  switch (type()) {
    case VariantType::kEmpty:
    case VariantType::kNull:
      throw ObjectNotSetError();
    case VariantType::kObject: {
      const ObjectPtr& object = std::get<ObjectPtr>(value_);
      if (!object) throw ObjectNotSetError();  // holds "Nothing"
      return object;
    }
    default:
      throw TypeMismatchError();
  }
}

std::optional<std::int16_t> Variant::TryInt16() const {
  return TryConvert<std::int16_t>([this] { return AsInt16(); });
}

std::optional<std::int32_t> Variant::TryInt32() const {
  return TryConvert<std::int32_t>([this] { return AsInt32(); });
}

std::optional<double> Variant::TryDouble() const {
  return TryConvert<double>([this] { return AsDouble(); });
}

std::optional<std::string> Variant::TryText() const {
  return TryConvert<std::string>([this] { return AsText(); });
}

std::optional<DateTime> Variant::TryDate() const {
  return TryConvert<DateTime>([this] { return AsDate(); });
}

std::string Variant::ToTextOrEmpty() const {
  if (IsNull()) return {};
  return AsText();
}

bool Variant::operator==(const Variant& other) const { return value_ == other.value_; }

std::string Variant::DebugString() const {
  switch (type()) {
    case VariantType::kEmpty:
      return "Empty";
    case VariantType::kNull:
      return "Null";
    case VariantType::kBoolean:
      return std::get<bool>(value_) ? "Boolean(True)" : "Boolean(False)";
    case VariantType::kInt16:
      return fmt::format("Int16({})", std::get<std::int16_t>(value_));
    case VariantType::kInt32:
      return fmt::format("Int32({})", std::get<std::int32_t>(value_));
    case VariantType::kDouble:
      return fmt::format("Double({})", std::get<double>(value_));
    case VariantType::kText:
      return "Text(" + QuoteForDebug(std::get<std::string>(value_)) + ")";
    case VariantType::kDate:
      return "Date(" + DebugDate(std::get<DateTime>(value_)) + ")";
    case VariantType::kObject: {
      const ObjectPtr& object = std::get<ObjectPtr>(value_);
      return object ? "Object(" + object->ProgId() + ")" : "Object(Nothing)";
    }
  }
  return "?";
}

}  // namespace tqs::automation
