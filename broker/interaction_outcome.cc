#include "broker/interaction_outcome.h"

#include <exception>

namespace tqs::broker {

void SaveInteractionOutcome(db::Recordset& interactions, const InteractionOutcome& outcome) {
  try {
    interactions.SetField("INTERACTIONRESULT", outcome.result);
    interactions.SetField("INTERACTIONSTATUS", outcome.status
                                                   ? db::Variant(ToNumber(*outcome.status))
                                                   : db::Variant::Null());
    interactions.SetField("PROCESSEDON", outcome.processed_on);
    interactions.Update();
  } catch (const std::exception&) {
    // Dropped, not kept: the record set would otherwise write them when the pass moves on,
    // finishing a row whose failure has just been reported.
    interactions.CancelUpdate();
    throw;
  }
}

}  // namespace tqs::broker
