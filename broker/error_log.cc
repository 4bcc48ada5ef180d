#include "broker/error_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <utility>

#include "common/error.h"
#include "common/text.h"

namespace tqs::broker {

namespace {

constexpr std::size_t kPrintZoneWidth = 14;
// Written as is on every platform: operators open the log with Windows tools too.
constexpr std::string_view kLineEnd = "\r\n";

// Columns taken by the last line of `text`: characters after the last line feed, a UTF-8
// sequence counting as one column.
std::size_t CurrentColumn(std::string_view text) {
  const std::size_t line_feed = text.rfind('\n');
  if (line_feed != std::string_view::npos) text.remove_prefix(line_feed + 1);
  std::size_t columns = 0;
  for (const char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++columns;
  }
  return columns;
}

// Moves `line` to the start of the next print zone.
void AppendPrintZoneSeparator(std::string& line) {
  const std::size_t column = CurrentColumn(line);
  const std::size_t next_zone = (column / kPrintZoneWidth + 1) * kPrintZoneWidth;
  line.append(next_zone - column, ' ');
}

// "<prefix><description trimmed> in <procedure>": the message of an entry without its stamp.
std::string MessageText(std::string_view procedure, std::string_view prefix_text,
                        std::string_view description) {
  std::string message(prefix_text);
  message += Trim(description);
  message += " in ";
  message += procedure;
  return message;
}

// `text` on one line: each line break (CR LF, CR or LF) becomes a blank, so that a journal
// shows a message of several lines as one entry.
std::string OnOneLine(std::string_view text) {
  std::string line;
  line.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      line += ' ';
    } else {
      line += text[i];
    }
  }
  return line;
}

// Appends `entry` with one write to `file` opened for appending (created when missing), so that
// concurrent writers' entries never interleave. Returns false with errno set when the file
// cannot be opened or the entry was not written whole.
bool AppendWhole(const std::filesystem::path& file, const std::string& entry) {
  const int descriptor = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (descriptor < 0) return false;
  ssize_t written;
  do {
    written = ::write(descriptor, entry.data(), entry.size());
  } while (written < 0 && errno == EINTR);
  const int write_error = errno;
  const bool closed = ::close(descriptor) == 0;
  if (written != static_cast<ssize_t>(entry.size())) {
    // A short write leaves part of the entry: the disk is full.
    errno = written < 0 ? write_error : ENOSPC;
    return false;
  }
  return closed;
}

}  // namespace

std::string_view PrefixText(ErrorPrefix prefix) {
  switch (prefix) {
    case ErrorPrefix::kErrorColon:
      return "Error : ";
    case ErrorPrefix::kError:
      return "Error ";
    case ErrorPrefix::kWarningColon:
      return "Warning : ";
  }
  return {};
}

ErrorLog::ErrorLog(const Clock& clock, RegionalSettings settings)
    : ErrorLog(clock, std::move(settings), std::cerr) {}

ErrorLog::ErrorLog(const Clock& clock, RegionalSettings settings, std::ostream& echo)
    : clock_(clock), settings_(std::move(settings)), echo_(echo) {}

std::string ErrorLog::FormatEntry(DateTime stamp, std::string_view procedure, ErrorPrefix prefix,
                                  std::string_view description, MessageEnd end) const {
  std::string entry =
      FormatLongDate(stamp, settings_) + " at " + FormatMediumTime(stamp, settings_);
  AppendPrintZoneSeparator(entry);
  entry += MessageText(procedure, PrefixText(prefix), description);
  if (end == MessageEnd::kSeparateItem) AppendPrintZoneSeparator(entry);
  entry += kLineEnd;
  entry += kLineEnd;
  return entry;
}

void ErrorLog::WriteErrorLogEntry(const std::filesystem::path& file, std::string_view procedure,
                                  ErrorPrefix prefix, std::string_view description,
                                  MessageEnd end) const {
  const std::string entry = FormatEntry(clock_.Now(), procedure, prefix, description, end);
  const std::lock_guard lock(mutex_);
  if (AppendWhole(file, entry)) {
    echo_ << "TQSRemoteBroker: "
          << OnOneLine(MessageText(procedure, PrefixText(prefix), description)) << "\n"
          << std::flush;
    return;
  }
  // The entry must not be lost, nor end the procedure that reports: an operator or the
  // scheduler's journal reads standard error.
  const std::string reason = std::strerror(errno);
  echo_ << "TQSRemoteBroker: cannot append to the error log " << file.string() << " (" << reason
        << "); the entry is:\n"
        << entry << std::flush;
}

}  // namespace tqs::broker
