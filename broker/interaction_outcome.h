// InteractionOutcome is the final state the broker gives a processed CLIENTSERVERINTERACTION
// row: its result document (INTERACTIONRESULT), its status (INTERACTIONSTATUS) and when it was
// processed (PROCESSEDON). SaveInteractionOutcome writes all three in one update of the pass's
// current row, so a row is either finished as a whole or stays pending and is offered again at
// the next pass: when staging a value or the update fails, the staged values are dropped
// before the error is raised, so moving on to the next row cannot write them after all.
//
// Runs on the window's thread with the pass's record set; not thread-safe.
#ifndef TQS_BROKER_INTERACTION_OUTCOME_H_
#define TQS_BROKER_INTERACTION_OUTCOME_H_

#include <optional>
#include <string>

#include "common/date_time.h"
#include "common/interaction_types.h"
#include "platform/db/recordset.h"

namespace tqs::broker {

struct InteractionOutcome {
  std::string result;                       // INTERACTIONRESULT
  std::optional<InteractionStatus> status;  // INTERACTIONSTATUS; none is stored as null
  DateTime processed_on;                    // PROCESSEDON
};

// Writes `outcome` into the current row of `interactions` (an updatable set) in one update.
// Errors of the record set are raised after the staged values were dropped.
void SaveInteractionOutcome(db::Recordset& interactions, const InteractionOutcome& outcome);

}  // namespace tqs::broker

#endif  // TQS_BROKER_INTERACTION_OUTCOME_H_
