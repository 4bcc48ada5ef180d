// The pending rows of the upload queue (CLIENTSERVERINTERACTION, status 5) that wait for an
// operator, as the broker leaves them:
//   in doubt             ATTEMPTOPEN is 1: an attempt was under way when the broker stopped or
//                        could not store the outcome, so the ERP may have booked the document;
//                        the broker does not send it again until an operator decides;
//   repeatedly failing   at least kFailingAttempts attempts and a LASTERROR, and not in doubt.
// A DocumentSelection names such rows by kind, employee and document type. The same condition
// serves the queue's counts (queue_health.h), the operator's listing and the operator's
// decisions, so what is counted and listed is what a decision acts on.
//
// Functions on a caller's connection; not thread-safe (one connection, one thread).
#ifndef TQS_SERVER_PENDING_SELECTION_H_
#define TQS_SERVER_PENDING_SELECTION_H_

#include <cstdint>
#include <optional>
#include <string>

#include "platform/db/connection.h"

namespace tqs::server {

// The attempts after which a pending row with an error counts as repeatedly failing.
inline constexpr std::int32_t kFailingAttempts = 3;

struct DocumentSelection {
  // The kinds of rows; neither set selects both.
  bool in_doubt = false;
  bool failing = false;
  std::optional<std::string> employee;  // EMPLOYEEID
  std::optional<std::int32_t> type;     // BUSINESSDOCUMENTTYPE
};

// The SQL condition (for a WHERE clause) of the pending rows that `selection` names.
std::string SelectionCondition(const DocumentSelection& selection);

std::int64_t CountPendingDocuments(db::Connection& connection, const DocumentSelection& selection);

}  // namespace tqs::server

#endif  // TQS_SERVER_PENDING_SELECTION_H_
