#include "common/conversions.h"

#include <fmt/format.h>
#include <langinfo.h>
#include <locale.h>

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "common/conversions_internal.h"
#include "common/error.h"

namespace tqs {

namespace {

using namespace std::chrono;

// ---------------------------------------------------------------------------------------------
// Helpers shared by parsing and formatting.

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

constexpr std::array<std::string_view, 12> kEnglishMonths = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
constexpr std::array<std::string_view, 7> kEnglishDays = {
    "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

// The calendar fields of a DateTime.
struct Fields {
  int year;
  unsigned month;    // 1-12
  unsigned day;      // 1-31
  unsigned weekday;  // 0 = Sunday
  int hour;
  int minute;
  int second;
};

Fields Split(DateTime value) {
  const auto date = floor<days>(value);
  const year_month_day ymd{date};
  const hh_mm_ss<seconds> time{value - date};
  return Fields{int(ymd.year()),
                unsigned(ymd.month()),
                unsigned(ymd.day()),
                weekday{date}.c_encoding(),
                int(time.hours().count()),
                int(time.minutes().count()),
                int(time.seconds().count())};
}

// The platform's zero date: a date value that holds only a time of day.
constexpr year_month_day kZeroDate{year{1899}, December, day{30}};

// ---------------------------------------------------------------------------------------------
// Locale information.

char SingleByteOr(const std::string& text, char fallback) {
  return text.size() == 1 ? text[0] : fallback;
}

// Reads the order of day, month and year and the separator from a strftime date format.
void ApplyDateFormat(std::string format, RegionalSettings& settings) {
  // Expand the composite conversions first.
  std::string expanded;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size()) {
      const char c = format[++i];
      if (c == 'D') {
        expanded += "%m/%d/%y";
      } else if (c == 'F') {
        expanded += "%Y-%m-%d";
      } else {
        expanded += '%';
        expanded += c;
      }
    } else {
      expanded += format[i];
    }
  }
  std::string order;
  char separator = 0;
  for (std::size_t i = 0; i < expanded.size(); ++i) {
    if (expanded[i] == '%' && i + 1 < expanded.size()) {
      char c = expanded[++i];
      if (c == 'E' || c == 'O' || c == '-' || c == '_' || c == '0') {  // modifiers, flags
        if (i + 1 >= expanded.size()) break;
        c = expanded[++i];
      }
      char field = 0;
      if (c == 'd' || c == 'e') field = 'D';
      if (c == 'm' || c == 'b' || c == 'B' || c == 'h') field = 'M';
      if (c == 'y' || c == 'Y') field = 'Y';
      if (field != 0 && order.find(field) == std::string::npos) order += field;
    } else if (!order.empty() && order.size() < 3 && separator == 0) {
      const char c = expanded[i];
      if (c == '/' || c == '-' || c == '.') separator = c;
    }
  }
  if (order == "MDY" || order == "DMY" || order == "YMD") {
    settings.date_order = order;
    settings.date_separator = separator != 0 ? separator : '/';
    settings.day_first_in_long_date = order != "MDY";
  }
}

// The locale named by the environment for one category, as setlocale(category, "") would
// choose it; empty for the C locale.
std::string LocaleNameFor(const char* category_variable) {
  for (const char* variable : {"LC_ALL", category_variable, "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') {
      const std::string_view name = value;
      if (name == "C" || name == "POSIX" || name.starts_with("C.")) return {};
      return std::string(name);
    }
  }
  return {};
}

enum class Category { kNumeric, kTime };

// Reads the nl_langinfo values of one category of the named locale; false when the name is
// empty (the C locale) or the locale is not installed.
bool ReadLocaleInfo(const std::string& name, Category category, internal::LocaleInfo& info) {
  if (name.empty()) return false;
  const int mask = category == Category::kNumeric ? LC_NUMERIC_MASK : LC_TIME_MASK;
  const locale_t locale = newlocale(mask, name.c_str(), static_cast<locale_t>(0));
  if (locale == static_cast<locale_t>(0)) return false;
  if (category == Category::kNumeric) {
    info.radix_char = nl_langinfo_l(RADIXCHAR, locale);
    info.thousands_separator = nl_langinfo_l(THOUSEP, locale);
  } else {
    info.date_format = nl_langinfo_l(D_FMT, locale);
    info.time_format = nl_langinfo_l(T_FMT, locale);
    info.am = nl_langinfo_l(AM_STR, locale);
    info.pm = nl_langinfo_l(PM_STR, locale);
    for (int i = 0; i < 12; ++i) info.month_names[i] = nl_langinfo_l(MON_1 + i, locale);
    for (int i = 0; i < 7; ++i) info.day_names[i] = nl_langinfo_l(DAY_1 + i, locale);
  }
  freelocale(locale);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Text to date.

struct Token {
  enum class Kind { kNumber, kWord, kColon, kSeparator };
  Kind kind;
  std::string_view text;
};

// Splits a date text into numbers, words, colons and separators; nullopt for any other
// character.
std::optional<std::vector<Token>> Tokenize(std::string_view text) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (IsBlank(c)) {
      ++i;
    } else if (IsDigit(c)) {
      std::size_t j = i;
      while (j < text.size() && IsDigit(text[j])) ++j;
      tokens.push_back({Token::Kind::kNumber, text.substr(i, j - i)});
      i = j;
    } else if (IsAsciiLetter(c) || static_cast<unsigned char>(c) >= 0x80) {
      // Letters, and the bytes of non-ASCII names of the locale.
      std::size_t j = i;
      while (j < text.size() &&
             (IsAsciiLetter(text[j]) || static_cast<unsigned char>(text[j]) >= 0x80))
        ++j;
      tokens.push_back({Token::Kind::kWord, text.substr(i, j - i)});
      i = j;
    } else if (c == ':') {
      tokens.push_back({Token::Kind::kColon, text.substr(i, 1)});
      ++i;
    } else if (c == '/' || c == '-' || c == '.' || c == ',') {
      tokens.push_back({Token::Kind::kSeparator, text.substr(i, 1)});
      ++i;
    } else {
      return std::nullopt;
    }
  }
  return tokens;
}

