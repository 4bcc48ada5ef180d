// The operator's view of the pending documents that wait for an operator, in doubt or
// repeatedly failing (server/pending_selection.h says which rows those are): the listing of the
// rows that a DocumentSelection names, everything stored about one row, and their JSON and
// table texts. The operator's decisions (document_decisions.h) act on the same selection.
//
// Functions on a caller's connection; not thread-safe (one connection, one thread).
#ifndef TQS_SERVER_PENDING_DOCUMENTS_H_
#define TQS_SERVER_PENDING_DOCUMENTS_H_

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "common/date_time.h"
#include "platform/db/connection.h"
#include "server/pending_selection.h"

namespace tqs::server {

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

#endif  // TQS_SERVER_PENDING_DOCUMENTS_H_
