// ErpDelivery hands the document of the pass's current row to the ERP at most once, as far as
// the broker can know, and says honestly what became of it. A processor maps the document onto
// the ERP's objects and then lets Deliver make the booking call:
//
//   1. The attempt is recorded durably on the row before the call (broker/interaction_outcome.h).
//      When that fails, or another pass changed the row since it was read, the document is not
//      handed to the ERP: the reason goes to the status box and the log, the row stays pending.
//   2. The booking call. When it raises, the ERP did not take the document: the error goes on to
//      the processor's handler, which reports it and calls RecordFailure (the attempt is closed
//      with the error, and the document is offered again at the next pass).
//   3. The answer is read. When it cannot be used (a return value that is not a number, say),
//      the ERP may have booked the document: the attempt stays open and the document is in doubt.
//   4. The outcome is stored with the attempt's end in one row update, tried again a few times
//      when the database is locked, full or gone. When every try fails, the document is in doubt.
//   5. Only then the outcome's status text is shown.
//
// A document in doubt is never sent again automatically to an ERP component that cannot
// recognise a replay; one whose component accepts idempotency keys (TQSRemoteComponents.xml) is
// sent again with the same key at the next pass, and the ERP answers it with the first outcome
// without booking it again. The key is the installation's id and the row's INTERACTIONKEY.
//
// Borrows the window, the log, the registry and the clock; runs on the window's thread, not
// thread-safe. One document at a time: Begin resets the state for the current row.
#ifndef TQS_BROKER_ERP_DELIVERY_H_
#define TQS_BROKER_ERP_DELIVERY_H_

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "broker/broker_window.h"
#include "broker/error_log.h"
#include "broker/interaction_outcome.h"
#include "broker/status_texts.h"
#include "common/date_time.h"
#include "platform/automation/component_registry.h"
#include "platform/automation/variant.h"

namespace tqs::broker {

// How often and how patiently a row update after the ERP's answer is tried.
struct SaveRetry {
  int tries = 4;
  std::chrono::milliseconds first_wait{500};             // doubled after each further failure
  std::function<void(std::chrono::milliseconds)> sleep;  // none: the thread sleeps
};

class ErpDelivery {
 public:
  // What the processor read from the ERP's answer: the row's outcome and the status text to
  // show once it is stored.
  struct Answer {
    InteractionOutcome outcome;
    std::optional<StatusSlot> shown;
  };

  // `booking_component` is the identifier of the component whose call books the document (the
  // manager); its registry entry says whether it accepts idempotency keys. Everything is
  // borrowed and must outlive the delivery.
  ErpDelivery(frmTQSRemoteBroker& window, const ErrorLog& error_log,
              const automation::ComponentRegistry& components, const Clock& clock,
              std::string_view booking_component, std::string_view procedure, SaveRetry retry = {});

  // Whether a document of this kind may be sent again safely: its component accepts keys and
  // the server database has an installation id to make them.
  bool ErpRecognisesReplays() const;

  // The idempotency key of the current row, or none when the component does not take keys.
  std::optional<std::string> IdempotencyKey() const;

  // Hands the current row's key to `object` (setIdempotencyKey) when the component takes keys;
  // does nothing otherwise.
  void HandKeyTo(const automation::ObjectPtr& object) const;

  // Starts the current row's document: nothing is recorded yet.
  void Begin();

  // Steps 1 to 5 above. Raises only what `booking_call` raised; every other failure is
  // reported here. Returns whether the outcome was stored.
  bool Deliver(const std::function<automation::Variant()>& booking_call,
               const std::function<Answer(const automation::Variant&)>& read_answer);

  // Records a failure that ends the document before its outcome: one before the booking call
  // counts as an attempt with its error, one raised by the call closes the open attempt with
  // it. Does nothing after Deliver dealt with the failure itself. Never raises.
  void RecordFailure(std::string_view description);

 private:
  enum class State {
    kIdle,      // nothing recorded for the current document
    kCallOpen,  // the attempt is recorded and the booking call is under way or raised
    kSettled,   // Deliver has stored the outcome or reported why it could not
  };

  // Reports `message` in the status box and the log under the procedure's name.
  void Report(const std::string& message) const;
  // What happens to a document in doubt, for the operator.
  std::string InDoubtConsequence() const;
  void Wait(std::chrono::milliseconds wait) const;

  // Borrowed, fixed at construction.
  frmTQSRemoteBroker& window_;
  const ErrorLog& error_log_;
  const automation::ComponentRegistry& components_;
  const Clock& clock_;
  const std::string booking_component_;
  const std::string procedure_;
  const SaveRetry retry_;

  // The current document.
  State state_ = State::kIdle;
};

}  // namespace tqs::broker

#endif  // TQS_BROKER_ERP_DELIVERY_H_
