#include "broker/processing_pass.h"

#include <exception>
#include <memory>
#include <utility>

#include "common/pass_lock.h"
#include "broker/server_database.h"
#include "common/error.h"
#include "common/text.h"
#include "platform/db/recordset.h"
#include "platform/xml/xml.h"

namespace tqs::broker {

namespace {

constexpr std::string_view kPendingRowsQuery =
    "SELECT * FROM CLIENTSERVERINTERACTION WHERE INTERACTIONSTATUS=5 ORDER BY EMPLOYEEID";
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
  try {
    RunPass();
  } catch (const std::exception&) {
    // The pass ends here without a message; the remaining rows stay pending for the next one.
  }
}

void ProcessingPass::RunPass() {
  OpenDatabase(window_, error_log_);
  // Held until the pass ends, however it ends; taken before the pending rows are read so that
  // no two passes ever hold the same rows.
  const std::unique_ptr<PassLock> lock = TakePassLock();
  if (!lock) return;
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
  while (!rows.IsEOF()) {
    window_.m_sEmployeeId = rows.Field("EMPLOYEEID").AsText();
    if (Trim(window_.m_sEmployeeId) != Trim(previous_employee)) {
      previous_employee.clear();
      window_.m_sBusComponent = RetrieveBusComponent(rows.Field("EMPLOYEEID").AsText());
      if (!Trim(window_.m_sBusComponent).empty()) {
        DispatchCurrentRow();
      } else {
        previous_employee = window_.m_sEmployeeId;
        ReportInvalidBusComponent();
      }
    }
    rows.MoveNext();
  }

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

void ProcessingPass::DispatchCurrentRow() {
  db::Recordset& rows = *window_.m_oInteractions;
  const std::string contents = rows.Field("BUSINESSDOCUMENTCONTENTS").AsText();
  // A document that is not well-formed is left pending without a message.
  if (!xml::LoadXml(*window_.m_oBusinessDocument, contents)) return;
  const std::string type = rows.Field("BUSINESSDOCUMENTTYPE").AsText();
  if (type == "5") {
    processors_.job_sheets.Process();
  } else if (type == "10") {
    processors_.general_hours.Process();
  } else if (type == "15") {
    processors_.service_inspections.Process();
  }
  // Any other type is left pending without a message.
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
