// The reference ERP's vocabulary and value rules: the statuses of service orders and
// activities, the action codes a laptop reports, and the parsers that decide whether an
// uploaded text is a number, a quantity or a date. Dates and times are handed out as
// "yyyy-mm-dd" and "yyyy-mm-dd hh:nn:ss"; numbers with a decimal point.
//
// Pure functions and constants; safe to use from any thread.
#ifndef TQS_ERP_VALUES_H_
#define TQS_ERP_VALUES_H_

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace tqs::erp {

// Statuses of a service order. Free, Planned, Released and In Process orders are open: they
// are handed to their engineer and take job sheets. Completed, Closed and Cancelled orders
// take no more job sheets.
namespace order_status {
inline constexpr std::string_view kFree = "Free";
inline constexpr std::string_view kPlanned = "Planned";
inline constexpr std::string_view kReleased = "Released";
inline constexpr std::string_view kInProcess = "In Process";
inline constexpr std::string_view kCompleted = "Completed";
inline constexpr std::string_view kClosed = "Closed";
inline constexpr std::string_view kCancelled = "Cancelled";
}  // namespace order_status

// Statuses of an activity.
namespace activity_status {
inline constexpr std::string_view kPlanned = "Planned";
inline constexpr std::string_view kReleased = "Released";
inline constexpr std::string_view kInProcess = "In Process";
inline constexpr std::string_view kCompleted = "Completed";
}  // namespace activity_status

bool IsOrderStatus(std::string_view status);
bool IsActivityStatus(std::string_view status);
// Open orders are handed out and take job sheets.
bool IsOpenOrderStatus(std::string_view status);

// The action codes in a job sheet's "actionsperformed": RDC reports the work done and
// complete, RDP reports progress, MD reports modified data.
bool ReportsCompletion(std::string_view actions_performed);
bool ReportsProgress(std::string_view actions_performed);
// What a laptop may do with an open order, an activity and a line.
inline constexpr std::string_view kAllowedOrderActions = "RDP,RDC,MD";
inline constexpr std::string_view kAllowedLineActions = "MD";
// The origin of what the ERP itself created.
inline constexpr std::string_view kErpOrigin = "ERP";

// A number with an optional sign and a decimal point or comma (no grouping, no exponent),
// blanks around it allowed; std::nullopt for anything else, the empty text included.
std::optional<double> ParseErpNumber(std::string_view text);

// A date, with or without a time of day: what the platform's date conversion reads
// (yyyy-mm-dd, numeric dates in the locale's order, month names) and yyyymmdd.
std::optional<std::chrono::year_month_day> ParseErpDate(std::string_view text);

// A date written as eight digits in the given order of "yyyy", "mm" and "dd", such as
// "yyyymmdd" or "ddmmyyyy"; std::nullopt when the digits make no calendar date.
std::optional<std::chrono::year_month_day> ParseCompactDate(std::string_view text,
                                                            std::string_view pattern);

// "yyyy-mm-dd".
std::string FormatErpDate(std::chrono::year_month_day date);
// Today's date on the system clock, "yyyy-mm-dd".
std::string Today();

}  // namespace tqs::erp

#endif  // TQS_ERP_VALUES_H_
