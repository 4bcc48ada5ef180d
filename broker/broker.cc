#include "broker/broker.h"

#include <exception>
#include <string>

namespace tqs::broker {

Broker::Broker(const BrokerEnvironment& environment)
    : editor_(environment.editor),
      error_log_(environment.clock, environment.regional_settings),
      job_sheets_(window_, error_log_, environment.components, environment.clock,
                  environment.regional_settings),
      general_hours_(window_, error_log_, environment.components, environment.clock,
                     environment.regional_settings),
      service_inspections_(window_, error_log_, environment.components, environment.clock,
                           environment.regional_settings),
      worker_pass_(error_log_, environment.components, environment.clock,
                   environment.regional_settings),
      pass_(window_, error_log_, {job_sheets_, general_hours_, service_inspections_},
            environment.clock, environment.regional_settings, &worker_pass_),
      start_up_(window_, error_log_, environment.working_directory, environment.start_mode) {}

void Broker::Form_Load() {
  start_up_.Form_Load([this] { cmdProcess_Click(); });
}

void Broker::cmdProcess_Click() {
  try {
    if (!window_.m_bManualProcessing) window_.window_state = WindowState::kMinimized;
    window_.cmdClose.enabled = false;
    window_.txtProcessStatus.SetText("");
    window_.Show();
    pass_.processBusinessdocuments();
    if (window_.m_bManualProcessing) {
      window_.cmdClose.enabled = true;
    } else {
      cmdClose_Click();
    }
  } catch (const std::exception& error) {
    window_.txtProcessStatus.Append(std::string(error.what()) + std::string(kCrLf));
    error_log_.WriteErrorLogEntry(window_.m_sErrorLogFile, "cmdProcess_Click",
                                  ErrorPrefix::kErrorColon, error.what());
  }
}

void Broker::cmdClose_Click() { window_.Unload(); }

void Broker::cmdVXRLog_Click() { editor_.Open(window_.m_sErrorLogFile); }

}  // namespace tqs::broker
