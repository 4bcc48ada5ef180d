// Broker is the TQSRemoteBroker program behind its window: it owns the window model, the error
// log, the start-up, the processing pass and the three document processors, and offers the
// window's events to a front end: Form_Load when the program starts and the handlers of the
// three buttons. Unattended runs (ProcessToKorvo "Auto", or any mode when started for one pass)
// make exactly one pass inside Form_Load and unload the window; manual runs wait for Process and
// Close.
//
// Not thread-safe: one thread runs the window and every procedure; a pass with several workers
// (BROKER/Workers) starts and joins its worker threads itself (broker/worker_pass.h).
#ifndef TQS_BROKER_BROKER_H_
#define TQS_BROKER_BROKER_H_

#include <filesystem>

#include "broker/broker_window.h"
#include "broker/error_log.h"
#include "broker/general_hours_processor.h"
#include "broker/job_sheet_processor.h"
#include "broker/processing_pass.h"
#include "broker/service_inspection_processor.h"
#include "broker/start_up.h"
#include "broker/text_editor.h"
#include "broker/worker_pass.h"
#include "common/conversions.h"
#include "common/date_time.h"
#include "platform/automation/component_registry.h"

namespace tqs::broker {

// What the broker takes from its surroundings. The references are borrowed and must outlive
// the Broker.
struct BrokerEnvironment {
  // Where the configuration chain starts and the error log is written: the process's working
  // directory, not the program's folder.
  std::filesystem::path working_directory;
  const Clock& clock;
  RegionalSettings regional_settings;
  // Serves the ERP components the processors create.
  const automation::ComponentRegistry& components;
  // Shows the error log.
  TextEditor& editor;
  // Whether ProcessToKorvo decides the mode, or the run makes one pass whatever it says.
  StartMode start_mode = StartMode::kAsParametersSay;
};

class Broker {
 public:
  explicit Broker(const BrokerEnvironment& environment);
  Broker(const Broker&) = delete;
  Broker& operator=(const Broker&) = delete;

  frmTQSRemoteBroker& window() { return window_; }
  const frmTQSRemoteBroker& window() const { return window_; }

  // The window's load event: the start-up sequence (StartUp::Form_Load).
  void Form_Load();

  // Process: one processing pass. Minimised in an unattended run; Close is disabled during the
  // pass and the status box cleared. Afterwards a manual run re-enables Close, an unattended run
  // unloads the window. On an error: the description and CR LF go to the status box,
  // "Error : <description> in cmdProcess_Click" to the error log, and Close stays disabled.
  void cmdProcess_Click();

  // Close: unloads the window; the program ends.
  void cmdClose_Click();

  // Open VXR Log: opens the error log (m_sErrorLogFile) in the text editor. Editor failures
  // raise tqs::Error to the front end.
  void cmdVXRLog_Click();

 private:
  // Lifetime: the whole program run. Declaration order is construction order.
  TextEditor& editor_;
  frmTQSRemoteBroker window_;
  const ErrorLog error_log_;
  JobSheetProcessor job_sheets_;
  GeneralHoursProcessor general_hours_;
  ServiceInspectionProcessor service_inspections_;
  const WorkerPass worker_pass_;
  ProcessingPass pass_;
  StartUp start_up_;
};

}  // namespace tqs::broker

#endif  // TQS_BROKER_BROKER_H_
