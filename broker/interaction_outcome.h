// The broker's writes to the pass's current CLIENTSERVERINTERACTION row: the record of handing
// its document to the ERP (the attempt columns) and its final state (result document, status
// and processing time).
//
// An attempt is recorded durably before the ERP's booking call (ATTEMPTCOUNT + 1,
// ATTEMPTSTARTEDON, ATTEMPTOPEN 1) and closed in the same update that stores the outcome
// (ATTEMPTOPEN 0), or by the record of the call's failure. A row still pending with its attempt
// open after a pass is in doubt: the ERP may have booked it.
//
// Each function writes in one update of the current row, which the record set refuses when
// another pass changed the row since it was read. When staging a value or the update fails,
// the staged values are dropped before the error is raised, so moving on to the next row cannot
// write them after all.
//
// Runs on the window's thread with the pass's record set; not thread-safe.
#ifndef TQS_BROKER_INTERACTION_OUTCOME_H_
#define TQS_BROKER_INTERACTION_OUTCOME_H_

#include <optional>
#include <string>
#include <string_view>

#include "common/date_time.h"
#include "common/interaction_types.h"
#include "platform/db/recordset.h"

namespace tqs::broker {

struct InteractionOutcome {
  std::string result;                       // INTERACTIONRESULT
  std::optional<InteractionStatus> status;  // INTERACTIONSTATUS; none is stored as null
  DateTime processed_on;                    // PROCESSEDON
};

// Opens an attempt: ATTEMPTCOUNT + 1, ATTEMPTSTARTEDON `now`, ATTEMPTOPEN 1.
void RecordAttemptStart(db::Recordset& interactions, DateTime now);

// Records a failed attempt's description in LASTERROR and closes the attempt (ATTEMPTOPEN 0):
// the document was not booked and is offered again at the next pass. A failure before any
// attempt was opened (`opened` false) counts as an attempt that started `now`.
void RecordAttemptFailure(db::Recordset& interactions, bool opened, DateTime now,
                          std::string_view description);

// Records why the ERP's answer could not be used in LASTERROR, leaving the attempt open: the ERP
// may have booked the document, so it stays in doubt.
void RecordUnusableAnswer(db::Recordset& interactions, std::string_view description);

// Stages `outcome` and the attempt's end (ATTEMPTOPEN 0) on the current row and writes them in
// one update. A failed update keeps the values staged, so the caller may try Update again, and
// must call CancelUpdate when it gives up.
void StageAndSaveInteractionOutcome(db::Recordset& interactions, const InteractionOutcome& outcome);

}  // namespace tqs::broker

#endif  // TQS_BROKER_INTERACTION_OUTCOME_H_
