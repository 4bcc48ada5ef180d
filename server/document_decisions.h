// The operator's decisions on pending documents that the broker leaves alone or keeps failing
// (server/pending_documents.h):
//   requeue        the ERP did not book the document: ATTEMPTOPEN becomes 0, so the next broker
//                  pass sends it again; only for rows in doubt or repeatedly failing;
//   resolve-done   the ERP booked it: INTERACTIONSTATUS 10, PROCESSEDON now, ATTEMPTOPEN 0; a
//                  stored INTERACTIONRESULT is kept, and none is made up when none is stored
//                  (the ERP's answer, with the numbers it gave, is not known here), so the
//                  laptop is told nothing rather than something the ERP did not say.
// A decision names its rows by key or by a DocumentSelection. It holds the broker's pass lock
// (common/pass_lock.h) while it acts, so no row that a running pass is handing to the ERP is
// touched, and refuses when a pass holds it. Each row is changed in a transaction of its own
// together with its OPERATORACTIONS entry, and only while it still matches (still pending, and
// for a requeue still in doubt or failing); a row that no longer matches is skipped.
//
// Not thread-safe: one decision opens and uses its own connection.
#ifndef TQS_SERVER_DOCUMENT_DECISIONS_H_
#define TQS_SERVER_DOCUMENT_DECISIONS_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/date_time.h"
#include "server/pending_documents.h"

namespace tqs::server {

enum class Decision { kRequeue, kResolveDone };

// "requeue", "resolve-done": the ACTION written to OPERATORACTIONS.
std::string_view ActionName(Decision decision);

struct DecisionRequest {
  Decision decision = Decision::kRequeue;
  // The rows: these keys, or else the rows of `selection`, which must then name a kind
  // (in doubt or failing); a request naming neither is refused as acting on nothing named.
  std::vector<std::int64_t> keys;
  std::optional<DocumentSelection> selection;
  std::string operator_name;  // OPERATORACTIONS.OPERATOR
  std::optional<std::string> note;
};

// What happened to one row.
struct DecisionLine {
  std::int64_t key = 0;
  bool changed = false;
  std::string text;  // what was done, or why the row was skipped ("no such document")
};

struct DecisionTotals {
  int changed = 0;
  int skipped = 0;
};

// Carries out the request on the server database of `dsn`, reporting each row as it is done.
// Raises tqs::Error for a request that names no rows, when a broker pass holds the pass lock
// (nothing is changed then), and on a database error (rows reported before it stay changed).
DecisionTotals ApplyDecision(std::string_view dsn, const DecisionRequest& request,
                             const Clock& clock,
                             const std::function<void(const DecisionLine&)>& report);

// "requeue: 3 changed, 1 skipped"
std::string FormatDecisionTotals(Decision decision, const DecisionTotals& totals);

}  // namespace tqs::server

#endif  // TQS_SERVER_DOCUMENT_DECISIONS_H_
