#include "admin/purge.h"

#include <fmt/format.h>

#include <cctype>
#include <map>
#include <optional>
#include <utility>

#include "common/error.h"
#include "common/interaction_types.h"
#include "common/text.h"
#include "platform/db/recordset.h"
#include "platform/db/transaction.h"
#include "server/report_text.h"

namespace tqs::admin {
namespace {

using std::chrono::year_month_day;

std::string DayText(const year_month_day& day) {
  return fmt::format("{:04}-{:02}-{:02}", int(day.year()), unsigned(day.month()),
                     unsigned(day.day()));
}

std::int64_t Integer(const automation::Variant& value) {
  return static_cast<std::int64_t>(value.AsDouble());
}

// What the broker is done with, processed before the day: the rows a purge considers.
std::string DoneBefore(const year_month_day& day) {
  return fmt::format(
      "INTERACTIONSTATUS IN ({}, {}) AND (ATTEMPTOPEN IS NULL OR ATTEMPTOPEN <> 1) AND "
      "PROCESSEDON < '{} 00:00:00'",
      ToNumber(InteractionStatus::kProcessed), ToNumber(InteractionStatus::kFailed), DayText(day));
}

// One employee's rows and the evidence that the laptop has their results: none when it never
// uploaded with a received-at time, else the broker's local time before which a processed
// row's result was ready when the laptop was last seen.
struct EmployeeEvidence {
  std::string employee;
  std::optional<std::string> collected_before;
};

std::vector<EmployeeEvidence> ReadEvidence(db::Connection& connection) {
  // A day earlier than the last upload: PROCESSEDON is the broker's local time, RECEIVEDON the
  // server's UTC, and no zone is further than a day from UTC.
  const std::string last_upload_less_a_day =
      connection.Provider() == "SQLite"
          ? "datetime(MAX(RECEIVEDON), '-1 day')"
          : "to_char(MAX(RECEIVEDON) - interval '1 day', 'YYYY-MM-DD HH24:MI:SS')";
  auto rs = db::Recordset::Open(
      "SELECT EMPLOYEEID, " + last_upload_less_a_day +
          " FROM CLIENTSERVERINTERACTION WHERE EMPLOYEEID IS NOT NULL GROUP BY EMPLOYEEID",
      connection, db::CursorType::kForwardOnly, db::LockType::kReadOnly);
  std::vector<EmployeeEvidence> employees;
  for (; !rs->IsEOF(); rs->MoveNext()) {
    employees.push_back({rs->Field(0).AsText(), rs->Field(1).TryText()});
  }
  return employees;
}

// The condition of one employee's rows that a purge removes.
std::string PurgeableRows(const EmployeeEvidence& evidence, const year_month_day& day) {
  std::string collected = "INTERACTIONRESULT IS NULL OR INTERACTIONRESULT = ''";
  if (evidence.collected_before) {
    // A plain literal (the time text the query above made), which both engines compare with a
    // date column.
    collected += " OR PROCESSEDON < '" + *evidence.collected_before + "'";
  }
  return fmt::format("EMPLOYEEID = {} AND {} AND ({})", QuoteSql(evidence.employee),
                     DoneBefore(day), collected);
}

year_month_day Today(const Clock& clock) {
  return year_month_day{std::chrono::floor<std::chrono::days>(clock.Now())};
}

void RefuseDayAfterToday(const PurgeRequest& request, const Clock& clock) {
  if (request.processed_before > Today(clock)) {
    throw Error(error_number::kInvalidProcedureCall,
                "The day " + DayText(request.processed_before) + " lies after today (" +
                    DayText(Today(clock)) + "); give a day up to today");
  }
}

}  // namespace

year_month_day ParseIsoDay(std::string_view text) {
  const auto refuse = [text](std::string_view why) {
    return Error(error_number::kTypeMismatch,
                 "'" + Excerpt(text) + "' is not a day in the form YYYY-MM-DD" +
                     (why.empty() ? std::string() : ": " + std::string(why)));
  };
  static constexpr std::string_view kPattern = "dddd-dd-dd";
  if (text.size() != kPattern.size()) throw refuse("");
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool digit = std::isdigit(static_cast<unsigned char>(text[i])) != 0;
    if (kPattern[i] == 'd' ? !digit : text[i] != '-') throw refuse("");
  }
  const auto number = [text](std::size_t at, std::size_t count) {
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) value = value * 10 + (text[i] - '0');
    return value;
  };
  const year_month_day day{std::chrono::year{number(0, 4)},
                           std::chrono::month{static_cast<unsigned>(number(5, 2))},
                           std::chrono::day{static_cast<unsigned>(number(8, 2))}};
  if (!day.ok()) throw refuse("no such day");
  return day;
}