std::optional<int> NumberValue(std::string_view digits) {
  if (digits.empty() || digits.size() > 9) return std::nullopt;
  int value = 0;
  std::from_chars(digits.data(), digits.data() + digits.size(), value);
  return value;
}

// A year written with one or two digits falls into 1930-2029.
int ExpandYear(std::string_view digits, int value) {
  if (digits.size() <= 2) return value < 30 ? 2000 + value : 1900 + value;
  return value;
}

// Month number (1-12) of a month name: the full English name or its first three letters, or
// the locale's full name.
std::optional<unsigned> MonthOfName(std::string_view word, const RegionalSettings& settings) {
  for (unsigned i = 0; i < 12; ++i) {
    if (EqualsIgnoreCase(word, kEnglishMonths[i]) ||
        EqualsIgnoreCase(word, kEnglishMonths[i].substr(0, 3)) ||
        EqualsIgnoreCase(word, settings.month_names[i]))
      return i + 1;
  }
  return std::nullopt;
}

bool IsDayName(std::string_view word, const RegionalSettings& settings) {
  for (unsigned i = 0; i < 7; ++i) {
    if (EqualsIgnoreCase(word, kEnglishDays[i]) ||
        EqualsIgnoreCase(word, kEnglishDays[i].substr(0, 3)) ||
        EqualsIgnoreCase(word, settings.day_names[i]))
      return true;
  }
  return false;
}

std::optional<year_month_day> MakeDate(int y, int m, int d) {
  if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1 || d > 31) return std::nullopt;
  const year_month_day date{year{y}, month{unsigned(m)}, day{unsigned(d)}};
  if (!date.ok()) return std::nullopt;
  return date;
}

