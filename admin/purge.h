// Removing finished documents from CLIENTSERVERINTERACTION, which otherwise keeps every uploaded
// document and its result for ever. A row is finished, and may be purged, only when
//   - the broker is done with it: INTERACTIONSTATUS 10 (processed) or 15 (failed), its attempt
//     closed; never a pending row (5), one in doubt, or one with a null status (a return value
//     the broker did not recognise, which waits for an operator to look at it);
//   - it was processed (PROCESSEDON, the broker's local time) before the day given;
//   - its laptop has had the result: the server does not record which results a laptop has
//     collected, and a laptop keeps asking for a result until it has it, so a row with a result
//     counts as collected only when its employee's laptop uploaded again at least a day after
//     the row was processed (RECEIVEDON; the day covers the difference between the broker's
//     local time and the server's UTC). A row without a result has nothing to collect.
// Rows are deleted in small batches, each in its own transaction, so uploads and the broker are
// never held up for long; the purge is recorded in OPERATORACTIONS.
//
// Functions on a caller's connection; not thread-safe (one connection, one thread).
#ifndef TQS_ADMIN_PURGE_H_
#define TQS_ADMIN_PURGE_H_

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/date_time.h"
#include "platform/db/connection.h"

namespace tqs::admin {

// A calendar day typed by an operator in ISO form ("2026-01-31"). Raises tqs::Error saying what
// is wrong for anything else (another form, a day that does not exist such as 2026-02-30).
std::chrono::year_month_day ParseIsoDay(std::string_view text);

// How many finished rows of one document type and status a purge removes (or removed).
struct PurgeGroup {
  std::int32_t type = 0;
  std::int32_t status = 0;
  std::int64_t rows = 0;
};

struct PurgePlan {
  std::vector<PurgeGroup> groups;  // by type, then status
  std::int64_t total = 0;
  // Rows processed before the day whose result their laptop may not have collected yet.
  std::int64_t kept_uncollected = 0;
};

struct PurgeRequest {
  std::chrono::year_month_day processed_before;
  std::string operator_name;  // OPERATORACTIONS.OPERATOR
  // Rows per transaction.
  int batch_rows = 500;
};

// The rows a purge would remove now; changes nothing. Raises tqs::Error for a day after today
// (by `clock`: a mistyped year would otherwise purge everything) and on a database error.
PurgePlan PlanPurge(db::Connection& connection, const PurgeRequest& request, const Clock& clock);

// Deletes the rows PlanPurge names, in batches, and returns how many were deleted. `progress`
// hears the running total after each batch. Raises tqs::Error as PlanPurge, and on a database
// error (the batches committed before it stay deleted).
std::int64_t Purge(db::Connection& connection, const PurgeRequest& request, const Clock& clock,
                   const std::function<void(std::int64_t deleted)>& progress = {});

// The plan as a table: one line per type and status, the total, and the rows kept.
std::string FormatPurgePlan(const PurgePlan& plan, std::string_view processed_before);

}  // namespace tqs::admin

#endif  // TQS_ADMIN_PURGE_H_
