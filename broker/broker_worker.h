// A BrokerWorker is one worker of a processing pass that runs several: it handles the pending
// documents of one employee at a time, exactly as the single-worker pass handles that employee's
// rows (broker/pending_row_handler.h), on its own thread. To share nothing with the other
// workers it has its own copy of the run state the processors read (a private window holding the
// connection string, error log file, status texts, language, installation id and the current
// row, document, employee and business component), its own connection to the server database,
// and its own processors, so the ERP objects it creates are used by its thread only. The status
// lines it writes collect in its private status box until the pass moves them to the window's.
//
// Not thread-safe: one thread uses a worker.
#ifndef TQS_BROKER_BROKER_WORKER_H_
#define TQS_BROKER_BROKER_WORKER_H_

#include <string>

#include "broker/broker_window.h"
#include "broker/error_log.h"
#include "broker/general_hours_processor.h"
#include "broker/job_sheet_processor.h"
#include "broker/pending_row_handler.h"
#include "broker/service_inspection_processor.h"
#include "common/conversions.h"
#include "common/date_time.h"
#include "platform/automation/component_registry.h"
#include "platform/db/connection.h"

namespace tqs::broker {

class BrokerWorker {
 public:
  // Copies the run state of `pass_window` as the pass has set it up (installation id read);
  // the rest is borrowed and must outlive the worker.
  BrokerWorker(const frmTQSRemoteBroker& pass_window, const ErrorLog& error_log,
               const automation::ComponentRegistry& components, const Clock& clock,
               const RegionalSettings& settings);
  BrokerWorker(const BrokerWorker&) = delete;
  BrokerWorker& operator=(const BrokerWorker&) = delete;

  // Opens the worker's own connection. Raises tqs::Error with the provider's message.
  db::Connection& Connect();

  // Handles the rows of `employee` pending now, in upload order. The caller holds the employee's
  // claim. Errors reading or moving in the rows escape (the worker stops).
  void ProcessEmployee(const std::string& employee);

  // The status lines written since the last call, taken out of the private status box.
  std::string TakeStatusLines();

  // The documents in doubt the worker left alone so far.
  int in_doubt() const { return handler_.in_doubt(); }
  // Whether a document the worker handed to the ERP was left in doubt (its outcome not stored).
  bool left_document_in_doubt() const { return window_.m_bPassIncomplete; }

 private:
  // Declaration order is construction order: the processors work on the private window.
  frmTQSRemoteBroker window_;
  JobSheetProcessor job_sheets_;
  GeneralHoursProcessor general_hours_;
  ServiceInspectionProcessor service_inspections_;
  PendingRowHandler handler_;
};

}  // namespace tqs::broker

#endif  // TQS_BROKER_BROKER_WORKER_H_
