#include "broker/console.h"

#include <exception>
#include <istream>
#include <ostream>
#include <string>

#include "common/text.h"

namespace tqs::broker {

namespace {

enum class Command { kProcess, kClose, kOpenLog, kNone, kUnknown };

Command ParseCommand(std::string_view line) {
  const std::string word = AsciiLowerCase(Trim(line));
  if (word.empty()) return Command::kNone;
  if (word == "p" || word == "process") return Command::kProcess;
  if (word == "c" || word == "close") return Command::kClose;
  if (word == "l" || word == "log" || word == "open log" || word == "open vxr log") {
    return Command::kOpenLog;
  }
  return Command::kUnknown;
}

constexpr std::string_view kCommandHelp = "Commands: p = Process, c = Close, l = Open VXR Log";

// The status of a window that is closed now: as planned only in a manual session whose Close
// button is available.
int ClosingStatus(const frmTQSRemoteBroker& window) {
  return window.m_bManualProcessing && window.cmdClose.enabled && !window.m_bPassIncomplete
             ? kExitSuccess
             : kExitFailure;
}

// The status of a run for one pass, whose Form_Load is over.
int OncePassStatus(const frmTQSRemoteBroker& window) {
  if (window.lifecycle == Lifecycle::kEnded) return kExitFailure;
  switch (window.m_ePassRefusal) {
    case PassRefusal::kDatabaseUnreachable:
      return kExitDatabaseUnreachable;
    case PassRefusal::kAnotherPassRunning:
      return kExitAnotherPassRunning;
    case PassRefusal::kNone:
      break;
  }
  // Still loaded: start-up or the pass's handler failed, so the pass did not end as planned.
  if (window.lifecycle == Lifecycle::kLoaded) return kExitFailure;
  return window.m_bPassIncomplete ? kExitFailure : kExitSuccess;
}

}  // namespace

void StatusBoxPrinter::operator()(TextChange change, std::string_view text) {
  if (change == TextChange::kReplaced) FinishLine();
  Print(text);
  output_.flush();
}

void StatusBoxPrinter::FinishLine() {
  if (!at_line_start_) Print("\n");
}

void StatusBoxPrinter::Print(std::string_view text) {
  std::string plain;
  plain.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    plain += text[i];
  }
  if (plain.empty()) return;
  output_ << plain;
  at_line_start_ = plain.back() == '\n';
}

int RunConsole(Broker& broker, std::istream& input, std::ostream& output, bool prompt) {
  frmTQSRemoteBroker& window = broker.window();
  StatusBoxPrinter printer(output);
  window.txtProcessStatus.set_listener(
      [&printer](TextChange change, std::string_view text) { printer(change, text); });

  broker.Form_Load();
  for (;;) {
    if (window.lifecycle == Lifecycle::kEnded) {
      printer.FinishLine();
      return kExitFailure;
    }
    if (window.lifecycle == Lifecycle::kUnloaded) {
      printer.FinishLine();
      return window.m_bPassIncomplete ? kExitFailure : kExitSuccess;
    }
    if (prompt) {
      printer.FinishLine();
      output << "[p]rocess, [c]lose, open [l]og> " << std::flush;
    }
    std::string line;
    if (!std::getline(input, line)) {
      // End of input closes the window, whatever state its buttons are in.
      const int status = ClosingStatus(window);
      window.Unload();
      printer.FinishLine();
      return status;
    }
    switch (ParseCommand(line)) {
      case Command::kProcess:
        broker.cmdProcess_Click();
        break;
      case Command::kClose:
        if (window.cmdClose.enabled) {
          const int status = ClosingStatus(window);
          broker.cmdClose_Click();
          printer.FinishLine();
          return status;
        }
        printer.FinishLine();
        output << "Close is not available: the last pass did not end normally. End the input "
                  "to quit."
               << std::endl;
        break;
      case Command::kOpenLog:
        // The editor or pager takes over the terminal from a fresh line.
        printer.FinishLine();
        output.flush();
        try {
          broker.cmdVXRLog_Click();
        } catch (const std::exception& error) {
          printer.FinishLine();
          output << error.what() << std::endl;
        }
        break;
      case Command::kNone:
        break;
      case Command::kUnknown:
        printer.FinishLine();
        output << kCommandHelp << std::endl;
        break;
    }
  }
}

int RunOnce(Broker& broker, std::ostream& output) {
  frmTQSRemoteBroker& window = broker.window();
  StatusBoxPrinter printer(output);
  window.txtProcessStatus.set_listener(
      [&printer](TextChange change, std::string_view text) { printer(change, text); });
  broker.Form_Load();
  const int status = OncePassStatus(window);
  if (window.lifecycle == Lifecycle::kLoaded) window.Unload();
  printer.FinishLine();
  window.txtProcessStatus.set_listener(nullptr);
  return status;
}

}  // namespace tqs::broker