// A date written with a month name: "December 7, 2026", "7 Dec 2026", "Monday, December 07,
// 2026", "December 2026" (the first of the month).
std::optional<year_month_day> ParseNamedDate(const std::vector<Token>& tokens,
                                             const RegionalSettings& settings) {
  std::optional<unsigned> month_number;
  std::vector<std::string_view> numbers;
  for (const Token& token : tokens) {
    switch (token.kind) {
      case Token::Kind::kWord: {
        if (IsDayName(token.text, settings)) break;
        const auto m = MonthOfName(token.text, settings);
        if (!m || month_number) return std::nullopt;
        month_number = m;
        break;
      }
      case Token::Kind::kNumber:
        numbers.push_back(token.text);
        break;
      case Token::Kind::kSeparator:
        break;
      case Token::Kind::kColon:
        return std::nullopt;
    }
  }
  if (!month_number) return std::nullopt;
  if (numbers.size() == 1 && numbers[0].size() >= 3) {
    return MakeDate(*NumberValue(numbers[0]), int(*month_number), 1);
  }
  if (numbers.size() != 2) return std::nullopt;
  auto day_text = numbers[0];
  auto year_text = numbers[1];
  if (day_text.size() >= 3 || NumberValue(day_text).value_or(0) > 31)
    std::swap(day_text, year_text);
  const auto d = NumberValue(day_text);
  const auto y = NumberValue(year_text);
  if (!d || !y) return std::nullopt;
  return MakeDate(ExpandYear(year_text, *y), int(*month_number), *d);
}

// A numeric date: three numbers in the locale's order (a leading four-digit year always reads
// as year-month-day), or month and four-digit year.
std::optional<year_month_day> ParseNumericDate(const std::vector<Token>& tokens,
                                               const RegionalSettings& settings) {
  std::vector<std::string_view> fields;
  bool expect_number = true;
  for (const Token& token : tokens) {
    if (token.kind == Token::Kind::kNumber) {
      if (!expect_number) return std::nullopt;
      fields.push_back(token.text);
      expect_number = false;
    } else if (token.kind == Token::Kind::kSeparator && token.text != ",") {
      if (expect_number) return std::nullopt;
      expect_number = true;
    } else {
      return std::nullopt;
    }
  }
  if (expect_number) return std::nullopt;  // trailing separator
  for (auto field : fields) {
    if (field.size() > 4) return std::nullopt;
  }
  if (fields.size() == 2) {
    // Month and year ("12/2026" or "2026-12"): the first of the month.
    auto month_text = fields[0];
    auto year_text = fields[1];
    if (month_text.size() == 4) std::swap(month_text, year_text);
    if (year_text.size() != 4) return std::nullopt;
    return MakeDate(*NumberValue(year_text), *NumberValue(month_text), 1);
  }
  if (fields.size() != 3) return std::nullopt;
  std::string_view order = settings.date_order;
  if (fields[0].size() >= 3) order = "YMD";
  std::string_view y_text, m_text, d_text;
  for (std::size_t i = 0; i < 3; ++i) {
    switch (order[i]) {
      case 'Y':
        y_text = fields[i];
        break;
      case 'M':
        m_text = fields[i];
        break;
      default:
        d_text = fields[i];
    }
  }
  const int y = ExpandYear(y_text, *NumberValue(y_text));
  int m = *NumberValue(m_text);
  int d = *NumberValue(d_text);
  // As the platform does, a month above 12 that fits as a day swaps day and month
  // ("13/12/2026" under month-first settings is the 13th of December).
  if (order != "YMD" && m > 12 && d <= 12) std::swap(m, d);
  return MakeDate(y, m, d);
}

bool IsDesignator(std::string_view word, std::string_view designator, std::string_view english) {
  return EqualsIgnoreCase(word, english) || EqualsIgnoreCase(word, english.substr(0, 1)) ||
         (!designator.empty() && EqualsIgnoreCase(word, designator));
}

