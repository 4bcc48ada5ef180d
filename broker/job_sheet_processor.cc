#include "broker/job_sheet_processor.h"

namespace tqs::broker {

JobSheetProcessor::JobSheetProcessor(frmTQSRemoteBroker& window, const ErrorLog& error_log,
                                     const automation::ComponentRegistry& components,
                                     const Clock& clock)
    : window_(window), error_log_(error_log), components_(components), clock_(clock) {}

void JobSheetProcessor::ProcessJobSheets() {
  // Not filled in yet: the row is left unchanged and stays pending.
}

}  // namespace tqs::broker
