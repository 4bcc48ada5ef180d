#include "broker/failure_reporter.h"

#include <string>

#include "common/error.h"

namespace tqs::broker {

void FailureReporter::Report(std::string_view procedure, ErrorPrefix prefix,
                             const std::exception& error) const {
  ShowAndLog(error.what(), procedure, prefix, error);
}

void FailureReporter::ReportErpFailure(std::string_view procedure, ErrorPrefix prefix,
                                       const std::exception& error) const {
  const auto* tqs_error = dynamic_cast<const Error*>(&error);
  if (tqs_error != nullptr && tqs_error->number() == error_number::kGenericFailure) {
    ShowAndLog(window_.m_asStatusText[StatusSlot::kErpUnspecifiedFailure], procedure, prefix,
               error);
  } else {
    ShowAndLog(error.what(), procedure, prefix, error);
  }
}

void FailureReporter::ReportRepairedValues(std::string_view procedure, std::size_t replaced) const {
  if (replaced == 0) return;
  error_log_.WriteErrorLogEntry(
      window_.m_sErrorLogFile, procedure, ErrorPrefix::kWarningColon,
      "the ERP's values held " + std::to_string(replaced) +
          " character(s) that XML cannot carry (control characters or bytes that are not "
          "UTF-8), written as U+FFFD into the result document");
}

void FailureReporter::ShowAndLog(std::string_view shown, std::string_view procedure,
                                 ErrorPrefix prefix, const std::exception& error) const {
  std::string line(shown);
  line += kCrLf;
  window_.txtProcessStatus.Append(line);
  error_log_.WriteErrorLogEntry(window_.m_sErrorLogFile, procedure, prefix, error.what());
}

}  // namespace tqs::broker