// "hh:mm[:ss] [AM|PM]".
std::optional<seconds> ParseTime(const std::vector<Token>& tokens,
                                 const RegionalSettings& settings) {
  std::vector<int> parts;
  std::size_t i = 0;
  while (i < tokens.size()) {
    if (tokens[i].kind != Token::Kind::kNumber || tokens[i].text.size() > 2) return std::nullopt;
    parts.push_back(*NumberValue(tokens[i].text));
    ++i;
    if (i < tokens.size() && tokens[i].kind == Token::Kind::kColon) {
      ++i;
      if (i == tokens.size()) return std::nullopt;
    } else {
      break;
    }
  }
  if (parts.size() < 2 || parts.size() > 3) return std::nullopt;
  int hour = parts[0];
  const int minute = parts[1];
  const int second = parts.size() == 3 ? parts[2] : 0;
  if (i < tokens.size()) {
    if (i + 1 != tokens.size() || tokens[i].kind != Token::Kind::kWord) return std::nullopt;
    const bool am = IsDesignator(tokens[i].text, settings.am_designator, "AM");
    const bool pm = !am && IsDesignator(tokens[i].text, settings.pm_designator, "PM");
    if (!am && !pm) return std::nullopt;
    if (hour > 12) return std::nullopt;
    if (hour == 12) hour = 0;
    if (pm) hour += 12;
  }
  if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
  return hours{hour} + minutes{minute} + seconds{second};
}

// ---------------------------------------------------------------------------------------------
// Date to text.

std::string ShortDate(const Fields& f, const RegionalSettings& settings) {
  const char sep = settings.date_separator;
  if (settings.date_order == "DMY")
    return fmt::format("{:02}{}{:02}{}{}", f.day, sep, f.month, sep, f.year);
  if (settings.date_order == "YMD")
    return fmt::format("{}{}{:02}{}{:02}", f.year, sep, f.month, sep, f.day);
  return fmt::format("{}{}{}{}{}", f.month, sep, f.day, sep, f.year);
}

const std::string& Designator(const Fields& f, const RegionalSettings& settings) {
  return f.hour < 12 ? settings.am_designator : settings.pm_designator;
}

std::string Digits(int value, bool two_digits) {
  return two_digits ? fmt::format("{:02}", value) : fmt::format("{}", value);
}

int TwelveHour(int hour) { return hour % 12 == 0 ? 12 : hour % 12; }

std::string LongTime(const Fields& f, const RegionalSettings& settings) {
  if (!settings.twelve_hour_clock)
    return fmt::format("{:02}:{:02}:{:02}", f.hour, f.minute, f.second);
  return fmt::format("{}:{:02}:{:02} {}", TwelveHour(f.hour), f.minute, f.second,
                     Designator(f, settings));
}

// ---------------------------------------------------------------------------------------------
// Rounding.

double RoundHalfToEven(double value) {
  if (std::fabs(value - std::trunc(value)) == 0.5) return 2.0 * std::round(value / 2.0);
  return std::round(value);
}

template <typename Int>
Int RoundToInteger(double value) {
  if (std::isnan(value)) throw OverflowError();
  const double rounded = RoundHalfToEven(value);
  if (rounded < static_cast<double>(std::numeric_limits<Int>::min()) ||
      rounded > static_cast<double>(std::numeric_limits<Int>::max()))
    throw OverflowError();
  return static_cast<Int>(rounded);
}

}  // namespace

// -----------------------------------------------------------------------------------------------

namespace internal {

RegionalSettings SettingsFromLocaleInfo(const LocaleInfo& info) {
  RegionalSettings settings;
  if (!info.radix_char.empty()) {
    settings.decimal_separator = SingleByteOr(info.radix_char, '.');
    // Grouping: the locale's single-byte separator; a multi-byte one is a kind of blank (no-break
    // space); none at all gets the character the decimal separator does not use.
    const char other = settings.decimal_separator == ',' ? '.' : ',';
    if (info.thousands_separator.empty()) {
      settings.grouping_separator = other;
    } else {
      settings.grouping_separator = SingleByteOr(info.thousands_separator, ' ');
    }
    if (settings.grouping_separator == settings.decimal_separator)
      settings.grouping_separator = other;
  }
  if (!info.date_format.empty()) ApplyDateFormat(info.date_format, settings);
  if (!info.time_format.empty()) {
    const std::string& t = info.time_format;
    const bool twelve = t.find("%I") != std::string::npos || t.find("%l") != std::string::npos ||
                        t.find("%r") != std::string::npos;
    settings.twelve_hour_clock = twelve && !info.am.empty();
    if (!info.am.empty()) settings.am_designator = info.am;
    if (!info.pm.empty()) settings.pm_designator = info.pm;
  }
  for (std::size_t i = 0; i < 12; ++i) {
    if (!info.month_names[i].empty()) settings.month_names[i] = info.month_names[i];
  }
  for (std::size_t i = 0; i < 7; ++i) {
    if (!info.day_names[i].empty()) settings.day_names[i] = info.day_names[i];
  }
  return settings;
}

RegionalSettings SettingsFromEnvironment() {
  LocaleInfo info;
  const bool has_numeric = ReadLocaleInfo(LocaleNameFor("LC_NUMERIC"), Category::kNumeric, info);
  const bool has_time = ReadLocaleInfo(LocaleNameFor("LC_TIME"), Category::kTime, info);
  if (!has_numeric && !has_time) return RegionalSettings::EnglishUS();
  return SettingsFromLocaleInfo(info);
}

}  // namespace internal

