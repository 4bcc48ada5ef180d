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
constexpr std::string_view kBannerStart = "|*****  ";
constexpr std::string_view kBannerEnd = "  *****|";
constexpr std::string_view kAnotherPassRunning =
    "Another processing pass is running on this server database; this pass ends without "
    "processing any document";

}  // namespace

ProcessingPass::ProcessingPass(frmTQSRemoteBroker& window, const ErrorLog& error_log,
                               DocumentProcessors processors, const Clock& clock,
                               RegionalSettings settings)
    : window_(window),
      error_log_(error_log),
      processors_(processors),
      clock_(clock),
      settings_(std::move(settings)) {}

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
  // Held until the pass ends, however it ends; taken before the pending rows are read so that
  // no two passes ever hold the same rows.
  const std::unique_ptr<PassLock> lock = TakePassLock();
  if (!lock) return;
  window_.m_sInstallationId = ReadInstallationId();
  std::string previous_employee;
  window_.m_oBusinessDocument = std::make_unique<pugi::xml_document>();
  if (window_.m_oInteractions) {
    window_.m_oInteractions->Close();
    window_.m_oInteractions.reset();
  }
  window_.m_oInteractions = db::Recordset::Open(kPendingRowsQuery, ServerConnection(window_),
                                                db::CursorType::kKeyset, db::LockType::kOptimistic);

  const StatusTexts& texts = window_.m_asStatusText;
  std::string banner(kBannerStart);
  banner += texts[StatusSlot::kPassStarted];
  banner += FormatGeneralDate(clock_.Now(), settings_);
  banner += kBannerEnd;
  banner += kCrLf;
  window_.txtProcessStatus.SetText(std::move(banner));

  db::Recordset& rows = *window_.m_oInteractions;
  in_doubt_ = 0;
  while (!rows.IsEOF()) {
    try {
      VisitCurrentRow(previous_employee);
    } catch (const Error& error) {
      if (error.number() != error_number::kNoCurrentRecord) throw;
      // Deleted since the set was opened: nothing is left to process.
    }
    rows.MoveNext();
  }
  ReportDocumentsInDoubt();

  std::string closing(kCrLf);
  closing += kBannerStart;
  closing += texts[StatusSlot::kPassFinished];
  closing += kBannerEnd;
  closing += kCrLf;
  window_.txtProcessStatus.Append(closing);
}

