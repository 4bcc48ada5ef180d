// RunLog is the master data creator's run log. OpenLog rewrites "MasterDataLog.log" in the
// log's folder (the working directory) and clears the window's status list; WriteLog writes one
// record per message and shows the message in the window; CloseLog closes the file.
//
// Record format (the platform's quoted-record output): a message that is not blank after
// trimming gives
//   "<date and time in the general date format> -- <message>"<CR><LF>
// (the whole text in double quotes, inner quotes left as they are); a blank or empty message
// gives an empty line (<CR><LF>). Each record is flushed at once, so the file can be followed
// during a long run.
//
// Not thread-safe: used by the window's thread.
#ifndef TQS_MASTERDATA_RUN_LOG_H_
#define TQS_MASTERDATA_RUN_LOG_H_

#include <filesystem>
#include <fstream>
#include <string_view>

#include "common/date_time.h"
#include "masterdata/main_window.h"

namespace tqs::masterdata {

class RunLog {
 public:
  static constexpr std::string_view kFileName = "MasterDataLog.log";

  // `window` and `clock` must outlive the log.
  RunLog(MainWindow& window, const Clock& clock, std::filesystem::path folder);
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // Opens the log file for output (truncating an earlier log; other readers may open it) and
  // clears the status list. Raises tqs::Error naming the file when it cannot be written.
  void OpenLog();

  // Writes the record of `message` (see above), then appends the message as it is (untrimmed)
  // to the status list, selects that last entry, shows the message in the status label and
  // sets the mouse pointer back to the default. Raises tqs::Error 52 when the log is not open.
  void WriteLog(std::string_view message);

  // Closes the log file; closing a closed log does nothing.
  void CloseLog();

  bool IsOpen() const { return file_.is_open(); }
  std::filesystem::path path() const { return folder_ / kFileName; }

 private:
  MainWindow& window_;
  const Clock& clock_;
  const std::filesystem::path folder_;
  std::ofstream file_;
};

}  // namespace tqs::masterdata

#endif  // TQS_MASTERDATA_RUN_LOG_H_