RegionalSettings RegionalSettings::EnglishUS() { return RegionalSettings{}; }

const RegionalSettings& RegionalSettings::Current() {
  static const RegionalSettings settings = internal::SettingsFromEnvironment();
  return settings;
}

std::optional<double> ParseNumber(std::string_view text, const RegionalSettings& settings) {
  text = TrimBlanks(text);
  std::string normalized;  // "[-]digits[.digits][e[-]digits]" for from_chars
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') normalized += '-';
    ++i;
  }
  bool seen_digit = false;
  bool seen_decimal = false;
  int integer_digits = 0;  // significant digits before the decimal separator
  // Grouping separators stand only where they belong: after one to three digits, then after
  // every three ("1,500,000"); anything else ("1,5", "12,50") is no number, not 15 or 1250.
  bool grouped = false;
  int group_digits = 0;  // digits of the integer part since its start or the last separator
  const auto groups_complete = [&] { return !grouped || group_digits == 3; };
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (IsDigit(c)) {
      normalized += c;
      seen_digit = true;
      if (!seen_decimal) {
        ++group_digits;
        if (integer_digits > 0 || c != '0') ++integer_digits;
      }
    } else if (c == settings.decimal_separator && !seen_decimal) {
      if (!groups_complete()) return std::nullopt;
      normalized += '.';
      seen_decimal = true;
    } else if (c == settings.grouping_separator && !seen_decimal && group_digits > 0 &&
               (grouped ? group_digits == 3 : group_digits <= 3)) {
      grouped = true;
      group_digits = 0;
    } else {
      break;
    }
  }
  if (!seen_digit || !groups_complete()) return std::nullopt;
  int exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    std::string exponent_text;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
      if (text[i] == '-') exponent_text += '-';
      ++i;
    }
    const std::size_t first_digit = i;
    while (i < text.size() && IsDigit(text[i])) exponent_text += text[i++];
    if (i == first_digit) return std::nullopt;
    normalized += 'e';
    normalized += exponent_text;
    exponent = std::atoi(exponent_text.c_str());
  }
  if (i != text.size()) return std::nullopt;

  double value = 0;
  const auto result = std::from_chars(normalized.data(), normalized.data() + normalized.size(),
                                      value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    // Too small to represent is zero; too large is no number.
    if (integer_digits + exponent <= 0) return normalized[0] == '-' ? -0.0 : 0.0;
    return std::nullopt;
  }
  if (result.ec != std::errc() || result.ptr != normalized.data() + normalized.size())
    return std::nullopt;
  return value;
}

