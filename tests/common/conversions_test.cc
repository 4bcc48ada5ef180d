#include "common/conversions.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <limits>

#include "common/conversions_internal.h"
#include "common/error.h"

namespace tqs {
namespace {

using namespace std::chrono;

DateTime At(int y, unsigned m, unsigned d, int hh = 0, int mm = 0, int ss = 0) {
  return local_days{year{y} / month{m} / day{d}} + hours{hh} + minutes{mm} + seconds{ss};
}

RegionalSettings CommaDecimal() {
  RegionalSettings settings;
  settings.decimal_separator = ',';
  settings.grouping_separator = '.';
  settings.date_order = "DMY";
  settings.date_separator = '.';
  settings.day_first_in_long_date = true;
  settings.twelve_hour_clock = false;
  return settings;
}

struct NumberCase {
  const char* text;
  std::optional<double> us;
  std::optional<double> comma;
};

TEST(ParseNumberTest, FollowsTheSeparatorsOfTheSettings) {
  const NumberCase cases[] = {
      {"5", 5, 5},
      {" -3 ", -3, -3},
      {"+7", 7, 7},
      {"1,234.5", 1234.5, std::nullopt},
      {"1.234,5", std::nullopt, 1234.5},
      {"1,5", std::nullopt, 1.5},  // misplaced grouping in one locale, decimal in the other
      {"1.5", 1.5, std::nullopt},
      {"1,234,567", 1234567, std::nullopt},
      {".5", 0.5, std::nullopt},
      {"2.", 2, std::nullopt},
      {"1e3", 1000, 1000},
      {"1.5E-2", 0.015, std::nullopt},
      {"-2.5e+1", -25, std::nullopt},
      {"0", 0, 0},
      {"", std::nullopt, std::nullopt},
      {"   ", std::nullopt, std::nullopt},
      {"12abc", std::nullopt, std::nullopt},
      {"abc", std::nullopt, std::nullopt},
      {"1.2.3", std::nullopt, std::nullopt},
      {"1,2,3", std::nullopt, std::nullopt},
      {",5", std::nullopt, 0.5},
      {"1,", std::nullopt, 1},
      {"1,,2", std::nullopt, std::nullopt},
      {"-", std::nullopt, std::nullopt},
      {"e5", std::nullopt, std::nullopt},
      {"1e", std::nullopt, std::nullopt},
      {"1 2", std::nullopt, std::nullopt},
      {"1e999", std::nullopt, std::nullopt},
      // Grouping separators only between groups of three digits of the integer part.
      {"1,500", 1500, 1.5},
      {"1,500,000.25", 1500000.25, std::nullopt},
      {"1.500.000,25", std::nullopt, 1500000.25},
      {"-1,234", -1234, -1.234},
      {"0,500", 500, 0.5},
      {"999,999", 999999, 999.999},
      {"1,234e2", 123400, 123.4},
      {"12,50", std::nullopt, 12.5},
      {"1,50,0", std::nullopt, std::nullopt},
      {"1,5000", std::nullopt, 1.5},
      {"1234,567", std::nullopt, 1234.567},
      {"1,234,56", std::nullopt, std::nullopt},
      {"1,234.", 1234, std::nullopt},
      {"1,23.5", std::nullopt, std::nullopt},
      {"1,,500", std::nullopt, std::nullopt},
      {",500", std::nullopt, 0.5},
      {"1.5e3", 1500, std::nullopt},
  };
  const RegionalSettings us = RegionalSettings::EnglishUS();
  const RegionalSettings comma = CommaDecimal();
  for (const NumberCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseNumber(c.text, us), c.us);
    EXPECT_EQ(ParseNumber(c.text, comma), c.comma);
  }
}

TEST(FormatNumberTest, WritesUpToFifteenDigitsWithLocaleSeparator) {
  struct Case {
    double value;
    const char* us;
    const char* comma;
  };
  const Case cases[] = {
      {5, "5", "5"},
      {-3, "-3", "-3"},
      {0, "0", "0"},
      {2.5, "2.5", "2,5"},
      {1234.5, "1234.5", "1234,5"},
      {0.1, "0.1", "0,1"},
      {1.0 / 3, "0.333333333333333", "0,333333333333333"},
      {123456789012345, "123456789012345", "123456789012345"},
      {1e15, "1E+15", "1E+15"},
      {0.0001, "0.0001", "0,0001"},
      {0.00001, "1E-05", "1E-05"},
  };
  const RegionalSettings us = RegionalSettings::EnglishUS();
  const RegionalSettings comma = CommaDecimal();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.us);
    EXPECT_EQ(FormatNumber(c.value, us), c.us);
    EXPECT_EQ(FormatNumber(c.value, comma), c.comma);
    // What is written reads back as the same number.
    EXPECT_EQ(ParseNumber(FormatNumber(c.value, comma), comma),
              std::stod(FormatNumber(c.value, us)));
  }
}

