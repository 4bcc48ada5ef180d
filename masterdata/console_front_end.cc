#include "masterdata/console_front_end.h"

#include <string>

#include "common/text.h"

namespace tqs::masterdata {

int ExitStatusOf(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::kFinished:
    case RunOutcome::kOutputExists:
    case RunOutcome::kNoServiceCentres:
      return 0;
    case RunOutcome::kFinishedWithSkips:
      return 2;
    case RunOutcome::kAnotherRunInProgress:
      return 3;
    case RunOutcome::kArchiverMissing:
    case RunOutcome::kCompactionFailed:
    case RunOutcome::kFailed:
      break;
  }
  return 1;
}

ConsoleFrontEnd::ConsoleFrontEnd(std::ostream& out, std::ostream& errors)
    : out_(out), errors_(errors) {}

void ConsoleFrontEnd::OnCaptionChanged(std::string_view caption) {
  out_ << "== " << caption << " ==" << std::endl;
}

void ConsoleFrontEnd::OnStatusLineAdded(std::string_view line) { out_ << line << std::endl; }

void ConsoleFrontEnd::CopyProgress(std::string_view centre, std::string_view table,
                                   std::int64_t rows, bool complete) {
  out_ << "    " << centre << " / " << table << ": " << rows << (rows == 1 ? " row" : " rows")
       << (complete ? " copied" : " copied so far ...") << std::endl;
}

int ConsoleFrontEnd::RunOnce(MasterDataCreator& creator) {
  const MasterDataCreator::RunResult result = creator.CreateMasterData();
  if (result.outcome == RunOutcome::kAnotherRunInProgress) {
    errors_ << "TQSRemoteCreateMasterData: " << result.error->description() << std::endl;
  } else if (result.error) {
    errors_ << "TQSRemoteCreateMasterData: the run stopped: " << result.error->description()
            << " (error " << result.error->number() << ")" << std::endl;
  }
  return ExitStatusOf(result.outcome);
}

void ConsoleFrontEnd::ShowWindow(const MainWindow& window) {
  out_ << "== " << window.caption() << " ==\n"
       << "  [c] " << MainWindow::kCreateButtonCaption << "\n"
       << "  [r] [" << (window.recreate_master_data() ? 'x' : ' ') << "] "
       << MainWindow::kRecreateCheckBoxCaption << "\n"
       << "  [q] Close" << std::endl;
}

int ConsoleFrontEnd::RunInteractive(MasterDataCreator& creator, MainWindow& window,
                                    std::istream& in) {
  ShowWindow(window);
  std::string command;
  while (out_ << "> " << std::flush, std::getline(in, command)) {
    const std::string_view word = Trim(command);
    if (word == "c" || word == "create") {
      RunOnce(creator);
      ShowWindow(window);
    } else if (word == "r" || word == "recreate") {
      window.SetRecreateMasterData(!window.recreate_master_data());
      ShowWindow(window);
    } else if (word == "q" || word == "quit" || word == "close") {
      return 0;
    } else if (!word.empty()) {
      out_ << "Commands: c (create master data), r (tick or clear recreate), q (close)"
           << std::endl;
    }
  }
  out_ << std::endl;
  return 0;
}

}  // namespace tqs::masterdata
