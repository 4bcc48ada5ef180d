#include "broker/broker_worker.h"

#include <memory>
#include <utility>

#include "common/text.h"
#include "platform/db/recordset.h"

namespace tqs::broker {

BrokerWorker::BrokerWorker(const frmTQSRemoteBroker& pass_window, const ErrorLog& error_log,
                           const automation::ComponentRegistry& components, const Clock& clock,
                           const RegionalSettings& settings)
    : job_sheets_(window_, error_log, components, clock, settings),
      general_hours_(window_, error_log, components, clock, settings),
      service_inspections_(window_, error_log, components, clock, settings),
      handler_(window_, error_log, {job_sheets_, general_hours_, service_inspections_}) {
  window_.m_sErrorLogFile = pass_window.m_sErrorLogFile;
  window_.m_sConnectionString = pass_window.m_sConnectionString;
  window_.m_sLocaleId = pass_window.m_sLocaleId;
  window_.m_asStatusText = pass_window.m_asStatusText;
  window_.m_bManualProcessing = pass_window.m_bManualProcessing;
  window_.m_sInstallationId = pass_window.m_sInstallationId;
  window_.m_iWorkers = pass_window.m_iWorkers;
  window_.m_oBusinessDocument = std::make_unique<pugi::xml_document>();
}

db::Connection& BrokerWorker::Connect() {
  window_.m_oConnection = db::Connection::Open(window_.m_sConnectionString, "", "");
  return *window_.m_oConnection;
}

void BrokerWorker::ProcessEmployee(const std::string& employee) {
  if (window_.m_oInteractions) {
    window_.m_oInteractions->Close();
    window_.m_oInteractions.reset();
  }
  // Read after the claim was taken: rows another broker finished meanwhile are not among them.
  window_.m_oInteractions = db::Recordset::Open(
      "SELECT * FROM CLIENTSERVERINTERACTION WHERE INTERACTIONSTATUS=5 AND EMPLOYEEID = " +
          QuoteSql(employee) + " ORDER BY INTERACTIONKEY",
      *window_.m_oConnection, db::CursorType::kKeyset, db::LockType::kOptimistic);
  handler_.VisitRows();
  window_.m_oInteractions->Close();
  window_.m_oInteractions.reset();
}

std::string BrokerWorker::TakeStatusLines() {
  std::string lines = window_.txtProcessStatus.text();
  window_.txtProcessStatus.SetText("");
  return lines;
}

}  // namespace tqs::broker
