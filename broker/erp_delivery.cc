#include "broker/erp_delivery.h"

#include <exception>
#include <thread>
#include <utility>

#include "common/erp/contract.h"

namespace tqs::broker {

using automation::Variant;

namespace {

constexpr std::string_view kOperatorHint = "TQSRemoteAdmin documents --in-doubt";

}  // namespace

ErpDelivery::ErpDelivery(frmTQSRemoteBroker& window, const ErrorLog& error_log,
                         const automation::ComponentRegistry& components, const Clock& clock,
                         std::string_view booking_component, std::string_view procedure,
                         SaveRetry retry)
    : window_(window),
      error_log_(error_log),
      components_(components),
      clock_(clock),
      booking_component_(booking_component),
      procedure_(procedure),
      retry_(std::move(retry)) {}

bool ErpDelivery::ErpRecognisesReplays() const {
  return !window_.m_sInstallationId.empty() &&
         components_.AcceptsIdempotencyKeys(booking_component_);
}

std::optional<std::string> ErpDelivery::IdempotencyKey() const {
  if (!ErpRecognisesReplays() || !window_.m_oInteractions) return std::nullopt;
  return window_.m_sInstallationId + "/" +
         window_.m_oInteractions->Field("INTERACTIONKEY").AsText();
}

void ErpDelivery::HandKeyTo(const automation::ObjectPtr& object) const {
  if (const std::optional<std::string> key = IdempotencyKey()) {
    object->Call(erp::kSetIdempotencyKey, {Variant(*key)});
  }
}

void ErpDelivery::Begin() { state_ = State::kIdle; }

bool ErpDelivery::Deliver(const std::function<Variant()>& booking_call,
                          const std::function<Answer(const Variant&)>& read_answer) {
  db::Recordset& row = *window_.m_oInteractions;
  try {
    RecordAttemptStart(row, clock_.Now());
  } catch (const std::exception& error) {
    state_ = State::kSettled;
    Report(std::string("The document was not handed to the ERP, because its attempt could not "
                       "be recorded in the server database: ") +
           error.what() + ". It stays pending for the next pass.");
    return false;
  }
  state_ = State::kCallOpen;
  const Variant answer = booking_call();  // its failure is the processor's to report

  Answer read;
  try {
    read = read_answer(answer);
  } catch (const std::exception& error) {
    state_ = State::kSettled;
    const std::string message = std::string("The ERP answered, but its answer cannot be used: ") +
                                error.what() + ". The ERP may have booked the document";
    try {
      RecordUnusableAnswer(row, message);
    } catch (const std::exception&) {
      // The attempt stays open all the same; the log keeps the reason.
    }
    Report(message + "; " + InDoubtConsequence());
    return false;
  }

  std::chrono::milliseconds wait = retry_.first_wait;
  std::string first_error;  // the cause; later tries often fail only as its consequence
  for (int attempt = 1;; ++attempt) {
    try {
      StageAndSaveInteractionOutcome(row, read.outcome);
      break;
    } catch (const std::exception& error) {
      if (first_error.empty()) first_error = error.what();
      if (attempt < retry_.tries) {
        Wait(wait);
        wait *= 2;
        continue;
      }
      row.CancelUpdate();
      state_ = State::kSettled;
      window_.m_bPassIncomplete = true;
      Report(std::string("The ERP took the document, but its outcome could not be stored in the "
                         "server database after ") +
             std::to_string(retry_.tries) + " tries: " + first_error + "; " + InDoubtConsequence());
      return false;
    }
  }
  state_ = State::kSettled;
  if (read.shown) {
    std::string line = window_.m_asStatusText[*read.shown];
    line += kCrLf;
    line += kCrLf;
    window_.txtProcessStatus.Append(line);
  }
  return true;
}

void ErpDelivery::RecordFailure(std::string_view description) {
  if (state_ == State::kSettled || !window_.m_oInteractions) return;
  const bool opened = state_ == State::kCallOpen;
  state_ = State::kSettled;
  try {
    RecordAttemptFailure(*window_.m_oInteractions, opened, clock_.Now(), description);
  } catch (const std::exception& error) {
    if (!opened) return;  // nothing was handed over: the row is pending as before
    window_.m_bPassIncomplete = true;
    Report(std::string("The ERP refused the document, but the refusal could not be recorded in "
                       "the server database: ") +
           error.what() + "; " + InDoubtConsequence());
  }
}

std::string ErpDelivery::InDoubtConsequence() const {
  if (ErpRecognisesReplays()) {
    return "it is sent again with the same idempotency key at the next pass, and the ERP "
           "answers it without booking it twice.";
  }
  return "the document is in doubt and is not sent again until an operator decides (" +
         std::string(kOperatorHint) + ").";
}

void ErpDelivery::Report(const std::string& message) const {
  window_.txtProcessStatus.Append(message + std::string(kCrLf));
  error_log_.WriteErrorLogEntry(window_.m_sErrorLogFile, procedure_, ErrorPrefix::kError, message);
}

void ErpDelivery::Wait(std::chrono::milliseconds wait) const {
  if (retry_.sleep) {
    retry_.sleep(wait);
  } else {
    std::this_thread::sleep_for(wait);
  }
}

}  // namespace tqs::broker
