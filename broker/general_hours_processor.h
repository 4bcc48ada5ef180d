// GeneralHoursProcessor is the processor of general hours lines (business document type 10):
// one hours line booked outside any service order, uploaded as a document whose root element
// is `hour`. ProcessGeneralHours hands the line to the ERP's hours accounting component
// (TQSRCServiceOrderHoursAccounting, created by programmatic identifier), learns whether the
// ERP accepted it and under which line number, and finishes the pass's current row in one
// update:
//
//   ERP reports errors:  INTERACTIONSTATUS 15, result element with result 10, the first error's
//                        description and new 0; status text 0 in the status box
//   ERP reports none:    INTERACTIONSTATUS 10, result element with result 5, an empty error and
//                        the ERP's new line number; status text 11 in the status box
//
// and PROCESSEDON now, after a line "<status text 8> <lineid>" in the status box. A document
// whose root is not `hour` is left alone (no message, the row stays pending). Create, the call
// that books the line, is made through ErpDelivery (broker/erp_delivery.h): the attempt is
// recorded before it, and a manager that accepts idempotency keys receives the row's key first
// (setIdempotencyKey). A failure before the ERP took the line is reported (the description in
// the status box, or status text 17 for the ERP's generic failure code; "Error <description> in
// ProcessGenralHours" in the error log), recorded as the attempt's error, and the row stays
// pending, to be offered again at the next pass. After the ERP answered (an answer that cannot
// be read, a row that cannot be stored) the line is in doubt instead, as ErpDelivery says.
//
// Runs on the window's thread; not thread-safe.
#ifndef TQS_BROKER_GENERAL_HOURS_PROCESSOR_H_
#define TQS_BROKER_GENERAL_HOURS_PROCESSOR_H_

#include <cstdint>
#include <string>

#include "broker/broker_window.h"
#include "broker/business_document_processor.h"
#include "broker/erp_delivery.h"
#include "broker/error_log.h"
#include "broker/failure_reporter.h"
#include "broker/general_hours_mapping.h"
#include "common/conversions.h"
#include "common/date_time.h"
#include "platform/automation/component_registry.h"

namespace tqs::broker {

class GeneralHoursProcessor final : public BusinessDocumentProcessor {
 public:
  // Everything but the settings is borrowed and must outlive the processor. The settings
  // govern how the spent time and the ERP's numeric answers are read.
  GeneralHoursProcessor(frmTQSRemoteBroker& window, const ErrorLog& error_log,
                        const automation::ComponentRegistry& components, const Clock& clock,
                        RegionalSettings settings = RegionalSettings::Current(),
                        SaveRetry retry = {});

  void Process() override { ProcessGeneralHours(); }
  bool ErpRecognisesReplays() const override { return delivery_.ErpRecognisesReplays(); }

  void ProcessGeneralHours();

 private:
  // What the ERP answered for the line.
  struct LineOutcome {
    std::int32_t error_count = 0;
    std::int32_t result = 0;  // kHourLineAccepted or kHourLineRejected
    std::string error;
    std::int32_t new_line_id = 0;
  };

  // The work of ProcessGeneralHours; errors escape to it.
  void ProcessHourLine();
  // Reads what Create answered (the accounting object): its errors, or the stored line's number.
  LineOutcome ReadBooking(const automation::Variant& created) const;
  // The result element; the empty text after a reported failure.
  std::string BuildResult(const std::string& line_id, const LineOutcome& outcome) const;

  frmTQSRemoteBroker& window_;
  const automation::ComponentRegistry& components_;
  const Clock& clock_;
  const RegionalSettings settings_;
  const FailureReporter reporter_;
  const GeneralHoursMapping mapping_;
  ErpDelivery delivery_;
};

}  // namespace tqs::broker

#endif  // TQS_BROKER_GENERAL_HOURS_PROCESSOR_H_