std::unique_ptr<PassLock> ProcessingPass::TakePassLock() {
  std::string message;
  for (int attempt = 1;; ++attempt) {
    // Without a connection the pass ends silently, as at its other database calls:
    // OpenDatabase has reported why.
    db::Connection& connection = ServerConnection(window_);
    try {
      if (auto lock = PassLock::TryAcquire(window_.m_sConnectionString, connection)) {
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

void ProcessingPass::VisitCurrentRow(std::string& previous_employee) {
  // A row that cannot be read is passed over with a message; it never ends or blocks the pass.
  if (const std::optional<std::string> unreadable = UnreadableColumn()) {
    ReportUnreadableRow(*unreadable);
    return;
  }
  if (!StillPending()) return;
  db::Recordset& rows = *window_.m_oInteractions;
  window_.m_sEmployeeId = rows.Field("EMPLOYEEID").AsText();
  if (Trim(window_.m_sEmployeeId) == Trim(previous_employee)) return;
  previous_employee.clear();
  window_.m_sBusComponent = RetrieveBusComponent(rows.Field("EMPLOYEEID").AsText());
  if (!Trim(window_.m_sBusComponent).empty()) {
    DispatchCurrentRow();
  } else {
    previous_employee = window_.m_sEmployeeId;
    ReportInvalidBusComponent();
  }
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

std::optional<std::string> ProcessingPass::UnreadableColumn() const {
  const db::Recordset& rows = *window_.m_oInteractions;
  for (const char* column : {"EMPLOYEEID", "BUSINESSDOCUMENTTYPE", "BUSINESSDOCUMENTCONTENTS"}) {
    if (rows.Field(column).IsNull()) return std::string(column);
  }
  return std::nullopt;
}

void ProcessingPass::ReportUnreadableRow(const std::string& column) {
  const std::string message = "The pending row with INTERACTIONKEY " +
                              window_.m_oInteractions->Field("INTERACTIONKEY").AsText() +
                              " has no " + column + "; it is passed over";
  window_.txtProcessStatus.Append(message + std::string(kCrLf));
  error_log_.WriteErrorLogEntry(window_.m_sErrorLogFile, "processBusinessdocuments",
                                ErrorPrefix::kErrorColon, message);
}

bool ProcessingPass::StillPending() const {
  // The row is read when it becomes current: one that another pass finished since the set was
  // opened shows its new status here and is left alone.
  const db::Variant status = window_.m_oInteractions->Field("INTERACTIONSTATUS");
  return !status.IsNull() && status.AsInt32() == ToNumber(InteractionStatus::kPending);
}

BusinessDocumentProcessor* ProcessingPass::ProcessorOf(const std::string& type) const {
  if (type == "5") return &processors_.job_sheets;
  if (type == "10") return &processors_.general_hours;
  if (type == "15") return &processors_.service_inspections;
  return nullptr;
}

void ProcessingPass::DispatchCurrentRow() {
  db::Recordset& rows = *window_.m_oInteractions;
  const std::string contents = rows.Field("BUSINESSDOCUMENTCONTENTS").AsText();
  // A document that is not well-formed is left pending without a message.
  if (!xml::LoadXml(*window_.m_oBusinessDocument, contents)) return;
  // Any other type is left pending without a message.
  BusinessDocumentProcessor* processor = ProcessorOf(rows.Field("BUSINESSDOCUMENTTYPE").AsText());
  if (processor == nullptr) return;
  // The ERP may have booked a document whose last attempt never finished: only a component that
  // recognises a document sent again may have it once more.
  const db::Variant attempt_open = rows.Field("ATTEMPTOPEN");
  if (!attempt_open.IsNull() && attempt_open.AsInt32() != 0 && !processor->ErpRecognisesReplays()) {
    ++in_doubt_;
    return;
  }
  processor->Process();
}

void ProcessingPass::ReportDocumentsInDoubt() {
  if (in_doubt_ == 0) return;
  const std::string message =
      std::to_string(in_doubt_) +
      " pending document(s) are in doubt: the ERP may have booked them before an earlier pass "
      "could store the outcome. They are not sent again until an operator decides "
      "(TQSRemoteAdmin documents --in-doubt; requeue or resolve --done)";
  window_.txtProcessStatus.Append(message + std::string(kCrLf));
  error_log_.WriteErrorLogEntry(window_.m_sErrorLogFile, "processBusinessdocuments",
                                ErrorPrefix::kErrorColon, message);
}

void ProcessingPass::ReportInvalidBusComponent() {
  // The entry names ProcessJobSheets whatever the document type: operators search for it so.
  error_log_.WriteErrorLogEntry(window_.m_sErrorLogFile, "ProcessJobSheets",
                                ErrorPrefix::kErrorColon, "Invalid Bus Component");
  const StatusTexts& texts = window_.m_asStatusText;
  std::string line = texts[StatusSlot::kInvalidBusComponent];
  line += ' ';
  line += texts[StatusSlot::kNoBusComponent];
  line += ' ';
  line += texts[StatusSlot::kForEmployee];
  line += ' ';
  line += window_.m_sEmployeeId;
  line += kCrLf;
  window_.txtProcessStatus.Append(line);
}

std::string ProcessingPass::RetrieveBusComponent(std::string_view i_sUserId) {
  std::unique_ptr<db::Recordset> rs;
  try {
    // The id goes in as an SQL literal, so an apostrophe in it is looked up, not a syntax error.
    rs = db::Recordset::Open(
        "SELECT USERDEFAULTS.BUSCOMPONENT FROM USERDEFAULTS WHERE EMNO = " + QuoteSql(i_sUserId),
        ServerConnection(window_));
    std::string bus_component;
    if (!rs->IsEOF()) bus_component = rs->Field("BUSCOMPONENT").AsText();
    rs->Close();
    return bus_component;
  } catch (const std::exception& error) {
    window_.txtProcessStatus.Append(std::string(error.what()) + std::string(kCrLf));
    error_log_.WriteErrorLogEntry(window_.m_sErrorLogFile, "RetrieveBusComponent",
                                  ErrorPrefix::kErrorColon, error.what());
    if (rs && rs->IsOpen()) rs->Close();
    return "";
  }
}

}  // namespace tqs::broker
