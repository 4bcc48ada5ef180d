#include "broker/pending_row_handler.h"

#include <exception>
#include <memory>
#include <optional>

#include "broker/server_database.h"
#include "common/error.h"
#include "common/interaction_types.h"
#include "common/text.h"
#include "platform/db/recordset.h"
#include "platform/xml/xml.h"

namespace tqs::broker {

PendingRowHandler::PendingRowHandler(frmTQSRemoteBroker& window, const ErrorLog& error_log,
                                     DocumentProcessors processors)
    : window_(window), error_log_(error_log), processors_(processors) {}

void PendingRowHandler::VisitRows() {
  db::Recordset& rows = *window_.m_oInteractions;
  std::string previous_employee;
  while (!rows.IsEOF()) {
    try {
      VisitCurrentRow(previous_employee);
    } catch (const Error& error) {
      if (error.number() != error_number::kNoCurrentRecord) throw;
      // Deleted since the set was opened: nothing is left to process.
    }
    rows.MoveNext();
  }
}

void PendingRowHandler::VisitCurrentRow(std::string& previous_employee) {
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

std::optional<std::string> PendingRowHandler::UnreadableColumn() const {
  const db::Recordset& rows = *window_.m_oInteractions;
  for (const char* column : {"EMPLOYEEID", "BUSINESSDOCUMENTTYPE", "BUSINESSDOCUMENTCONTENTS"}) {
    if (rows.Field(column).IsNull()) return std::string(column);
  }
  return std::nullopt;
}

void PendingRowHandler::ReportUnreadableRow(const std::string& column) {
  const std::string message = "The pending row with INTERACTIONKEY " +
                              window_.m_oInteractions->Field("INTERACTIONKEY").AsText() +
                              " has no " + column + "; it is passed over";
  window_.txtProcessStatus.Append(message + std::string(kCrLf));
  error_log_.WriteErrorLogEntry(window_.m_sErrorLogFile, "processBusinessdocuments",
                                ErrorPrefix::kErrorColon, message);
}

bool PendingRowHandler::StillPending() const {
  // The row is read when it becomes current: one that another pass finished since the set was
  // opened shows its new status here and is left alone.
  const db::Variant status = window_.m_oInteractions->Field("INTERACTIONSTATUS");
  return !status.IsNull() && status.AsInt32() == ToNumber(InteractionStatus::kPending);
}

BusinessDocumentProcessor* PendingRowHandler::ProcessorOf(const std::string& type) const {
  if (type == "5") return &processors_.job_sheets;
  if (type == "10") return &processors_.general_hours;
  if (type == "15") return &processors_.service_inspections;
  return nullptr;
}

void PendingRowHandler::DispatchCurrentRow() {
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

void PendingRowHandler::ReportInvalidBusComponent() {
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

std::string PendingRowHandler::RetrieveBusComponent(std::string_view i_sUserId) {
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
