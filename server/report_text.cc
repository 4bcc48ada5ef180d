#include "server/report_text.h"

#include <fmt/format.h>

namespace tqs::server {
namespace {

std::string Format(DateTime value, const char* separator, const char* zone) {
  const auto day = std::chrono::floor<std::chrono::days>(value);
  const std::chrono::year_month_day date{day};
  const std::chrono::hh_mm_ss<std::chrono::seconds> time{value - day};
  return fmt::format("{:04}-{:02}-{:02}{}{:02}:{:02}:{:02}{}", int(date.year()),
                     unsigned(date.month()), unsigned(date.day()), separator, time.hours().count(),
                     time.minutes().count(), time.seconds().count(), zone);
}

}  // namespace

std::string DocumentTypeName(std::int32_t type) {
  switch (type) {
    case 5:
      return "job sheet";
    case 10:
      return "general hours line";
    case 15:
      return "service inspection";
    default:
      return "type " + std::to_string(type);
  }
}

std::string IsoUtc(DateTime value) { return Format(value, "T", "Z"); }

std::string LocalTimeText(DateTime value) { return Format(value, " ", ""); }

std::string FormatAge(std::int64_t seconds) {
  const std::int64_t days = seconds / 86400;
  seconds %= 86400;
  const std::string clock =
      fmt::format("{:02}:{:02}:{:02}", seconds / 3600, seconds / 60 % 60, seconds % 60);
  return days > 0 ? fmt::format("{}d {}", days, clock) : clock;
}

}  // namespace tqs::server
