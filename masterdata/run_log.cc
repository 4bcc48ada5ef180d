#include "masterdata/run_log.h"

#include "common/conversions.h"
#include "common/error.h"
#include "common/text.h"

namespace tqs::masterdata {
namespace {
// The platform's "Bad file name or number": writing to a file number that is not open.
constexpr std::int32_t kBadFileNameOrNumber = 52;
constexpr std::string_view kLineEnd = "\r\n";
}  // namespace

RunLog::RunLog(MainWindow& window, const Clock& clock, std::filesystem::path folder)
    : window_(window), clock_(clock), folder_(std::move(folder)) {}

void RunLog::OpenLog() {
  CloseLog();
  file_.open(path(), std::ios::binary | std::ios::out | std::ios::trunc);
  if (!file_) {
    throw Error(error_number::kPathNotFound,
                "Cannot open the run log '" + path().string() + "' for output");
  }
  window_.ClearStatusList();
}

void RunLog::WriteLog(std::string_view message) {
  if (!IsOpen()) {
    throw Error(kBadFileNameOrNumber,
                "Bad file name or number: the run log '" + path().string() + "' is not open");
  }
  if (!Trim(message).empty()) {
    file_ << '"' << FormatGeneralDate(clock_.Now()) << " -- " << message << '"';
  }
  file_ << kLineEnd;
  file_.flush();
  if (!file_) {
    throw Error(error_number::kPathNotFound, "Cannot write the run log '" + path().string() + "'");
  }
  window_.AddStatusLine(std::string(message));
  window_.SetListIndex(static_cast<int>(window_.status_list().size()) - 1);
  window_.SetStatusLabel(std::string(message));
  window_.SetMousePointer(MousePointer::kDefault);
}

void RunLog::CloseLog() {
  if (file_.is_open()) file_.close();
}

}  // namespace tqs::masterdata