TEST(DateFormatTest, NamedFormatsUnderUsEnglish) {
  const RegionalSettings us = RegionalSettings::EnglishUS();
  const DateTime stamp = At(2026, 12, 7, 12, 49, 5);
  EXPECT_EQ(FormatLongDate(stamp, us) + " at " + FormatMediumTime(stamp, us),
            "Monday, December 07, 2026 at 12:49 PM");
  EXPECT_EQ(FormatLongDate(At(2027, 1, 3), us), "Sunday, January 03, 2027");
  EXPECT_EQ(FormatMediumTime(At(2026, 12, 7, 0, 5), us), "12:05 AM");
  EXPECT_EQ(FormatMediumTime(At(2026, 12, 7, 9, 5), us), "09:05 AM");
  EXPECT_EQ(FormatMediumTime(At(2026, 12, 7, 23, 59, 59), us), "11:59 PM");

  EXPECT_EQ(FormatGeneralDate(stamp, us), "12/7/2026 12:49:05 PM");
  EXPECT_EQ(FormatGeneralDate(At(2026, 3, 1, 0, 0, 1), us), "3/1/2026 12:00:01 AM");
  EXPECT_EQ(FormatGeneralDate(At(2026, 12, 7), us), "12/7/2026");
  EXPECT_EQ(FormatGeneralDate(At(1899, 12, 30, 8, 3, 0), us), "8:03:00 AM");
}

TEST(DateFormatTest, NamedFormatsUnderDayFirstTwentyFourHourSettings) {
  const RegionalSettings settings = CommaDecimal();
  const DateTime stamp = At(2026, 12, 7, 0, 49, 5);
  EXPECT_EQ(FormatLongDate(stamp, settings), "Monday, 07 December 2026");
  EXPECT_EQ(FormatMediumTime(stamp, settings), "00:49");
  EXPECT_EQ(FormatGeneralDate(stamp, settings), "07.12.2026 00:49:05");
}

TEST(DateFormatTest, Patterns) {
  const DateTime value = At(2026, 3, 7, 9, 5, 3);
  EXPECT_EQ(FormatDatePattern(value, "yyyymmdd"), "20260307");
  EXPECT_EQ(FormatDatePattern(value, "ddmmyyyy"), "07032026");
  EXPECT_EQ(FormatDatePattern(value, "yyyy-mm-dd hh:nn:ss"), "2026-03-07 09:05:03");
  EXPECT_EQ(FormatDatePattern(value, "d/m/yy"), "7/3/26");
  EXPECT_EQ(FormatDatePattern(value, "dddd, mmmm d"), "Saturday, March 7");
}

TEST(ParseDateTest, UsEnglish) {
  struct Case {
    const char* text;
    std::optional<DateTime> expected;
  };
  const Case cases[] = {
      {"12/7/2026", At(2026, 12, 7)},
      {" 12-07-2026 ", At(2026, 12, 7)},
      {"2026-12-07", At(2026, 12, 7)},
      {"2026-12-07T12:49:05", At(2026, 12, 7, 12, 49, 5)},
      {"December 7, 2026", At(2026, 12, 7)},
      {"7 dec 2026", At(2026, 12, 7)},
      {"Monday, December 07, 2026", At(2026, 12, 7)},
      {"12/7/2026 12:49:05 PM", At(2026, 12, 7, 12, 49, 5)},
      {"12/7/2026 12:49 am", At(2026, 12, 7, 0, 49)},
      {"12/7/2026 1:02 PM", At(2026, 12, 7, 13, 2)},
      {"12/7/2026 17:30", At(2026, 12, 7, 17, 30)},
      {"12/7/26", At(2026, 12, 7)},
      {"1/2/29", At(2029, 1, 2)},
      {"1/2/30", At(1930, 1, 2)},
      {"2/29/2024", At(2024, 2, 29)},
      {"13/12/2026", At(2026, 12, 13)},  // the month cannot be 13: day and month swap
      {"12:49", At(1899, 12, 30, 12, 49)},
      {"2/30/2026", std::nullopt},
      {"2/29/2023", std::nullopt},
      {"13/13/2026", std::nullopt},
      {"12/7/2026 25:00", std::nullopt},
      {"12/7/2026 13:00 PM", std::nullopt},
      {"12/7/2026 12:60", std::nullopt},
      {"12/7", std::nullopt},
      {"Smarch 7, 2026", std::nullopt},
      {"20261207", std::nullopt},
      {"12/7/2026 garbage", std::nullopt},
      {"", std::nullopt},
      {"hello", std::nullopt},
  };
  const RegionalSettings us = RegionalSettings::EnglishUS();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseDate(c.text, us), c.expected);
  }
}

TEST(ParseDateTest, DayFirstSettingsAndRoundTrip) {
  const RegionalSettings settings = CommaDecimal();
  EXPECT_EQ(ParseDate("7.12.2026", settings), At(2026, 12, 7));
  EXPECT_EQ(ParseDate("07/12/2026 17:30:01", settings), At(2026, 12, 7, 17, 30, 1));
  EXPECT_EQ(ParseDate("31.4.2026", settings), std::nullopt);
  EXPECT_EQ(ParseDate("2026-12-07", settings), At(2026, 12, 7));

  const DateTime values[] = {At(2026, 12, 7, 12, 49, 5), At(2026, 1, 2, 0, 0, 1), At(2024, 2, 29)};
  for (const RegionalSettings& s : {RegionalSettings::EnglishUS(), settings}) {
    for (const DateTime value : values) {
      EXPECT_EQ(ParseDate(FormatGeneralDate(value, s), s), value) << FormatGeneralDate(value, s);
      EXPECT_EQ(ParseDate(FormatLongDate(value, s), s), floor<days>(value))
          << FormatLongDate(value, s);
    }
  }
}

