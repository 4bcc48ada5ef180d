// FailureReporter is what the error handlers of the broker's document procedures share: a
// failure is shown in the status box and appended to the error log under the procedure's name,
// and the procedure then returns normally so that one failing document never stops a pass.
//
//   status box: the error description and CR LF (for the ERP's generic failure code, the
//               procedures that call the ERP show status text 17 instead: ReportErpFailure)
//   error log:  <prefix><description trimmed> in <procedure>
//
// An entry the error log cannot take goes to standard error (broker/error_log.h).
//
// Borrows the window and the log; runs on the window's thread, not thread-safe.
#ifndef TQS_BROKER_FAILURE_REPORTER_H_
#define TQS_BROKER_FAILURE_REPORTER_H_

#include <cstddef>
#include <exception>
#include <string_view>

#include "broker/broker_window.h"
#include "broker/error_log.h"

namespace tqs::broker {

class FailureReporter {
 public:
  // Both are borrowed and must outlive the reporter.
  FailureReporter(frmTQSRemoteBroker& window, const ErrorLog& error_log)
      : window_(window), error_log_(error_log) {}

  // The description and CR LF to the status box, then the error-log entry.
  void Report(std::string_view procedure, ErrorPrefix prefix, const std::exception& error) const;

  // As Report, but when the error carries the generic failure code (0x80004005, "the component
  // failed") the status box shows status text 17 and CR LF in place of the description. The log
  // entry always holds the description.
  void ReportErpFailure(std::string_view procedure, ErrorPrefix prefix,
                        const std::exception& error) const;

  // When `replaced` is not 0: one error-log entry "Warning : ..." saying that the values the
  // ERP returned held that many characters XML cannot carry, written as U+FFFD into the
  // result document that `procedure` wrote. The status box is left alone: the document was
  // written and the pass goes on as usual.
  void ReportRepairedValues(std::string_view procedure, std::size_t replaced) const;

  // Runs `body` and returns its result; when it raises, reports the error as Report does and
  // returns `on_failure`.
  template <typename Result, typename Body>
  Result Guard(std::string_view procedure, ErrorPrefix prefix, Result on_failure,
               Body&& body) const {
    try {
      return body();
    } catch (const std::exception& error) {
      Report(procedure, prefix, error);
      return on_failure;
    }
  }

 private:
  void ShowAndLog(std::string_view shown, std::string_view procedure, ErrorPrefix prefix,
                  const std::exception& error) const;

  frmTQSRemoteBroker& window_;
  const ErrorLog& error_log_;
};

}  // namespace tqs::broker

#endif  // TQS_BROKER_FAILURE_REPORTER_H_
