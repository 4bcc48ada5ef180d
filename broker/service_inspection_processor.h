// ServiceInspectionProcessor is the processor of service inspections (business document type
// 15): a set of measurements on one serviced object, uploaded as a document whose root element
// is SERVICEINSPECTION with its header ATTRIBUTES and its INSPECTIONS. ProcessServiceInspections
// builds the ERP's service inspection objects (Q72dVXRsvordServiceInspections, created by
// programmatic identifier), has the ERP's manager process them, and finishes the pass's current
// row in one update: the si result element, PROCESSEDON now, and the status the ERP's return
// value gives:
//
//   0         INTERACTIONSTATUS 10, status text 11 in the status box
//   -1        INTERACTIONSTATUS 15, status text 0
//   -3        INTERACTIONSTATUS 15, status text 14
//   any other INTERACTIONSTATUS null, nothing in the status box
//
// The inspections are handed over one by one: after each addInspection the inspection list is
// set on the service inspection and the service inspection on the process input again.
// ProcessServiceInspection, the call that books them, is made through ErpDelivery
// (broker/erp_delivery.h): the attempt is recorded before it, and a manager that accepts
// idempotency keys receives the row's key first (setIdempotencyKey). A failure before the ERP
// took the document is reported (the description in the status box, or status text 17 for the
// ERP's generic failure code; "Error <description> in ProcessServiceInspections" in the error
// log), recorded as the attempt's error, and the row stays pending, to be offered again at the
// next pass. After the ERP answered (an answer that cannot be read, a row that cannot be
// stored) the document is in doubt instead, as ErpDelivery says.
//
// Runs on the window's thread; not thread-safe.
#ifndef TQS_BROKER_SERVICE_INSPECTION_PROCESSOR_H_
#define TQS_BROKER_SERVICE_INSPECTION_PROCESSOR_H_

#include <string>

#include "broker/broker_window.h"
#include "broker/business_document_processor.h"
#include "broker/erp_delivery.h"
#include "broker/error_log.h"
#include "broker/failure_reporter.h"
#include "broker/service_inspection_mapping.h"
#include "common/conversions.h"
#include "common/date_time.h"
#include "platform/automation/component_registry.h"

namespace tqs::broker {

class ServiceInspectionProcessor final : public BusinessDocumentProcessor {
 public:
  // Everything but the settings is borrowed and must outlive the processor. The settings
  // govern how the ERP's result code and return value are read.
  ServiceInspectionProcessor(frmTQSRemoteBroker& window, const ErrorLog& error_log,
                             const automation::ComponentRegistry& components, const Clock& clock,
                             RegionalSettings settings = RegionalSettings::Current(),
                             SaveRetry retry = {});

  void Process() override { ProcessServiceInspections(); }
  bool ErpRecognisesReplays() const override { return delivery_.ErpRecognisesReplays(); }

  void ProcessServiceInspections();

 private:
  // The work of ProcessServiceInspections; errors escape to it.
  void ProcessInspection();
  // The si element of the outcome's error structure; the empty text after a reported failure
  // of the element itself.
  std::string ReadResult(const automation::ObjectPtr& outcome) const;

  frmTQSRemoteBroker& window_;
  const automation::ComponentRegistry& components_;
  const Clock& clock_;
  const RegionalSettings settings_;
  const FailureReporter reporter_;
  const ServiceInspectionMapping mapping_;
  ErpDelivery delivery_;
};

}  // namespace tqs::broker

#endif  // TQS_BROKER_SERVICE_INSPECTION_PROCESSOR_H_
