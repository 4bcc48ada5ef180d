// JobSheetProcessResult writes the job sheet process result document: the outcome the ERP
// reported for an uploaded job sheet, object by object, as the laptop collects it with its next
// synchronisation. BuildProcessResult walks the ERP's error structure (order errors, each with
// its activity errors and their material, hour, labour, other and inspection line errors, and
// its payment errors) and writes, for every object present, its identifying attributes followed
// by result, error and new:
//
//   <jobsheet><serviceorder id='SO100' result='0' error='' new='' ><activities>
//   <activity id='10' result='0' error='' new='' ><materials><material lineid='1' result='0'
//   error='' new='7' /></materials>    </activity></activities></serviceorder></jobsheet>
//
// (one line in the document; broken here for reading). It follows the writing rules of every
// broker result document (broker/result_writing.h): no declaration, no line breaks, single
// quotes, every value escaped. Within an activity the line groups come in the order
// materials, hours, labours, others, inspections; payments follow the activities. An absent
// group or item writes nothing; a present group with no lines writes its tags only. The
// materials group alone is followed by four blanks. When the structure holds several order
// errors, the document of the last present one is returned (each replaces the one before).
//
// Runs on the window's thread; not thread-safe.
#ifndef TQS_BROKER_JOB_SHEET_PROCESS_RESULT_H_
#define TQS_BROKER_JOB_SHEET_PROCESS_RESULT_H_

#include <cstddef>
#include <string>

#include "broker/broker_window.h"
#include "broker/error_log.h"
#include "broker/failure_reporter.h"
#include "common/conversions.h"
#include "platform/automation/variant.h"

namespace tqs::broker {

class JobSheetProcessResult {
 public:
  // The window and the log are borrowed and must outlive this object. The settings govern how
  // counts that the ERP answers as text are read.
  JobSheetProcessResult(frmTQSRemoteBroker& window, const ErrorLog& error_log,
                        RegionalSettings settings);

  // The result document of the error structure `i_oResultNode`; "" when it holds no present
  // order error. On a failure while reading the structure (no structure, a count that is no
  // number, a call the ERP rejects) the description and CR LF go to the status box, "Error :
  // <description> in BuildProcessResult" to the error log, and the result is "". A failure
  // while reporting is raised. When the ERP's values held characters XML cannot carry, the
  // document has U+FFFD in their place and the error log one warning.
  std::string BuildProcessResult(const automation::Variant& i_oResultNode) const;

 private:
  // The document; failures are raised. Adds to `replaced` the characters written as U+FFFD.
  std::string Write(const automation::Variant& error_structure, std::size_t& replaced) const;

  const RegionalSettings settings_;
  const FailureReporter reporter_;
};

}  // namespace tqs::broker

#endif  // TQS_BROKER_JOB_SHEET_PROCESS_RESULT_H_
