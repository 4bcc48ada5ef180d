// frmTQSRemoteBroker is the broker's window as a plain model: its caption, the status box, the
// three buttons, whether it is shown, minimised or unloaded, and the state of the run (the m_
// members) that the broker's procedures share. It has no behaviour of its own beyond keeping
// that state: the procedures (StartUp, ProcessingPass, the processors and Broker's button
// handlers) change it, and a front end shows it (broker/console.h).
//
// Not thread-safe: the window and every procedure run on one thread, one at a time. A pass with
// several workers gives each worker a private window of its own; while it runs, the workers
// append their lines to this window's status box one employee at a time under the pass's mutex,
// so the status box's listener is then called from the workers' threads, never two at once.
#ifndef TQS_BROKER_BROKER_WINDOW_H_
#define TQS_BROKER_BROKER_WINDOW_H_

#include <functional>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <string_view>

#include "broker/status_texts.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"

namespace tqs::broker {

// Line end of the status box and the error log.
inline constexpr std::string_view kCrLf = "\r\n";

enum class TextChange {
  kReplaced,  // the whole text was set
  kAppended,  // text was added at the end
};

// The multi-line status box. A listener, when set, hears every change right after it is made,
// so a front end can show a long pass's progress as it happens.
class TextBox {
 public:
  // `text` is the new whole text for kReplaced, the added part for kAppended.
  using Listener = std::function<void(TextChange change, std::string_view text)>;

  const std::string& text() const { return text_; }
  void SetText(std::string text);
  void Append(std::string_view text);

  void set_listener(Listener listener) { listener_ = std::move(listener); }

 private:
  std::string text_;
  Listener listener_;
};

struct CommandButton {
  const std::string caption;
  const int tab_index;
  bool enabled = true;
};

enum class WindowState { kNormal, kMinimized };

// Why the last pass (or the start-up before it) could not start its work; a scheduler's run
// reports it in its exit status.
enum class PassRefusal {
  kNone,
  kDatabaseUnreachable,  // the server database could not be opened
  kAnotherPassRunning,   // another pass holds the pass lock of the server database
};

enum class Lifecycle {
  kLoaded,    // the window exists and takes the operator's commands
  kUnloaded,  // Close (or the end of an unattended pass) unloaded it: the program ends normally
  kEnded,     // the program was ended at once because its configuration could not be read
};

struct frmTQSRemoteBroker {
  frmTQSRemoteBroker() = default;
  frmTQSRemoteBroker(const frmTQSRemoteBroker&) = delete;
  frmTQSRemoteBroker& operator=(const frmTQSRemoteBroker&) = delete;

  // Unloads the window: the run state (pending set, document, connection) is released and the
  // program ends normally.
  void Unload();
  // Ends the program at once, without showing the window.
  void End();
  // Shows the window (modeless).
  void Show() { visible = true; }

  // Controls: the status box fills the upper part, "Open VXR Log" sits bottom left, "Process"
  // and "Close" bottom right.
  const std::string caption = "TQSRemoteBroker";
  TextBox txtProcessStatus;
  CommandButton cmdProcess{"Process", 0};
  CommandButton cmdClose{"Close", 1};
  CommandButton cmdVXRLog{"Open VXR Log", 3};
  WindowState window_state = WindowState::kNormal;
  bool visible = false;
  Lifecycle lifecycle = Lifecycle::kLoaded;

  // State of the run: created at load, released when the window unloads.
  std::string m_sErrorLogFile;                     // <working directory>/CriticalErrorlog.txt
  std::string m_sConnectionString;                 // server database, from the configuration
  std::unique_ptr<db::Connection> m_oConnection;   // null when none is held
  std::string m_sLocaleId;                         // PARAMETERS DEFAULTLANGUAGE, used unquoted
  StatusTexts m_asStatusText;                      // the 61 localised status texts
  bool m_bManualProcessing = false;                // ProcessToKorvo is not "Auto"
  std::unique_ptr<db::Recordset> m_oInteractions;  // pending rows of the current pass
  std::unique_ptr<pugi::xml_document> m_oBusinessDocument;  // document of the current row
  std::string m_sBusComponent;                              // business component of the current row
  std::string m_sEmployeeId;                                // EMPLOYEEID of the current row
  std::string m_sInstallationId;  // PARAMETERS InstallationId, read by each pass
  int m_iWorkers = 1;             // BROKER/Workers: documents handed to the ERP at once
  // The last pass ended early or left a document it handed to the ERP unfinished (in doubt), so
  // the run ends with a failure status.
  bool m_bPassIncomplete = false;
  // Set when the database could not be opened or the pass lock was held by another pass;
  // cleared when a pass starts.
  PassRefusal m_ePassRefusal = PassRefusal::kNone;
};

}  // namespace tqs::broker

#endif  // TQS_BROKER_BROKER_WINDOW_H_
