#include "server/queue_health.h"

#include <fmt/format.h>

#include <map>

#include "common/error.h"
#include "platform/db/recordset.h"
#include "server/pending_selection.h"
#include "server/report_text.h"

namespace tqs::server {
namespace {

std::int64_t Count(const automation::Variant& value) {
  return static_cast<std::int64_t>(value.AsDouble());
}

// The pending rows of one document type; type 0 stands for rows without a type too, as in the
// counts.
std::string PendingOfType(std::int32_t type) {
  const std::string of_type = type == 0
                                  ? "(BUSINESSDOCUMENTTYPE IS NULL OR BUSINESSDOCUMENTTYPE = 0)"
                                  : "BUSINESSDOCUMENTTYPE = " + std::to_string(type);
  return " FROM CLIENTSERVERINTERACTION WHERE INTERACTIONSTATUS = 5 AND " + of_type;
}

// Seconds from RECEIVEDON to the database's current UTC time.
std::string AgeSecondsSql(const db::Connection& connection) {
  if (connection.Provider() == "SQLite") {
    return "CAST(strftime('%s', 'now') AS INTEGER) - CAST(strftime('%s', RECEIVEDON) AS INTEGER)";
  }
  return "CAST(EXTRACT(EPOCH FROM (now() AT TIME ZONE 'UTC') - RECEIVEDON) AS bigint)";
}

// Both queries are single look-ups in IX_CSI_PENDING_AGE (BUSINESSDOCUMENTTYPE, RECEIVEDON of
// the pending rows): rows without a received-at time come first, as they are the older.
// Empty when the type has no pending row left (the broker took them since the counts were read).
std::optional<QueueHealth::OldestPending> ReadOldestPending(db::Connection& connection,
                                                            std::int32_t type) {
  QueueHealth::OldestPending oldest;
  auto undated =
      db::Recordset::Open("SELECT 1" + PendingOfType(type) + " AND RECEIVEDON IS NULL LIMIT 1",
                          connection, db::CursorType::kForwardOnly, db::LockType::kReadOnly);
  if (!undated->IsEOF()) return oldest;
  auto rs =
      db::Recordset::Open("SELECT RECEIVEDON, " + AgeSecondsSql(connection) + PendingOfType(type) +
                              " AND RECEIVEDON IS NOT NULL ORDER BY RECEIVEDON LIMIT 1",
                          connection, db::CursorType::kForwardOnly, db::LockType::kReadOnly);
  if (rs->IsEOF()) return std::nullopt;
  const automation::Variant received_on = rs->Field(0);
  const std::optional<DateTime> date = received_on.TryDate();
  if (!date) {
    throw Error(error_number::kTypeMismatch,
                "CLIENTSERVERINTERACTION.RECEIVEDON of a pending row of document type " +
                    std::to_string(type) + " is not a date: '" + received_on.ToTextOrEmpty() + "'");
  }
  oldest.received_on = *date;
  oldest.age_seconds = Count(rs->Field(1));
  return oldest;
}

std::string DescribeOldest(const QueueHealth::OldestPending& oldest) {
  if (!oldest.received_on) return "age unknown (received before received-at times were kept)";
  return fmt::format("waiting {} (received {})", FormatAge(*oldest.age_seconds),
                     IsoUtc(*oldest.received_on));
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
    entry.name = DocumentTypeName(type);
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
  for (auto& [type, entry] : types) {
    if (entry.pending > 0) entry.oldest_pending = ReadOldestPending(connection, type);
    health.types.push_back(entry);
  }

  auto employees = db::Recordset::Open(
      "SELECT EMPLOYEEID, COUNT(*) AS PENDING FROM CLIENTSERVERINTERACTION "
      "WHERE INTERACTIONSTATUS = 5 GROUP BY EMPLOYEEID ORDER BY PENDING DESC, EMPLOYEEID LIMIT " +
          std::to_string(top),
      connection, db::CursorType::kForwardOnly, db::LockType::kReadOnly);
  for (; !employees->IsEOF(); employees->MoveNext()) {
    health.busiest_employees.push_back(
        {employees->Field(0).ToTextOrEmpty(), Count(employees->Field(1))});
  }
  health.in_doubt = CountPendingDocuments(connection, DocumentSelection{.in_doubt = true});
  health.repeatedly_failing = CountPendingDocuments(connection, DocumentSelection{.failing = true});
  return health;
}

nlohmann::json ToJson(const QueueHealth& health) {
  nlohmann::json types = nlohmann::json::array();
  for (const auto& type : health.types) {
    nlohmann::json entry = {{"type", type.type},       {"name", type.name},
                            {"pending", type.pending}, {"processed", type.processed},
                            {"failed", type.failed},   {"unrecognised", type.unrecognised}};
    if (type.oldest_pending) {
      // null received_on / age_seconds: received before received-at times were kept
      const auto& oldest = *type.oldest_pending;
      entry["oldest_pending"] = {
          {"received_on", oldest.received_on ? nlohmann::json(IsoUtc(*oldest.received_on))
                                             : nlohmann::json(nullptr)},
          {"age_seconds",
           oldest.age_seconds ? nlohmann::json(*oldest.age_seconds) : nlohmann::json(nullptr)}};
    }
    types.push_back(std::move(entry));
  }
  nlohmann::json employees = nlohmann::json::array();
  for (const auto& employee : health.busiest_employees) {
    employees.push_back({{"employee", employee.employee}, {"pending", employee.pending}});
  }
  return {{"types", types},
          {"busiest_employees", employees},
          {"in_doubt", health.in_doubt},
          {"repeatedly_failing", health.repeatedly_failing}};
}

std::string FormatQueueHealth(const QueueHealth& health) {
  std::string text = fmt::format("{:<22}{:>10}{:>11}{:>9}{:>14}\n", "document type", "pending",
                                 "processed", "failed", "unrecognised");
  for (const auto& type : health.types) {
    text += fmt::format("{:<22}{:>10}{:>11}{:>9}{:>14}\n", type.name, type.pending, type.processed,
                        type.failed, type.unrecognised);
  }
  if (health.types.empty()) text += "(no documents uploaded yet)\n";
  bool headed = false;
  for (const auto& type : health.types) {
    if (!type.oldest_pending) continue;
    if (!headed) text += "\noldest pending document:\n";
    headed = true;
    text += fmt::format("  {:<20}{}\n", type.name, DescribeOldest(*type.oldest_pending));
  }
  if (!health.busiest_employees.empty()) {
    text += "\nemployees with the most pending documents:\n";
    for (const auto& employee : health.busiest_employees) {
      text += fmt::format("  {:<20}{:>10}\n", employee.employee, employee.pending);
    }
  }
  text += fmt::format("\ndocuments in doubt: {}\nrepeatedly failing documents: {}\n",
                      health.in_doubt, health.repeatedly_failing);
  if (health.in_doubt > 0) {
    text +=
        "  In doubt: the ERP may have booked them; the broker leaves them until an operator\n"
        "  decides (TQSRemoteAdmin documents --in-doubt, then requeue or resolve --done).\n";
  }
  if (health.repeatedly_failing > 0) {
    text += "  Failing: see their last error with TQSRemoteAdmin documents --failing.\n";
  }
  return text;
}

}  // namespace tqs::server
