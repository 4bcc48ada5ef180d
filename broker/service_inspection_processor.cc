#include "broker/service_inspection_processor.h"

namespace tqs::broker {

ServiceInspectionProcessor::ServiceInspectionProcessor(
    frmTQSRemoteBroker& window, const ErrorLog& error_log,
    const automation::ComponentRegistry& components, const Clock& clock)
    : window_(window), error_log_(error_log), components_(components), clock_(clock) {}

void ServiceInspectionProcessor::ProcessServiceInspections() {
  // Not filled in yet: the row is left unchanged and stays pending.
}

}  // namespace tqs::broker
