// ServiceInspectionProcessor is the processor of service inspections (business document type 15):
// the procedure ProcessServiceInspections feeds the document of the pass's current row into the ERP
// through the components it creates by programmatic identifier, and writes the row's result, status
// and processing time.
//
// Not filled in yet: ProcessServiceInspections does nothing, so the pass hands such rows on and
// they stay pending (status 5) for a later run.
//
// Runs on the window's thread; not thread-safe.
#ifndef TQS_BROKER_SERVICE_INSPECTION_PROCESSOR_H_
#define TQS_BROKER_SERVICE_INSPECTION_PROCESSOR_H_

#include "broker/broker_window.h"
#include "broker/business_document_processor.h"
#include "broker/error_log.h"
#include "common/date_time.h"
#include "platform/automation/component_registry.h"

namespace tqs::broker {

class ServiceInspectionProcessor final : public BusinessDocumentProcessor {
 public:
  // Everything is borrowed and must outlive the processor.
  ServiceInspectionProcessor(frmTQSRemoteBroker& window, const ErrorLog& error_log,
                             const automation::ComponentRegistry& components, const Clock& clock);

  void Process() override { ProcessServiceInspections(); }

  void ProcessServiceInspections();

 private:
  frmTQSRemoteBroker& window_;
  const ErrorLog& error_log_;
  const automation::ComponentRegistry& components_;
  const Clock& clock_;
};

}  // namespace tqs::broker

#endif  // TQS_BROKER_SERVICE_INSPECTION_PROCESSOR_H_
