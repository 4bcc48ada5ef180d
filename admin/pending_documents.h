// Pending documents that wait for an operator, as the broker leaves them in
// CLIENTSERVERINTERACTION (status 5):
//   in doubt             ATTEMPTOPEN is 1: an attempt was under way when the broker stopped or
//                        could not store the outcome, so the ERP may have booked the document;
//                        the broker does not send it again until an operator decides;
//   repeatedly failing   at least kFailingAttempts attempts and a LASTERROR, and not in doubt.
// A DocumentSelection names such rows by kind, employee and document type; the same conditions
// serve the queue's counts, the listing and the operator's decisions (document_decisions.h), so
// what is listed is what a decision acts on.
//
// Functions on a caller's connection; not thread-safe (one connection, one thread).
#ifndef TQS_ADMIN_PENDING_DOCUMENTS_H_
#define TQS_ADMIN_PENDING_DOCUMENTS_H_

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "common/date_time.h"
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

// One row as the operator sees it.
struct DocumentSummary {
  std::int64_t key = 0;  // INTERACTIONKEY
  std::string employee;
  std::int32_t type = 0;
  std::string document_id;
  std::optional<std::int32_t> attempts;
  std::optional<DateTime> attempt_started_on;  // local time
  std::optional<std::string> last_error;
  std::optional<DateTime> received_on;  // UTC; none for rows from before it was kept
  bool in_doubt = false;                // pending with ATTEMPTOPEN 1
};

// Everything stored about one row.
struct DocumentDetail {
  DocumentSummary summary;
  std::optional<std::int32_t> status;  // INTERACTIONSTATUS; none: null
  std::optional<DateTime> processed_on;
  std::string contents;               // BUSINESSDOCUMENTCONTENTS
  std::optional<std::string> result;  // INTERACTIONRESULT
};

std::int64_t CountPendingDocuments(db::Connection& connection, const DocumentSelection& selection);

// The selected pending rows in upload order (row key), at most `limit` when given.
std::vector<DocumentSummary> ListPendingDocuments(db::Connection& connection,
                                                  const DocumentSelection& selection,
                                                  std::optional<std::int64_t> limit = {});

// The row with the key, in any status; none when there is no such row.
std::optional<DocumentDetail> ReadDocument(db::Connection& connection, std::int64_t key);

nlohmann::json ToJson(const DocumentSummary& document);
nlohmann::json ToJson(const DocumentDetail& document);

// A table, one line per row (the last error cut to its first line), or a line saying none.
std::string FormatDocumentList(const std::vector<DocumentSummary>& documents);

// All fields, then the stored document and the stored result.
std::string FormatDocumentDetail(const DocumentDetail& document);

}  // namespace tqs::server

#endif  // TQS_ADMIN_PENDING_DOCUMENTS_H_
