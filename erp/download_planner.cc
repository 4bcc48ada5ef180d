#include "erp/download_planner.h"

#include <optional>

#include "erp/values.h"

namespace tqs::erp {

namespace {

// The order reduced to what the laptop lacks; std::nullopt when it lacks nothing.
std::optional<ServiceOrder> Addition(const ServiceOrder& order, const HeldOrder& held) {
  if (!held.activities_listed) return std::nullopt;
  ServiceOrder addition = order;
  addition.activities.clear();
  for (const Activity& activity : order.activities) {
    const auto held_activity = held.activities.find(activity.id);
    if (held_activity == held.activities.end()) {
      addition.activities.push_back(activity);
      continue;
    }
    Activity missing = activity;
    missing.lines.clear();
    for (const Line& line : activity.lines) {
      if (line.kind == LineKind::kHour) continue;  // hours are never handed out
      const auto held_lines = held_activity->second.find(line.kind);
      if (held_lines == held_activity->second.end() || held_lines->second.count(line.id) == 0) {
        missing.lines.push_back(line);
      }
    }
    if (!missing.lines.empty()) addition.activities.push_back(std::move(missing));
  }
  if (addition.activities.empty()) return std::nullopt;
  return addition;
}

}  // namespace

std::vector<DownloadEntry> DownloadPlanner::Plan(std::string_view employee,
                                                 const std::vector<HeldOrder>& holdings) const {
  std::vector<DownloadEntry> entries;
  store_.InReadTransaction([&] { entries = PlanAtOneMoment(employee, holdings); });
  return entries;
}

std::vector<DownloadEntry> DownloadPlanner::PlanAtOneMoment(
    std::string_view employee, const std::vector<HeldOrder>& holdings) const {
  std::map<std::string_view, const HeldOrder*> held_by_id;
  for (const HeldOrder& held : holdings) held_by_id.emplace(held.id, &held);

  std::vector<DownloadEntry> entries;
  std::vector<DownloadEntry> additions;
  for (const ServiceOrder& order : store_.ServiceOrdersOf(employee)) {
    if (!IsOpenOrderStatus(order.status)) continue;
    const auto held = held_by_id.find(order.id);
    if (held == held_by_id.end()) {
      entries.push_back(DownloadEntry{DownloadEntryKind::kNew, order});
    } else if (std::optional<ServiceOrder> addition = Addition(order, *held->second)) {
      additions.push_back(DownloadEntry{DownloadEntryKind::kAddition, std::move(*addition)});
    }
  }
  for (DownloadEntry& addition : additions) entries.push_back(std::move(addition));

  std::set<std::string_view> cancelled;
  for (const HeldOrder& held : holdings) {
    if (!cancelled.insert(held.id).second) continue;  // listed twice: one cancellation
    const std::optional<ServiceOrder> order = store_.FindServiceOrder(held.id);
    if (!order) continue;
    DownloadEntry cancellation{DownloadEntryKind::kCancellation, {}};
    cancellation.order.id = order->id;
    if (order->status == order_status::kCancelled) {
      cancellation.order.cancelled_on = order->cancelled_on;
      cancellation.order.cancel_reason = order->cancel_reason;
    } else if (order->employee != employee) {
      cancellation.order.cancelled_on = order->assigned_on;
      cancellation.order.cancel_reason = "Reassigned to another engineer";
    } else {
      continue;
    }
    entries.push_back(std::move(cancellation));
  }
  return entries;
}

}  // namespace tqs::erp
