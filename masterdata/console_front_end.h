// ConsoleFrontEnd shows the master data creator's window on a terminal: every line that goes
// into the status list is printed as it is logged, the caption when it changes, and the
// progress of long table copies every 5000 rows. Interactively it reads commands (create,
// recreate, quit) until "quit" or the end of input; a scripted run presses the button once.
//
// Not thread-safe: the window's thread uses it.
#ifndef TQS_MASTERDATA_CONSOLE_FRONT_END_H_
#define TQS_MASTERDATA_CONSOLE_FRONT_END_H_

#include <istream>
#include <ostream>

#include "masterdata/main_window.h"
#include "masterdata/master_data_creator.h"
#include "masterdata/run_events.h"

namespace tqs::masterdata {

// Exit status of a scripted run: 0 when it finished or ended early in order (output present,
// no service centres); 1 when it stopped on an error, the template could not be compacted or
// no archiver was there; 2 when it finished but skipped service centres whose names cannot
// name their output; 3 when it did not start because another run of the installation was in
// progress.
int ExitStatusOf(RunOutcome outcome);

class ConsoleFrontEnd final : public WindowObserver, public RunEvents {
 public:
  // `out` and `errors` must outlive the front end.
  ConsoleFrontEnd(std::ostream& out, std::ostream& errors);
  ConsoleFrontEnd(const ConsoleFrontEnd&) = delete;
  ConsoleFrontEnd& operator=(const ConsoleFrontEnd&) = delete;

  // WindowObserver.
  void OnCaptionChanged(std::string_view caption) override;
  void OnStatusLineAdded(std::string_view line) override;

  // RunEvents.
  void CopyProgress(std::string_view centre, std::string_view table, std::int64_t rows,
                    bool complete) override;

  // Presses the button once; returns the exit status. Why a run stopped or did not start also
  // goes to the error stream.
  int RunOnce(MasterDataCreator& creator);

  // Shows the window and obeys commands read from `in` until "quit" or the end of input.
  // Returns 0.
  int RunInteractive(MasterDataCreator& creator, MainWindow& window, std::istream& in);

 private:
  void ShowWindow(const MainWindow& window);

  std::ostream& out_;
  std::ostream& errors_;
};

}  // namespace tqs::masterdata

#endif  // TQS_MASTERDATA_CONSOLE_FRONT_END_H_
