// The console front end of the broker window. It shows the status box on an output stream as
// its text changes (a replaced text is printed on a fresh line, an appended text as it
// comes, CR LF printed as a plain line feed), so a long pass shows its progress, and takes the
// buttons from an input stream, one command per line:
//   p, process        the Process button
//   c, close          the Close button (refused while the button is disabled)
//   l, log, open log  the Open VXR Log button
// The end of the input closes the window. An unattended run (ProcessToKorvo "Auto") never reads
// the input: its pass unloads the window inside Form_Load.
//
// Exit status: 0 when the run ended as planned (the unattended pass unloaded the window, or a
// manual session was closed with Close available); 1 when the configuration could not be read
// (the program ended at once), or the window was closed while start-up or a pass had failed
// (Close disabled, or an unattended run left open), or the last pass stopped early or left a
// document in doubt, so a scheduler sees the failure.
//
// A run for one pass (RunOnce, the program's --once) never reads commands: it makes the pass
// whatever ProcessToKorvo says and ends with kExitSuccess when the pass ran to its end,
// kExitFailure when the configuration could not be read, start-up failed for another reason, or
// the pass stopped early or left a document in doubt, kExitDatabaseUnreachable when the server
// database could not be opened, and kExitAnotherPassRunning when another pass held the pass lock
// (no row was touched then).
//
// Not thread-safe: runs the window on the calling thread.
#ifndef TQS_BROKER_CONSOLE_H_
#define TQS_BROKER_CONSOLE_H_

#include <iosfwd>
#include <string_view>

#include "broker/broker.h"
#include "broker/broker_window.h"

namespace tqs::broker {

// Prints the changes of a status box; a TextBox listener.
class StatusBoxPrinter {
 public:
  explicit StatusBoxPrinter(std::ostream& output) : output_(output) {}

  void operator()(TextChange change, std::string_view text);
  // Ends the current line when something is printed on it.
  void FinishLine();

 private:
  void Print(std::string_view text);

  std::ostream& output_;
  bool at_line_start_ = true;
};

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
// 2 is the program's status for wrong arguments.
inline constexpr int kExitDatabaseUnreachable = 3;
inline constexpr int kExitAnotherPassRunning = 4;

// Runs the program on `broker`: Form_Load, then the operator's commands while the window is
// loaded. `prompt` shows a command prompt before each command (for a terminal).
int RunConsole(Broker& broker, std::istream& input, std::ostream& output, bool prompt);

// Runs the program on `broker` for one pass: Form_Load, which makes the pass when the broker's
// start mode is StartMode::kOnce, and the exit status above. The window is unloaded at the end.
int RunOnce(Broker& broker, std::ostream& output);

}  // namespace tqs::broker

#endif  // TQS_BROKER_CONSOLE_H_
