#include "server/admin/queue_health.h"

#include <fmt/format.h>

#include <map>

#include "platform/db/recordset.h"

namespace tqs::server {
namespace {

std::string TypeName(std::int32_t type) {
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

std::int64_t Count(const automation::Variant& value) {
  return static_cast<std::int64_t>(value.AsDouble());
}

}  // namespace

QueueHealth ReadQueueHealth(db::Connection& connection, int top) {
  QueueHealth health;
  std::map<std::int32_t, QueueHealth::DocumentType> types;
  auto counts = db::Recordset::Open(
      "SELECT BUSINESSDOCUMENTTYPE, INTERACTIONSTATUS, COUNT(*) FROM CLIENTSERVERINTERACTION "
      "GROUP BY BUSINESSDOCUMENTTYPE, INTERACTIONSTATUS",
      connection, db::CursorType::kForwardOnly, db::LockType::kReadOnly);
  for (; !counts->IsEOF(); counts->MoveNext()) {
    const std::int32_t type = counts->Field(0).IsNull() ? 0 : counts->Field(0).AsInt32();
    QueueHealth::DocumentType& entry = types[type];
    entry.type = type;
    entry.name = TypeName(type);
    const automation::Variant status = counts->Field(1);
    const std::int64_t count = Count(counts->Field(2));
    if (status.IsNull()) {
      entry.unrecognised += count;
    } else if (status.AsInt32() == 5) {
      entry.pending += count;
    } else if (status.AsInt32() == 10) {
      entry.processed += count;
    } else if (status.AsInt32() == 15) {
      entry.failed += count;
    }
  }
  for (auto& [type, entry] : types) health.types.push_back(entry);

  auto employees = db::Recordset::Open(
      "SELECT EMPLOYEEID, COUNT(*) AS PENDING FROM CLIENTSERVERINTERACTION "
      "WHERE INTERACTIONSTATUS = 5 GROUP BY EMPLOYEEID ORDER BY PENDING DESC, EMPLOYEEID LIMIT " +
          std::to_string(top),
      connection, db::CursorType::kForwardOnly, db::LockType::kReadOnly);
  for (; !employees->IsEOF(); employees->MoveNext()) {
    health.busiest_employees.push_back(
        {employees->Field(0).ToTextOrEmpty(), Count(employees->Field(1))});
  }
  return health;
}

nlohmann::json ToJson(const QueueHealth& health) {
  nlohmann::json types = nlohmann::json::array();
  for (const auto& type : health.types) {
    types.push_back({{"type", type.type},
                     {"name", type.name},
                     {"pending", type.pending},
                     {"processed", type.processed},
                     {"failed", type.failed},
                     {"unrecognised", type.unrecognised}});
  }
  nlohmann::json employees = nlohmann::json::array();
  for (const auto& employee : health.busiest_employees) {
    employees.push_back({{"employee", employee.employee}, {"pending", employee.pending}});
  }
  return {{"types", types}, {"busiest_employees", employees}};
}

std::string FormatQueueHealth(const QueueHealth& health) {
  std::string text = fmt::format("{:<22}{:>10}{:>11}{:>9}{:>14}\n", "document type", "pending",
                                 "processed", "failed", "unrecognised");
  for (const auto& type : health.types) {
    text += fmt::format("{:<22}{:>10}{:>11}{:>9}{:>14}\n", type.name, type.pending,
                        type.processed, type.failed, type.unrecognised);
  }
  if (health.types.empty()) text += "(no documents uploaded yet)\n";
  if (!health.busiest_employees.empty()) {
    text += "\nemployees with the most pending documents:\n";
    for (const auto& employee : health.busiest_employees) {
      text += fmt::format("  {:<20}{:>10}\n", employee.employee, employee.pending);
    }
  }
  return text;
}

}  // namespace tqs::server
