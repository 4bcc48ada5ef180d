// Internal to the conversions: how the regional settings are derived from the C library's
// locale information. Separate from the locale look-up so it can be exercised with the values
// of locales that are not installed on the machine.
#ifndef TQS_COMMON_CONVERSIONS_INTERNAL_H_
#define TQS_COMMON_CONVERSIONS_INTERNAL_H_

#include <array>
#include <string>

#include "common/conversions.h"

namespace tqs::internal {

// The nl_langinfo values the settings are built from. Empty names keep the English ones.
struct LocaleInfo {
  std::string radix_char;                   // RADIXCHAR
  std::string thousands_separator;          // THOUSEP
  std::string date_format;                  // D_FMT, e.g. "%d.%m.%Y"
  std::string time_format;                  // T_FMT, e.g. "%r" (12-hour) or "%T" (24-hour)
  std::string am;                           // AM_STR
  std::string pm;                           // PM_STR
  std::array<std::string, 12> month_names;  // MON_1 ... MON_12
  std::array<std::string, 7> day_names;     // DAY_1 (Sunday) ... DAY_7
};

RegionalSettings SettingsFromLocaleInfo(const LocaleInfo& info);

// The settings of the locales that the environment names now (RegionalSettings::Current()
// keeps the first answer for the life of the process).
RegionalSettings SettingsFromEnvironment();

}  // namespace tqs::internal

#endif  // TQS_COMMON_CONVERSIONS_INTERNAL_H_
