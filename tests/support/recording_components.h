// RecordingComponents is a test double for late-bound components: a ComponentFactory whose
// objects write every creation and every call into one journal, in call order, and answer
// from a script. Register it on a ComponentRegistry under the prefix the code under test
// creates (for example "Q72dVXRsvordJobSheets."), run the code, then compare the journal with
// the expected sequence:
//
//   auto erp = std::make_shared<RecordingComponents>();
//   registry.Register("Q72dVXRsvordJobSheets.", erp);
//   erp->OnCall("JobSheetsManager", "ProcessJobSheet", [&](std::span<Variant> args) {...});
//   ... run ...
//   EXPECT_THAT(erp->Journal(), ElementsAre(
//       "create Q72dVXRsvordJobSheets.JobSheetsManager#1",
//       "call JobSheetsManager#1.Initialize(Text(\"BC\"))", ...));
//
// Each object is named in the journal by the last part of its identifier and a number counting
// the objects of that name ("ServiceOrderData#2" is the second one). Arguments are journaled
// as they were passed in (Variant::DebugString; an argument that is a recorded object shows as
// Object(ServiceOrderData#1)). A call without a responder returns Empty; a responder may assign
// to by-reference arguments, return objects (NewObject) and throw tqs::Error to inject faults.
//
// Thread-safe: the journal and the script are guarded, and responders run unlocked so they may
// call back into the double.
#ifndef TQS_TESTS_SUPPORT_RECORDING_COMPONENTS_H_
#define TQS_TESTS_SUPPORT_RECORDING_COMPONENTS_H_

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/error.h"
#include "platform/automation/component_registry.h"
#include "platform/automation/object.h"
#include "platform/automation/variant.h"

namespace tqs::test_support {

using automation::ObjectPtr;
using automation::Variant;

namespace internal {
struct RecordingState;
}  // namespace internal

class RecordingComponents : public automation::ComponentFactory {
 public:
  using Responder = std::function<Variant(std::span<Variant> args)>;

  RecordingComponents();
  ~RecordingComponents() override;
  RecordingComponents(const RecordingComponents&) = delete;
  RecordingComponents& operator=(const RecordingComponents&) = delete;

  // Creates a recorded object and journals "create <prog id>#<n>". A failure set with
  // FailCreate is journaled as "create <prog id> failed" and then raised.
  ObjectPtr Create(std::string_view prog_id) override;

  // --- The script ---------------------------------------------------------------------------

  // Answers calls of `method` (exact spelling) on objects of `prog_id`, which may be the full
  // identifier, its last part ("ServiceOrderData") or "*" for any object; the most specific
  // one wins. A later responder for the same pair replaces the earlier one.
  void OnCall(std::string_view prog_id, std::string_view method, Responder responder);
  // Shorthands: always return `result`; always raise `error`.
  void Returns(std::string_view prog_id, std::string_view method, Variant result);
  void Throws(std::string_view prog_id, std::string_view method, Error error);

  // Makes Create fail for `prog_id` (full identifier): it raises `error`, or without one returns
  // nullptr so that the registry raises its "cannot create" error 429.
  void FailCreate(std::string_view prog_id, std::optional<Error> error = std::nullopt);

  // An object that the components hand out themselves (an output object returned by a call):
  // recorded and numbered like the others, but not journaled as created by the caller.
  ObjectPtr NewObject(std::string_view prog_id);

  // --- The journal --------------------------------------------------------------------------

  // Every line, in order.
  std::vector<std::string> Journal() const;
  // The lines containing `text`, in order (for example ".setOrderStatus(" or "create ").
  std::vector<std::string> Journal(std::string_view text) const;
  // The whole journal, one line each, for failure messages.
  std::string JournalText() const;
  void ClearJournal();

  // The live object of a journal name ("ServiceOrderData#1"), or nullptr.
  ObjectPtr Instance(std::string_view journal_name) const;

 private:
  // Shared with the objects, which may outlive the factory.
  const std::shared_ptr<internal::RecordingState> state_;
};

// What a journal line names: {full identifier, ""} for "create <prog id>#<n>", {last part,
// method} for "call <last part>#<n>.<method>(...)".
std::pair<std::string, std::string> JournalObjectAndMethod(std::string_view line);

// Makes the creation or call of a journal line raise `error` from now on: FailCreate of the
// identifier for a creation; for a call, Throws for the method of the object when it exists
// already (by its full identifier, replacing its own answer), else of every object of that last
// part (an answer registered later under a full identifier still wins over it).
void FailFromNowOn(RecordingComponents& components, std::string_view journal_line, Error error);

}  // namespace tqs::test_support

#endif  // TQS_TESTS_SUPPORT_RECORDING_COMPONENTS_H_
