#include "broker/interaction_outcome.h"

#include <cstdint>
#include <exception>
#include <string>

#include "common/utf8.h"

namespace tqs::broker {

namespace {

using db::Variant;

constexpr std::int16_t kAttemptOpen = 1;
constexpr std::int16_t kAttemptClosed = 0;

// Runs `stage` and writes what it staged; on any failure the staged values are dropped (the
// record set would otherwise write them when the pass moves on) and the error is raised.
template <typename Stage>
void WriteRow(db::Recordset& interactions, Stage&& stage) {
  try {
    stage();
    interactions.Update();
  } catch (const std::exception&) {
    interactions.CancelUpdate();
    throw;
  }
}

std::int32_t AttemptsSoFar(const db::Recordset& interactions) {
  const Variant count = interactions.Field("ATTEMPTCOUNT");
  return count.IsNull() || count.IsEmpty() ? 0 : count.AsInt32();
}

}  // namespace

void RecordAttemptStart(db::Recordset& interactions, DateTime now) {
  WriteRow(interactions, [&] {
    interactions.SetField("ATTEMPTCOUNT", Variant(AttemptsSoFar(interactions) + 1));
    interactions.SetField("ATTEMPTSTARTEDON", Variant(now));
    interactions.SetField("ATTEMPTOPEN", Variant(kAttemptOpen));
  });
}

void RecordAttemptFailure(db::Recordset& interactions, bool opened, DateTime now,
                          std::string_view description) {
  WriteRow(interactions, [&] {
    if (!opened) {
      interactions.SetField("ATTEMPTCOUNT", Variant(AttemptsSoFar(interactions) + 1));
      interactions.SetField("ATTEMPTSTARTEDON", Variant(now));
    }
    interactions.SetField("ATTEMPTOPEN", Variant(kAttemptClosed));
    interactions.SetField("LASTERROR", Variant(ReplaceInvalidUtf8(description)));
  });
}

void RecordUnusableAnswer(db::Recordset& interactions, std::string_view description) {
  WriteRow(interactions,
           [&] { interactions.SetField("LASTERROR", Variant(ReplaceInvalidUtf8(description))); });
}

void StageAndSaveInteractionOutcome(db::Recordset& interactions,
                                    const InteractionOutcome& outcome) {
  interactions.SetField("INTERACTIONRESULT", outcome.result);
  interactions.SetField("INTERACTIONSTATUS",
                        outcome.status ? Variant(ToNumber(*outcome.status)) : Variant::Null());
  interactions.SetField("PROCESSEDON", outcome.processed_on);
  interactions.SetField("ATTEMPTOPEN", Variant(kAttemptClosed));
  interactions.Update();
}

}  // namespace tqs::broker
