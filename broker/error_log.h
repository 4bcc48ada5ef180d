// ErrorLog appends the entries of the broker's error handlers to the critical error log
// (CriticalErrorlog.txt in the broker's working directory). An entry is:
//
//   <stamp><separator><prefix><description trimmed> in <procedure>CR LF
//   CR LF
//
// The stamp is the date in the long date format, " at " and the time in the medium time format
// ("Monday, December 07, 2026 at 12:49 PM"), read from an injectable clock. The separator
// between stamp and message is a print-zone tab: blanks up to the start of the next print zone,
// zones being 14 columns wide from the start of the line, and always at least one blank (a
// stamp ending exactly on a zone boundary moves on to the following zone). It keeps the
// messages of an operator's log in one column as long as the stamps have the same length.
// Line ends are CR LF exactly as written, whatever the platform. The file is opened, appended
// to and closed for every entry, and created when it does not exist. Each entry also goes to
// standard error as one line "TQSRemoteBroker: <prefix><description> in <procedure>" (line
// breaks of the description become blanks), so that a scheduler's journal (systemd's) holds it
// too.
//
// Thread-safe: the workers of a pass write through one ErrorLog. Each entry is appended to the
// file with one write of the whole entry to a file opened for appending, and entries of one
// ErrorLog are written one at a time, so the entries of concurrent writers (threads, or
// brokers sharing the file) never interleave; they are not ordered among themselves.
#ifndef TQS_BROKER_ERROR_LOG_H_
#define TQS_BROKER_ERROR_LOG_H_

#include <filesystem>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>

#include "common/conversions.h"
#include "common/date_time.h"

namespace tqs::broker {

// The fixed text an error handler puts before the description.
enum class ErrorPrefix {
  kErrorColon,    // "Error : "
  kError,         // "Error "
  kWarningColon,  // "Warning : " (something was repaired; the procedure went on)
};

std::string_view PrefixText(ErrorPrefix prefix);

// Where the CR LF that ends the message goes.
enum class MessageEnd {
  kJoined,        // right after the procedure name (every handler but one)
  kSeparateItem,  // after a further print-zone separator, as a third item of the line
};

class ErrorLog {
 public:
  // The clock is borrowed and must outlive the log; the settings are copied.
  explicit ErrorLog(const Clock& clock, RegionalSettings settings = RegionalSettings::Current());
  // As above, writing to `echo` instead of standard error; `echo` must outlive the log.
  ErrorLog(const Clock& clock, RegionalSettings settings, std::ostream& echo);

  // Appends one entry stamped now to `file` and writes its message to `echo` (standard error by
  // default). When the file cannot be opened or written (a full disk, no permission), the whole
  // entry goes to `echo` with the file's name and the reason instead: reporting never fails the
  // procedure that reports.
  void WriteErrorLogEntry(const std::filesystem::path& file, std::string_view procedure,
                          ErrorPrefix prefix, std::string_view description,
                          MessageEnd end = MessageEnd::kJoined) const;

  // The text of one entry stamped `stamp`, as WriteErrorLogEntry appends it.
  std::string FormatEntry(DateTime stamp, std::string_view procedure, ErrorPrefix prefix,
                          std::string_view description, MessageEnd end = MessageEnd::kJoined) const;

 private:
  const Clock& clock_;
  const RegionalSettings settings_;
  std::ostream& echo_;
  // One entry at a time, in the file and in `echo_`.
  mutable std::mutex mutex_;
};

}  // namespace tqs::broker

#endif  // TQS_BROKER_ERROR_LOG_H_