PurgePlan PlanPurge(db::Connection& connection, const PurgeRequest& request, const Clock& clock) {
  RefuseDayAfterToday(request, clock);
  std::map<std::pair<std::int32_t, std::int32_t>, std::int64_t> counts;
  for (const EmployeeEvidence& evidence : ReadEvidence(connection)) {
    auto rs = db::Recordset::Open(
        "SELECT BUSINESSDOCUMENTTYPE, INTERACTIONSTATUS, COUNT(*) FROM CLIENTSERVERINTERACTION "
        "WHERE " +
            PurgeableRows(evidence, request.processed_before) +
            " GROUP BY BUSINESSDOCUMENTTYPE, INTERACTIONSTATUS",
        connection, db::CursorType::kForwardOnly, db::LockType::kReadOnly);
    for (; !rs->IsEOF(); rs->MoveNext()) {
      const std::int32_t type = rs->Field(0).IsNull() ? 0 : rs->Field(0).AsInt32();
      counts[{type, rs->Field(1).AsInt32()}] += Integer(rs->Field(2));
    }
  }
  PurgePlan plan;
  for (const auto& [key, rows] : counts) {
    plan.groups.push_back({key.first, key.second, rows});
    plan.total += rows;
  }
  auto done = db::Recordset::Open(
      "SELECT COUNT(*) FROM CLIENTSERVERINTERACTION WHERE " + DoneBefore(request.processed_before),
      connection, db::CursorType::kForwardOnly, db::LockType::kReadOnly);
  plan.kept_uncollected = Integer(done->Field(0)) - plan.total;
  return plan;
}

std::int64_t Purge(db::Connection& connection, const PurgeRequest& request, const Clock& clock,
                   const std::function<void(std::int64_t deleted)>& progress) {
  RefuseDayAfterToday(request, clock);
  if (request.batch_rows < 1) {
    throw Error(error_number::kInvalidProcedureCall, "A purge batch must hold at least one row");
  }
  std::int64_t deleted = 0;
  for (const EmployeeEvidence& evidence : ReadEvidence(connection)) {
    const std::string batch = fmt::format(
        "DELETE FROM CLIENTSERVERINTERACTION WHERE INTERACTIONKEY IN (SELECT INTERACTIONKEY FROM "
        "CLIENTSERVERINTERACTION WHERE {} ORDER BY INTERACTIONKEY LIMIT {})",
        PurgeableRows(evidence, request.processed_before), request.batch_rows);
    for (;;) {
      // One short transaction per batch: an upload or a broker pass waits at most for one.
      db::Transaction transaction(connection);
      const std::int64_t rows = connection.Execute(batch);
      transaction.Commit();
      deleted += rows;
      if (rows > 0 && progress) progress(deleted);
      if (rows < request.batch_rows) break;
    }
  }
  if (deleted > 0) {
    connection.Execute(fmt::format(
        "INSERT INTO OPERATORACTIONS (OPERATOR, ACTION, INTERACTIONKEY, DETAILS) VALUES ({}, "
        "'purge', NULL, {})",
        QuoteSql(request.operator_name),
        QuoteSql(fmt::format("{} finished documents processed before {} deleted", deleted,
                             DayText(request.processed_before)))));
  }
  return deleted;
}

std::string FormatPurgePlan(const PurgePlan& plan, std::string_view processed_before) {
  constexpr std::string_view kRow = "{:<20} {:<12} {:>10}\n";
  std::string text = fmt::format("Finished documents processed before {}:\n", processed_before);
  text += fmt::format(fmt::runtime(kRow), "type", "status", "documents");
  for (const PurgeGroup& group : plan.groups) {
    const std::string status =
        group.status == ToNumber(InteractionStatus::kProcessed) ? "10 processed" : "15 failed";
    text +=
        fmt::format(fmt::runtime(kRow), server::DocumentTypeName(group.type), status, group.rows);
  }
  text += fmt::format(fmt::runtime(kRow), "total", "", plan.total);
  if (plan.kept_uncollected > 0) {
    text += fmt::format(
        "{} more processed before that day are kept: their laptop has not synchronised since "
        "their result was ready, so it may not have collected it.\n",
        plan.kept_uncollected);
  }
  return text;
}

}  // namespace tqs::admin
