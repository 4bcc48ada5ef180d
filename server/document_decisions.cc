#include "server/document_decisions.h"

#include <fmt/format.h>

#include "common/error.h"
#include "common/pass_lock.h"
#include "common/text.h"
#include "platform/db/recordset.h"
#include "server/report_text.h"

namespace tqs::server {
namespace {

// The row as it was before the decision, for the skip reason and the audit entry.
struct RowBefore {
  std::optional<std::int32_t> status;
  std::optional<std::int32_t> attempts;
  std::optional<std::string> last_error;
  bool attempt_open = false;
};

std::optional<RowBefore> ReadRowBefore(db::Connection& connection, std::int64_t key) {
  auto rs = db::Recordset::Open(
      fmt::format("SELECT INTERACTIONSTATUS, ATTEMPTCOUNT, LASTERROR, ATTEMPTOPEN "
                  "FROM CLIENTSERVERINTERACTION WHERE INTERACTIONKEY = {}",
                  key),
      connection, db::CursorType::kForwardOnly, db::LockType::kReadOnly);
  if (rs->IsEOF()) return std::nullopt;
  RowBefore row;
  if (!rs->Field(0).IsNull()) row.status = rs->Field(0).AsInt32();
  if (!rs->Field(1).IsNull()) row.attempts = rs->Field(1).AsInt32();
  row.last_error = rs->Field(2).TryText();
  row.attempt_open = !rs->Field(3).IsNull() && rs->Field(3).AsInt32() == 1;
  return row;
}

// The condition a row must still meet when it is changed.
std::string StillMatching(const DecisionRequest& request) {
  if (request.keys.empty()) return SelectionCondition(*request.selection);
  // Named rows: any pending row may be resolved; a requeue needs one in doubt or failing.
  return request.decision == Decision::kRequeue ? SelectionCondition({}) : "INTERACTIONSTATUS = 5";
}

std::string ChangeSql(Decision decision, const Clock& clock) {
  if (decision == Decision::kRequeue) {
    return "UPDATE CLIENTSERVERINTERACTION SET ATTEMPTOPEN = 0";
  }
  return "UPDATE CLIENTSERVERINTERACTION SET INTERACTIONSTATUS = 10, PROCESSEDON = '" +
         LocalTimeText(clock.Now()) + "', ATTEMPTOPEN = 0";
}

std::string AuditDetails(const RowBefore& row, const std::optional<std::string>& note) {
  std::string details =
      "attempts before: " + (row.attempts ? std::to_string(*row.attempts) : std::string("none")) +
      "; last error before: " + row.last_error.value_or("none");
  if (note) details += "; note: " + *note;
  return details;
}

std::string SkipReason(const std::optional<RowBefore>& row, const DecisionRequest& request) {
  if (!row) return "no such document";
  if (row->status != 5) {
    return "no longer pending (status " +
           (row->status ? std::to_string(*row->status) : std::string("null")) + ")";
  }
  if (!request.keys.empty()) return "neither in doubt nor failing repeatedly";
  return "no longer matches the selection";
}

std::string ChangedText(Decision decision, const RowBefore& row) {
  const std::string was = row.attempt_open ? "in doubt" : "failing";
  const std::string attempts = row.attempts ? std::to_string(*row.attempts) : "no";
  if (decision == Decision::kRequeue) {
    return fmt::format("requeued (was {}, {} attempts); the next broker pass sends it again", was,
                       attempts);
  }
  return fmt::format("resolved as booked by the ERP (status 10; {} attempts)", attempts);
}

std::vector<std::int64_t> RowsNamed(db::Connection& connection, const DecisionRequest& request) {
  if (!request.keys.empty()) return request.keys;
  std::vector<std::int64_t> keys;
  for (const DocumentSummary& document : ListPendingDocuments(connection, *request.selection)) {
    keys.push_back(document.key);
  }
  return keys;
}

}  // namespace

std::string_view ActionName(Decision decision) {
  return decision == Decision::kRequeue ? "requeue" : "resolve-done";
}

DecisionTotals ApplyDecision(std::string_view dsn, const DecisionRequest& request,
                             const Clock& clock,
                             const std::function<void(const DecisionLine&)>& report) {
  if (request.keys.empty() &&
      (!request.selection || (!request.selection->in_doubt && !request.selection->failing))) {
    throw Error(error_number::kInvalidProcedureCall,
                "Name the documents to " + std::string(ActionName(request.decision)) +
                    ": give their keys, or --in-doubt or --failing");
  }
  auto connection = db::Connection::Open(dsn);
  const std::unique_ptr<PassLock> lock = PassLock::TryAcquire(dsn, *connection);
  if (!lock) {
    throw Error(error_number::kOperationNotAllowed,
                "A broker processing pass is running on this server database; nothing was "
                "changed. Try again when the pass has ended.");
  }
  const std::string change = ChangeSql(request.decision, clock);
  const std::string still_matching = StillMatching(request);
  DecisionTotals totals;
  for (const std::int64_t key : RowsNamed(*connection, request)) {
    DecisionLine line{.key = key};
    connection->BeginTrans();
    try {
      const std::optional<RowBefore> row = ReadRowBefore(*connection, key);
      line.changed = row && connection->Execute(fmt::format("{} WHERE INTERACTIONKEY = {} AND {}",
                                                            change, key, still_matching)) == 1;
      if (line.changed) {
        connection->Execute(
            fmt::format("INSERT INTO OPERATORACTIONS (OPERATOR, ACTION, INTERACTIONKEY, DETAILS) "
                        "VALUES ({}, '{}', {}, {})",
                        QuoteSql(request.operator_name), ActionName(request.decision), key,
                        QuoteSql(AuditDetails(*row, request.note))));
        connection->CommitTrans();
        line.text = ChangedText(request.decision, *row);
        ++totals.changed;
      } else {
        connection->RollbackTrans();
        line.text = SkipReason(row, request);
        ++totals.skipped;
      }
    } catch (...) {
      try {
        connection->RollbackTrans();
      } catch (const std::exception&) {
        // The connection is gone; its transaction went with it.
      }
      throw;
    }
    report(line);
  }
  return totals;
}

std::string FormatDecisionTotals(Decision decision, const DecisionTotals& totals) {
  return fmt::format("{}: {} changed, {} skipped", ActionName(decision), totals.changed,
                     totals.skipped);
}

}  // namespace tqs::server
