#include "erp/values.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>

#include "common/conversions.h"
#include "common/date_time.h"
#include "common/text.h"

namespace tqs::erp {

namespace {

constexpr std::array kOrderStatuses = {order_status::kFree,      order_status::kPlanned,
                                       order_status::kReleased,  order_status::kInProcess,
                                       order_status::kCompleted, order_status::kClosed,
                                       order_status::kCancelled};
constexpr std::array kOpenOrderStatuses = {order_status::kFree, order_status::kPlanned,
                                           order_status::kReleased, order_status::kInProcess};
constexpr std::array kActivityStatuses = {activity_status::kPlanned, activity_status::kReleased,
                                          activity_status::kInProcess, activity_status::kCompleted};

template <typename List>
bool Contains(const List& list, std::string_view value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

// True when `codes`, a comma-separated list, holds `code`.
bool HasActionCode(std::string_view codes, std::string_view code) {
  while (!codes.empty()) {
    const std::size_t comma = codes.find(',');
    if (Trim(codes.substr(0, comma)) == code) return true;
    if (comma == std::string_view::npos) break;
    codes.remove_prefix(comma + 1);
  }
  return false;
}

bool AllDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(),
                                      [](unsigned char c) { return std::isdigit(c) != 0; });
}

int Digits(std::string_view text) {
  int value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

}  // namespace

bool IsOrderStatus(std::string_view status) { return Contains(kOrderStatuses, status); }

bool IsActivityStatus(std::string_view status) { return Contains(kActivityStatuses, status); }

bool IsOpenOrderStatus(std::string_view status) { return Contains(kOpenOrderStatuses, status); }

bool ReportsCompletion(std::string_view actions_performed) {
  return HasActionCode(actions_performed, "RDC");
}

bool ReportsProgress(std::string_view actions_performed) {
  return HasActionCode(actions_performed, "RDP");
}

std::optional<double> ParseErpNumber(std::string_view text) {
  text = Trim(text);
  std::string normalised(text);
  std::replace(normalised.begin(), normalised.end(), ',', '.');
  std::string_view digits(normalised);
  if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) digits.remove_prefix(1);
  const std::size_t point = digits.find('.');
  const std::string_view whole = digits.substr(0, point);
  const std::string_view fraction =
      point == std::string_view::npos ? std::string_view() : digits.substr(point + 1);
  if ((whole.empty() && fraction.empty()) || (!whole.empty() && !AllDigits(whole)) ||
      (point != std::string_view::npos && !fraction.empty() && !AllDigits(fraction))) {
    return std::nullopt;
  }
  if (normalised.front() == '+') normalised.erase(0, 1);
  double value = 0;
  const auto [end, error] =
      std::from_chars(normalised.data(), normalised.data() + normalised.size(), value);
  if (error != std::errc() || end != normalised.data() + normalised.size()) return std::nullopt;
  return value;
}

std::optional<std::chrono::year_month_day> ParseCompactDate(std::string_view text,
                                                            std::string_view pattern) {
  if (text.size() != 8 || !AllDigits(text) || pattern.size() != 8) return std::nullopt;
  const std::size_t y = pattern.find("yyyy");
  const std::size_t m = pattern.find("mm");
  const std::size_t d = pattern.find("dd");
  if (y == std::string_view::npos || m == std::string_view::npos || d == std::string_view::npos) {
    return std::nullopt;
  }
  const std::chrono::year_month_day date{
      std::chrono::year{Digits(text.substr(y, 4))},
      std::chrono::month{static_cast<unsigned>(Digits(text.substr(m, 2)))},
      std::chrono::day{static_cast<unsigned>(Digits(text.substr(d, 2)))}};
  if (!date.ok()) return std::nullopt;
  return date;
}

std::optional<std::chrono::year_month_day> ParseErpDate(std::string_view text) {
  text = Trim(text);
  if (text.size() == 8 && AllDigits(text)) return ParseCompactDate(text, "yyyymmdd");
  const std::optional<DateTime> value = ParseDate(text);
  if (!value) return std::nullopt;
  return std::chrono::year_month_day{std::chrono::floor<std::chrono::days>(*value)};
}

std::string FormatErpDate(std::chrono::year_month_day date) {
  return fmt::format("{:04}-{:02}-{:02}", static_cast<int>(date.year()),
                     static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
}

std::string Today() {
  return FormatErpDate(
      std::chrono::year_month_day{std::chrono::floor<std::chrono::days>(Clock::System().Now())});
}

}  // namespace tqs::erp
