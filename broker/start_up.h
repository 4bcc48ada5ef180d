// StartUp is the broker's start-up sequence (Form_Load): it follows the configuration chain
// from the working directory (Initialize), opens the server database, reads the default
// language (get_LocaleID), loads the status texts of that language, reads the processing mode
// (PARAMETERS ProcessToKorvo), closes the connection again and then either runs the unattended
// pass (mode "Auto" after trimming blanks, case-sensitive) or leaves the window waiting for
// the operator with status text 4 in the status box. A run started for one pass (StartMode
// kOnce, for schedulers) makes the unattended pass whatever the mode says.
//
// The working directory decides where the configuration and the error log are found:
// "<dir>\..\Configuration.xml", "<dir>\<WebRelativePath>\config\VarnexConfiguration.xml" and
// "<dir>/CriticalErrorlog.txt", not the program's own folder.
//
// Runs on the window's thread; not thread-safe.
#ifndef TQS_BROKER_START_UP_H_
#define TQS_BROKER_START_UP_H_

#include <filesystem>
#include <functional>
#include <string>

#include "broker/broker_window.h"
#include "broker/error_log.h"

namespace tqs::broker {

// How a run decides between the unattended pass and manual mode.
enum class StartMode {
  kAsParametersSay,  // PARAMETERS ProcessToKorvo "Auto": one pass; anything else: manual
  kOnce,             // one unattended pass whatever ProcessToKorvo says
};

class StartUp {
 public:
  // Everything is borrowed and must outlive the start-up.
  StartUp(frmTQSRemoteBroker& window, const ErrorLog& error_log,
          std::filesystem::path working_directory,
          StartMode start_mode = StartMode::kAsParametersSay);

  // The start-up sequence. `cmdProcess_Click` is the Process button's handler, which an
  // unattended run calls. A failure in Initialize ends the program (window lifecycle kEnded);
  // a later failure is reported ("Error <description> in Form_Load"), the connection is
  // released and the window stays loaded with m_bManualProcessing unchanged.
  void Form_Load(const std::function<void()>& cmdProcess_Click);

  // The configuration chain: sets m_sErrorLogFile, m_sConnectionString and m_iWorkers
  // (broker/workers_setting.h). On an error (a Workers value out of range included): an
  // entry "Error : <description> in Initialize" when the log file is known, then the program
  // ends (window lifecycle kEnded) without a status text.
  void Initialize();

  // PARAMETERS DEFAULTLANGUAGE as written (untrimmed), or "" without that row. On an error:
  // the description and CR LF go to the status box, "Error <description> in get_LocaleID" to
  // the error log, and the result is "".
  std::string get_LocaleID();

 private:
  // Steps of Form_Load after the database is open; errors escape to Form_Load.
  void LoadStatusTexts();
  std::string ReadProcessingMode();

  frmTQSRemoteBroker& window_;
  const ErrorLog& error_log_;
  const std::filesystem::path working_directory_;
  const StartMode start_mode_;
};

}  // namespace tqs::broker

#endif  // TQS_BROKER_START_UP_H_
