// The value rules the reference ERP applies to what it takes in.
#include "erp/values.h"

#include <gtest/gtest.h>

namespace tqs::erp {
namespace {

TEST(ErpValuesTest, NumbersTakeAPointOrACommaAndNothingElse) {
  struct Case {
    const char* text;
    std::optional<double> number;
  };
  const Case cases[] = {
      {"2", 2.0},  {"1.5", 1.5},  {"1,5", 1.5},  {" -3 ", -3.0}, {"+0.25", 0.25},
      {".5", 0.5}, {"", {}},      {"two", {}},   {"1e3", {}},    {"1,000.5", {}},
      {"-", {}},   {"1.2.3", {}}, {"12 kg", {}},
  };
  for (const Case& test : cases) EXPECT_EQ(ParseErpNumber(test.text), test.number) << test.text;
}

TEST(ErpValuesTest, DatesAreCalendarDates) {
  using std::chrono::day;
  using std::chrono::month;
  using std::chrono::year;
  EXPECT_EQ(ParseErpDate("2026-03-09 08:15:00"),
            std::chrono::year_month_day(year{2026}, month{3}, day{9}));
  EXPECT_EQ(ParseErpDate("20260309"), std::chrono::year_month_day(year{2026}, month{3}, day{9}));
  for (const char* no_date : {"2026-02-30", "20260230", "soon", "", "2026-13-01"}) {
    EXPECT_FALSE(ParseErpDate(no_date).has_value()) << no_date;
  }
  EXPECT_EQ(ParseCompactDate("09032026", "ddmmyyyy"),
            std::chrono::year_month_day(year{2026}, month{3}, day{9}));
  EXPECT_FALSE(ParseCompactDate("31022026", "ddmmyyyy").has_value());
  EXPECT_FALSE(ParseCompactDate("0903202", "ddmmyyyy").has_value());
  EXPECT_EQ(FormatErpDate(std::chrono::year_month_day(year{2026}, month{3}, day{9})), "2026-03-09");
}

TEST(ErpValuesTest, ActionCodesAndStatuses) {
  EXPECT_TRUE(ReportsCompletion("RDC,MD"));
  EXPECT_TRUE(ReportsCompletion("MD, RDC"));
  EXPECT_FALSE(ReportsCompletion("RDCX"));
  EXPECT_TRUE(ReportsProgress("RDP"));
  EXPECT_FALSE(ReportsProgress(""));
  EXPECT_TRUE(IsOpenOrderStatus("In Process"));
  EXPECT_FALSE(IsOpenOrderStatus("Completed"));
  EXPECT_TRUE(IsOrderStatus("Cancelled"));
  EXPECT_FALSE(IsActivityStatus("Cancelled"));
}

}  // namespace
}  // namespace tqs::erp