TEST(ToIntegerTest, RoundsHalfToEvenAndRaisesOverflow) {
  EXPECT_EQ(ToInt16(2.5), 2);
  EXPECT_EQ(ToInt16(3.5), 4);
  EXPECT_EQ(ToInt16(-2.5), -2);
  EXPECT_EQ(ToInt16(2.4999), 2);
  EXPECT_EQ(ToInt16(2.5001), 3);
  EXPECT_EQ(ToInt16(32767), 32767);
  EXPECT_EQ(ToInt16(32767.4), 32767);
  EXPECT_EQ(ToInt16(-32768), -32768);
  EXPECT_EQ(ToInt16(-32768.5), -32768);
  EXPECT_EQ(ToInt32(2147483647.4), 2147483647);
  EXPECT_EQ(ToInt32(-2147483648.5), -2147483647 - 1);
  EXPECT_EQ(ToInt32(40000), 40000);

  const double overflowing16[] = {32767.5,
                                  32768,
                                  -32768.6,
                                  -32769,
                                  std::numeric_limits<double>::quiet_NaN(),
                                  std::numeric_limits<double>::infinity()};
  for (double value : overflowing16) {
    SCOPED_TRACE(value);
    try {
      ToInt16(value);
      ADD_FAILURE() << "no overflow";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), error_number::kOverflow);
    }
  }
  EXPECT_THROW(ToInt32(2147483647.5), Error);
  EXPECT_THROW(ToInt32(-2147483649.0), Error);
}

TEST(RegionalSettingsTest, DerivedFromLocaleInformation) {
  internal::LocaleInfo german;
  german.radix_char = ",";
  german.thousands_separator = ".";
  german.date_format = "%d.%m.%Y";
  german.time_format = "%T";
  german.month_names[11] = "Dezember";
  german.day_names[1] = "Montag";
  RegionalSettings settings = internal::SettingsFromLocaleInfo(german);
  EXPECT_EQ(settings.decimal_separator, ',');
  EXPECT_EQ(settings.grouping_separator, '.');
  EXPECT_EQ(settings.date_order, "DMY");
  EXPECT_EQ(settings.date_separator, '.');
  EXPECT_FALSE(settings.twelve_hour_clock);
  EXPECT_EQ(FormatLongDate(At(2026, 12, 7), settings), "Montag, 07 Dezember 2026");
  EXPECT_EQ(ParseDate("7 Dezember 2026", settings), At(2026, 12, 7));

  internal::LocaleInfo american;
  american.radix_char = ".";
  american.thousands_separator = ",";
  american.date_format = "%m/%d/%Y";
  american.time_format = "%r";
  american.am = "AM";
  american.pm = "PM";
  settings = internal::SettingsFromLocaleInfo(american);
  EXPECT_EQ(settings.date_order, "MDY");
  EXPECT_TRUE(settings.twelve_hour_clock);
  EXPECT_FALSE(settings.day_first_in_long_date);

  internal::LocaleInfo british;  // 24-hour clock although it has designators
  british.date_format = "%d/%m/%y";
  british.time_format = "%T";
  british.am = "am";
  british.pm = "pm";
  settings = internal::SettingsFromLocaleInfo(british);
  EXPECT_EQ(settings.date_order, "DMY");
  EXPECT_EQ(settings.date_separator, '/');
  EXPECT_FALSE(settings.twelve_hour_clock);

  internal::LocaleInfo swedish;
  swedish.radix_char = ",";
  swedish.thousands_separator = "\xe2\x80\xaf";  // narrow no-break space
  swedish.date_format = "%F";
  settings = internal::SettingsFromLocaleInfo(swedish);
  EXPECT_EQ(settings.date_order, "YMD");
  EXPECT_EQ(settings.date_separator, '-');
  EXPECT_EQ(settings.grouping_separator, ' ');
  EXPECT_EQ(ParseNumber("1 234,5", settings), 1234.5);
}

TEST(RegionalSettingsTest, UnusableLocaleGivesUsEnglish) {
  const RegionalSettings us = RegionalSettings::EnglishUS();
  const DateTime stamp = At(2026, 12, 7, 12, 49, 5);
  for (const char* name : {"C", "POSIX", "C.UTF-8", "xx_NOWHERE.UTF-8"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(setenv("LC_ALL", name, 1), 0);
    const RegionalSettings settings = internal::SettingsFromEnvironment();
    EXPECT_EQ(settings.decimal_separator, us.decimal_separator);
    EXPECT_EQ(settings.date_order, us.date_order);
    EXPECT_EQ(FormatGeneralDate(stamp, settings), "12/7/2026 12:49:05 PM");
  }
  unsetenv("LC_ALL");
}

}  // namespace
}  // namespace tqs
