// JobSheetProcessor is the processor of job sheets (business document type 5): the procedure
// ProcessJobSheets feeds the job sheet of the pass's current row into the ERP's job sheet
// component and finishes the row with the outcome.
//
// For one document it creates the manager, the state, the error structure, the job sheet for
// processing, the service order data, an order details placeholder and the activities
// collection (in this order), writes a heading line to the status box from the row's document
// id (<slot 7> <job sheet> for "4711_0", <slot 16> <activity> <slot 10> <job sheet> for
// "4711_10_3"), fills the service order from the first serviceorder element of the document
// (broker/job_sheet_assembly.h), initialises the manager with the row's business component and
// calls ProcessJobSheet(employee, job sheet, 0, state, error structure, 0). The error structure
// it hands back becomes the result document (broker/job_sheet_process_result.h) and its return
// value decides the row's status:
//
//   0         INTERACTIONSTATUS 10, status text 11 in the status box
//   -1, -2    INTERACTIONSTATUS 15, status text 0
//   -3        INTERACTIONSTATUS 15, status text 14
//   other     INTERACTIONSTATUS null, nothing in the status box
//
// ProcessJobSheet is made through ErpDelivery (broker/erp_delivery.h): the attempt is recorded
// on the row before it, a component that accepts idempotency keys receives the row's key on the
// state object (setIdempotencyKey), and the row receives INTERACTIONRESULT, INTERACTIONSTATUS
// and PROCESSEDON in one update with the attempt's end; the status text follows once the update
// has succeeded. A failure before the ERP took the document (a document id without "_", a
// missing attribute or element, a payment amount that is not a number, an inspection line that
// could not be mapped, an ERP error raised by a call) ends the procedure: the description
// (status text 17 for the ERP's generic failure code) and CR LF go to the status box, "Error
// <description> in ProcessJobSheets" to the error log, the attempt is recorded with its error,
// and the row keeps status 5 to be offered again at the next pass. After the ERP answered (a
// return value that is not a whole number, a row that cannot be stored), the document is in
// doubt instead, as ErpDelivery says.
//
// Runs on the window's thread; not thread-safe.
#ifndef TQS_BROKER_JOB_SHEET_PROCESSOR_H_
#define TQS_BROKER_JOB_SHEET_PROCESSOR_H_

#include <string>

#include "broker/broker_window.h"
#include "broker/business_document_processor.h"
#include "broker/erp_delivery.h"
#include "broker/error_log.h"
#include "broker/failure_reporter.h"
#include "broker/job_sheet_assembly.h"
#include "broker/job_sheet_process_result.h"
#include "broker/line_mapping.h"
#include "broker/order_mapping.h"
#include "common/conversions.h"
#include "common/date_time.h"
#include "platform/automation/component_registry.h"

namespace tqs::broker {

class JobSheetProcessor final : public BusinessDocumentProcessor {
 public:
  // Everything but the settings is borrowed and must outlive the processor. The settings govern
  // how payment amounts, registration dates and the ERP's numeric answers are read.
  JobSheetProcessor(frmTQSRemoteBroker& window, const ErrorLog& error_log,
                    const automation::ComponentRegistry& components, const Clock& clock,
                    RegionalSettings settings = RegionalSettings::Current(), SaveRetry retry = {});

  void Process() override { ProcessJobSheets(); }
  bool ErpRecognisesReplays() const override { return delivery_.ErpRecognisesReplays(); }

  void ProcessJobSheets();

 private:
  // The work of ProcessJobSheets; failures escape to it.
  void ProcessCurrentJobSheet();
  // The status box line that names the document being processed.
  void WriteHeading(const std::string& document_id);

  // Borrowed, fixed at construction.
  frmTQSRemoteBroker& window_;
  const automation::ComponentRegistry& components_;
  const Clock& clock_;
  const RegionalSettings settings_;

  // The parts of the procedure.
  const FailureReporter reporter_;
  const OrderMapping orders_;
  const LineMapping lines_;
  const JobSheetAssembly assembly_;
  const JobSheetProcessResult result_;
  ErpDelivery delivery_;
};

}  // namespace tqs::broker

#endif  // TQS_BROKER_JOB_SHEET_PROCESSOR_H_
