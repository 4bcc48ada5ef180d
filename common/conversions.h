// The run-time conversions the programs rely on, with the rules of the platform they were
// written for: locale-aware text to number and text to date, the named date formats ("Long
// Date", "Medium Time", the general date format), number to text, and rounding into 16- and
// 32-bit integers with overflow errors. The locale is a RegionalSettings value: taken from the
// process locale (LC_NUMERIC / LC_TIME) when one is set, US English otherwise, so an
// installation formats and parses as its operators expect.
//
// All functions are pure and thread-safe.
#ifndef TQS_COMMON_CONVERSIONS_H_
#define TQS_COMMON_CONVERSIONS_H_

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/date_time.h"

namespace tqs {

// The regional settings that the conversions follow.
struct RegionalSettings {
  char decimal_separator = '.';
  char grouping_separator = ',';
  // Order of day, month and year in numeric dates: "MDY", "DMY" or "YMD".
  std::string date_order = "MDY";
  char date_separator = '/';
  bool day_first_in_long_date = false;  // "Monday, 07 December 2026" vs "Monday, December 07, 2026"
  bool twelve_hour_clock = true;
  std::string am_designator = "AM";
  std::string pm_designator = "PM";
  // Names used by the long date and accepted by ParseDate (besides the English names).
  // month_names[0] is January, day_names[0] is Sunday.
  std::array<std::string, 12> month_names = {"January",   "February", "March",    "April",
                                             "May",       "June",     "July",     "August",
                                             "September", "October",  "November", "December"};
  std::array<std::string, 7> day_names = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};

  // US English: the defaults above.
  static RegionalSettings EnglishUS();
  // The settings of the process locale named by the environment (LC_ALL, then LC_NUMERIC /
  // LC_TIME, then LANG), or US English when that locale is C/POSIX, unset or not installed.
  // Computed once per process.
  static const RegionalSettings& Current();
};

// Text to number: optional blanks, sign, digits, one decimal separator, optional exponent.
// Grouping separators may split the integer part into a first group of one to three digits
// and further groups of exactly three ("1,500,000.25"); placed anywhere else ("1,5", "12,50",
// "1,,500") they make the text non-numeric. Empty or non-numeric text gives std::nullopt.
std::optional<double> ParseNumber(std::string_view text,
                                  const RegionalSettings& settings = RegionalSettings::Current());

// Text to date and time: numeric dates in the locale's order (also ISO yyyy-mm-dd), month
// names, an optional time (hh:mm[:ss] [AM|PM]). Invalid text gives std::nullopt.
std::optional<DateTime> ParseDate(std::string_view text,
                                  const RegionalSettings& settings = RegionalSettings::Current());

// Named formats.
std::string FormatLongDate(DateTime value,
                           const RegionalSettings& settings = RegionalSettings::Current());
std::string FormatMediumTime(DateTime value,
                             const RegionalSettings& settings = RegionalSettings::Current());
// General date: date and long time; the date alone at midnight.
std::string FormatGeneralDate(DateTime value,
                              const RegionalSettings& settings = RegionalSettings::Current());
// A picture format of day/month/year digits: "yyyymmdd", "ddmmyyyy", "yyyy-mm-dd hh:nn:ss".
// Letters are read case-insensitively: yyyy / yy year; mm / m month (always the month, even
// after hh), mmm / mmmm English month name; dd / d day, ddd / dddd English weekday name;
// hh / h hours (24-hour); nn / n minutes; ss / s seconds. Everything else is copied.
std::string FormatDatePattern(DateTime value, std::string_view pattern);

// Number to text as the platform writes it: integers without a decimal part, up to 15
// significant digits, the locale's decimal separator.
std::string FormatNumber(double value,
                         const RegionalSettings& settings = RegionalSettings::Current());

// Rounding into integers: half to even; outside the range raises tqs::Error 6 (overflow).
std::int16_t ToInt16(double value);
std::int32_t ToInt32(double value);

}  // namespace tqs

#endif  // TQS_COMMON_CONVERSIONS_H_
