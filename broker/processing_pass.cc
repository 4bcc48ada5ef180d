#include "broker/processing_pass.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <utility>

#include "broker/server_database.h"
#include "common/error.h"
#include "common/interaction_types.h"
#include "common/pass_lock.h"
#include "common/text.h"
#include "platform/db/recordset.h"
#include "platform/xml/xml.h"

namespace tqs::broker {

namespace {

// Within an employee, in upload order: a completion must never reach the ERP before the progress
// report uploaded before it.
constexpr std::string_view kPendingRowsQuery =
    "SELECT * FROM CLIENTSERVERINTERACTION WHERE INTERACTIONSTATUS=5 ORDER BY EMPLOYEEID, "
    "INTERACTIONKEY";
constexpr std::string_view kRowsWithoutEmployeeQuery =
    "SELECT * FROM CLIENTSERVERINTERACTION WHERE INTERACTIONSTATUS=5 AND EMPLOYEEID IS NULL "
    "ORDER BY INTERACTIONKEY";
constexpr std::string_view kBannerStart = "|*****  ";
constexpr std::string_view kBannerEnd = "  *****|";
constexpr std::string_view kAnotherPassRunning =
    "Another processing pass is running on this server database; this pass ends without "
    "processing any document";

}  // namespace

ProcessingPass::ProcessingPass(frmTQSRemoteBroker& window, const ErrorLog& error_log,
                               DocumentProcessors processors, const Clock& clock,
                               RegionalSettings settings, const WorkerPass* worker_pass)
    : window_(window),
      error_log_(error_log),
      clock_(clock),
      settings_(std::move(settings)),
      worker_pass_(worker_pass),
      rows_(window, error_log, processors) {}

std::string ProcessingPass::RetrieveBusComponent(std::string_view i_sUserId) {
  return rows_.RetrieveBusComponent(i_sUserId);
}

void ProcessingPass::processBusinessdocuments() {
  window_.m_bPassIncomplete = false;
  window_.m_ePassRefusal = PassRefusal::kNone;
  try {
    RunPass();
  } catch (const std::exception& error) {
    // The remaining rows stay pending for the next pass; the operator and the scheduler learn
    // that this one did not get through them.
    window_.m_bPassIncomplete = true;
    const std::string message = std::string("The processing pass stopped early: ") + error.what() +
                                ". The documents not reached stay pending for the next pass.";
    window_.txtProcessStatus.Append(message + std::string(kCrLf));
    error_log_.WriteErrorLogEntry(window_.m_sErrorLogFile, "processBusinessdocuments",
                                  ErrorPrefix::kErrorColon, message);
  }
}

void ProcessingPass::RunPass() {
  OpenDatabase(window_, error_log_);
  const int workers = WorkersOfThisPass();
  // Held until the pass ends, however it ends; taken before the pending rows are read so that
  // no two passes ever hold the same rows. Passes with several workers share it: their workers
  // claim each employee for themselves.
  const std::unique_ptr<PassLock> lock =
      TakePassLock(workers > 1 ? PassLock::Mode::kShared : PassLock::Mode::kExclusive);
  if (!lock) return;
  window_.m_sInstallationId = ReadInstallationId();
  window_.m_oBusinessDocument = std::make_unique<pugi::xml_document>();
  if (window_.m_oInteractions) {
    window_.m_oInteractions->Close();
    window_.m_oInteractions.reset();
  }
  // With several workers, the pass itself only reports the rows that name no employee; the
  // workers take the others employee by employee.
  window_.m_oInteractions = db::Recordset::Open(
      workers > 1 ? kRowsWithoutEmployeeQuery : kPendingRowsQuery, ServerConnection(window_),
      db::CursorType::kKeyset, db::LockType::kOptimistic);

  const StatusTexts& texts = window_.m_asStatusText;
  std::string banner(kBannerStart);
  banner += texts[StatusSlot::kPassStarted];
  banner += FormatGeneralDate(clock_.Now(), settings_);
  banner += kBannerEnd;
  banner += kCrLf;
  window_.txtProcessStatus.SetText(std::move(banner));
  ReportOneWorkerOnly();

  rows_.ResetInDoubt();
  rows_.VisitRows();
  int in_doubt = rows_.in_doubt();
  if (workers > 1) {
    const WorkerPass::Outcome outcome = worker_pass_->Run(window_, workers);
    in_doubt += outcome.in_doubt;
    if (outcome.stopped_early) {
      ReportDocumentsInDoubt(in_doubt);
      throw Error(error_number::kGenericFailure, *outcome.stopped_early);
    }
  }
  ReportDocumentsInDoubt(in_doubt);

  std::string closing(kCrLf);
  closing += kBannerStart;
  closing += texts[StatusSlot::kPassFinished];
  closing += kBannerEnd;
  closing += kCrLf;
  window_.txtProcessStatus.Append(closing);
}

int ProcessingPass::WorkersOfThisPass() {
  if (worker_pass_ == nullptr || window_.m_iWorkers <= 1) return 1;
  if (const std::optional<std::string> component = worker_pass_->SingleThreadedComponent()) {
    if (!one_worker_reported_) {
      one_worker_note_ = "BROKER/Workers is " + std::to_string(window_.m_iWorkers) +
                         ", but the ERP components " + *component +
                         " are registered threads=\"single\" in TQSRemoteComponents.xml: the "
                         "broker runs one worker";
    }
    return 1;
  }
  return window_.m_iWorkers;
}

void ProcessingPass::ReportOneWorkerOnly() {
  if (one_worker_note_.empty()) return;
  window_.txtProcessStatus.Append(one_worker_note_ + std::string(kCrLf));
  error_log_.WriteErrorLogEntry(window_.m_sErrorLogFile, "processBusinessdocuments",
                                ErrorPrefix::kWarningColon, one_worker_note_);
  one_worker_note_.clear();
  one_worker_reported_ = true;
}

std::unique_ptr<PassLock> ProcessingPass::TakePassLock(PassLock::Mode mode) {
  std::string message;
  for (int attempt = 1;; ++attempt) {
    // Without a connection the pass ends silently, as at its other database calls:
    // OpenDatabase has reported why.
    db::Connection& connection = ServerConnection(window_);
    try {
      if (auto lock = PassLock::TryAcquire(window_.m_sConnectionString, connection, mode)) {
        return lock;
      }
      message = kAnotherPassRunning;
      window_.m_ePassRefusal = PassRefusal::kAnotherPassRunning;
      break;
    } catch (const Error& error) {
      message = error.what();
      if (attempt == 2) break;
      // The connection kept from the last pass may have been lost since (a server restart, a
      // network failure): the pass tries once more on a new one, so that a manual session
      // does not need a restart of the program.
      if (window_.m_oInteractions) {
        try {
          window_.m_oInteractions->Close();
        } catch (const std::exception&) {
          // A set on a lost connection has nothing left to close.
        }
        window_.m_oInteractions.reset();
      }
      window_.m_oConnection.reset();
      OpenDatabase(window_, error_log_);
    }
  }
  // Without the lock no row may be touched; the operator must learn why nothing happens.
  error_log_.WriteErrorLogEntry(window_.m_sErrorLogFile, "processBusinessdocuments",
                                ErrorPrefix::kErrorColon, message);
  window_.txtProcessStatus.Append(message + std::string(kCrLf));
  return nullptr;
}

std::string ProcessingPass::ReadInstallationId() {
  auto rs = db::Recordset::Open(
      "SELECT PARAMVALUE FROM PARAMETERS WHERE PARAMNAME = " + QuoteSql(kInstallationIdParameter),
      ServerConnection(window_), db::CursorType::kForwardOnly, db::LockType::kReadOnly);
  const db::Variant id = rs->IsEOF() ? db::Variant::Null() : rs->Field("PARAMVALUE");
  rs->Close();
  if (id.IsNull() || Trim(id.AsText()).empty()) {
    // Without the id the database also lacks the columns that record attempts: documents could
    // be booked twice. The database is brought up to date without losing a row by upgrade or
    // init-db.
    throw Error(error_number::kItemNotFound,
                "The server database has no installation id (PARAMETERS InstallationId) and so "
                "cannot record the broker's attempts; bring it up to date once with "
                "\"TQSRemoteAdmin upgrade DIR\" (or \"TQSRemoteAdmin init-db --dsn ...\"), "
                "which only adds what is missing");
  }
  return id.AsText();
}

void ProcessingPass::ReportDocumentsInDoubt(int in_doubt) {
  if (in_doubt == 0) return;
  const std::string message =
      std::to_string(in_doubt) +
      " pending document(s) are in doubt: the ERP may have booked them before an earlier pass "
      "could store the outcome. They are not sent again until an operator decides "
      "(TQSRemoteAdmin documents --in-doubt; requeue or resolve --done)";
  window_.txtProcessStatus.Append(message + std::string(kCrLf));
  error_log_.WriteErrorLogEntry(window_.m_sErrorLogFile, "processBusinessdocuments",
                                ErrorPrefix::kErrorColon, message);
}

}  // namespace tqs::broker