std::optional<DateTime> ParseDate(std::string_view text, const RegionalSettings& settings) {
  const auto tokenized = Tokenize(TrimBlanks(text));
  if (!tokenized || tokenized->empty()) return std::nullopt;
  const std::vector<Token>& tokens = *tokenized;

  // The time starts with the number in front of the first colon.
  std::size_t time_start = tokens.size();
  for (std::size_t i = 1; i < tokens.size(); ++i) {
    if (tokens[i].kind == Token::Kind::kColon) {
      time_start = i - 1;
      break;
    }
  }
  if (tokens[0].kind == Token::Kind::kColon) return std::nullopt;
  std::vector<Token> date_tokens(tokens.begin(), tokens.begin() + time_start);
  // ISO date and time: "2026-12-07T12:49:05".
  if (!date_tokens.empty() && time_start < tokens.size() && date_tokens.back().text == "T")
    date_tokens.pop_back();
  const std::vector<Token> time_tokens(tokens.begin() + time_start, tokens.end());

  seconds time_of_day{0};
  if (!time_tokens.empty()) {
    const auto time = ParseTime(time_tokens, settings);
    if (!time) return std::nullopt;
    time_of_day = *time;
  }
  std::optional<year_month_day> date;
  if (date_tokens.empty()) {
    date = kZeroDate;  // a time alone
  } else {
    bool named = false;
    for (const Token& token : date_tokens) named = named || token.kind == Token::Kind::kWord;
    date = named ? ParseNamedDate(date_tokens, settings) : ParseNumericDate(date_tokens, settings);
  }
  if (!date) return std::nullopt;
  return local_days{*date} + time_of_day;
}

std::string FormatLongDate(DateTime value, const RegionalSettings& settings) {
  const Fields f = Split(value);
  const std::string& day_name = settings.day_names[f.weekday];
  const std::string& month_name = settings.month_names[f.month - 1];
  if (settings.day_first_in_long_date)
    return fmt::format("{}, {:02} {} {}", day_name, f.day, month_name, f.year);
  return fmt::format("{}, {} {:02}, {}", day_name, month_name, f.day, f.year);
}

std::string FormatMediumTime(DateTime value, const RegionalSettings& settings) {
  const Fields f = Split(value);
  if (!settings.twelve_hour_clock) return fmt::format("{:02}:{:02}", f.hour, f.minute);
  return fmt::format("{:02}:{:02} {}", TwelveHour(f.hour), f.minute, Designator(f, settings));
}

std::string FormatGeneralDate(DateTime value, const RegionalSettings& settings) {
  const Fields f = Split(value);
  const bool midnight = f.hour == 0 && f.minute == 0 && f.second == 0;
  const bool zero_date = year_month_day{floor<days>(value)} == kZeroDate;
  if (zero_date) return LongTime(f, settings);
  if (midnight) return ShortDate(f, settings);
  return ShortDate(f, settings) + " " + LongTime(f, settings);
}

std::string FormatDatePattern(DateTime value, std::string_view pattern) {
  const Fields f = Split(value);
  std::string out;
  std::size_t i = 0;
  while (i < pattern.size()) {
    const char c = AsciiUpper(pattern[i]);
    std::size_t run = 1;
    while (i + run < pattern.size() && AsciiUpper(pattern[i + run]) == c) ++run;
    switch (c) {
      case 'Y':
        out += run >= 3 ? fmt::format("{:04}", f.year) : fmt::format("{:02}", f.year % 100);
        break;
      case 'M':
        if (run >= 4) {
          out += kEnglishMonths[f.month - 1];
        } else if (run == 3) {
          out += kEnglishMonths[f.month - 1].substr(0, 3);
        } else {
          out += Digits(f.month, run == 2);
        }
        break;
      case 'D':
        if (run >= 4) {
          out += kEnglishDays[f.weekday];
        } else if (run == 3) {
          out += kEnglishDays[f.weekday].substr(0, 3);
        } else {
          out += Digits(f.day, run == 2);
        }
        break;
      case 'H':
        out += Digits(f.hour, run >= 2);
        break;
      case 'N':
        out += Digits(f.minute, run >= 2);
        break;
      case 'S':
        out += Digits(f.second, run >= 2);
        break;
      default:
        out.append(pattern.substr(i, run));
    }
    i += run;
  }
  return out;
}

std::string FormatNumber(double value, const RegionalSettings& settings) {
  if (value == 0) return "0";
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  char buffer[64];
  // Fifteen significant digits, shortest form: "5", "-3", "0.1", "1E-05", "1E+15".
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  std::string out(buffer, result.ptr);
  for (char& c : out) {
    if (c == '.') c = settings.decimal_separator;
    if (c == 'e') c = 'E';
  }
  return out;
}

std::int16_t ToInt16(double value) { return RoundToInteger<std::int16_t>(value); }

std::int32_t ToInt32(double value) { return RoundToInteger<std::int32_t>(value); }

}  // namespace tqs
