#include "broker/start_up.h"

#include <exception>
#include <memory>
#include <optional>

#include "broker/server_database.h"
#include "broker/workers_setting.h"
#include "common/configuration_chain.h"
#include "common/text.h"
#include "platform/config/configuration.h"
#include "platform/db/recordset.h"

namespace tqs::broker {

namespace {

constexpr std::string_view kErrorLogFileName = "CriticalErrorlog.txt";
constexpr std::string_view kUnattendedMode = "Auto";

}  // namespace

StartUp::StartUp(frmTQSRemoteBroker& window, const ErrorLog& error_log,
                 std::filesystem::path working_directory, StartMode start_mode)
    : window_(window),
      error_log_(error_log),
      working_directory_(std::move(working_directory)),
      start_mode_(start_mode) {}

void StartUp::Form_Load(const std::function<void()>& cmdProcess_Click) {
  try {
    Initialize();
    if (window_.lifecycle == Lifecycle::kEnded) return;
    OpenDatabase(window_, error_log_);
    window_.m_sLocaleId = get_LocaleID();
    LoadStatusTexts();
    const std::string mode = ReadProcessingMode();
    ServerConnection(window_).Close();
    window_.m_oConnection.reset();  // the first pass opens a new one
    if (start_mode_ == StartMode::kOnce || mode == kUnattendedMode) {
      window_.m_bManualProcessing = false;
      cmdProcess_Click();
    } else {
      window_.m_bManualProcessing = true;
      window_.txtProcessStatus.SetText(window_.m_asStatusText[StatusSlot::kManualProcessing]);
    }
  } catch (const std::exception& error) {
    // Released without closing: dropping it ends the session.
    window_.m_oConnection.reset();
    window_.txtProcessStatus.Append(std::string(error.what()) + std::string(kCrLf));
    error_log_.WriteErrorLogEntry(window_.m_sErrorLogFile, "Form_Load", ErrorPrefix::kError,
                                  error.what());
  }
}

void StartUp::Initialize() {
  std::optional<config::Configuration> configuration;
  try {
    window_.m_sErrorLogFile = (working_directory_ / kErrorLogFileName).string();
    configuration.emplace();
    const ChainedSettings settings = ReadConfigurationChain(
        *configuration, working_directory_.string(), configuration_chain::kBrokerConfigFolder);
    window_.m_sConnectionString = settings.connection_string;
    window_.m_iWorkers = ReadWorkers(*configuration);
    configuration.reset();
  } catch (const std::exception& error) {
    if (!Trim(window_.m_sErrorLogFile).empty()) {
      error_log_.WriteErrorLogEntry(window_.m_sErrorLogFile, "Initialize", ErrorPrefix::kErrorColon,
                                    error.what());
    }
    configuration.reset();
    window_.End();
  }
}

std::string StartUp::get_LocaleID() {
  try {
    auto rs = db::Recordset::Open("select * from PARAMETERS where PARAMNAME = 'DEFAULTLANGUAGE'",
                                  ServerConnection(window_), db::CursorType::kKeyset,
                                  db::LockType::kOptimistic);
    std::string locale_id;
    if (!rs->IsEOF()) locale_id = rs->Field("PARAMVALUE").AsText();
    rs->Close();
    return locale_id;
  } catch (const std::exception& error) {
    window_.txtProcessStatus.Append(std::string(error.what()) + std::string(kCrLf));
    error_log_.WriteErrorLogEntry(window_.m_sErrorLogFile, "get_LocaleID", ErrorPrefix::kError,
                                  error.what());
    return "";
  }
}

void StartUp::LoadStatusTexts() {
  auto labels =
      db::Recordset::Open(StatusTexts::LabelQuery(window_.m_sLocaleId), ServerConnection(window_),
                          db::CursorType::kKeyset, db::LockType::kOptimistic);
  window_.m_asStatusText.Load(*labels);
  labels->Close();
}

std::string StartUp::ReadProcessingMode() {
  auto rs = db::Recordset::Open("select * from PARAMETERS WHERE PARAMNAME = 'ProcessToKorvo'",
                                ServerConnection(window_));
  std::string mode;
  if (!rs->IsEOF()) mode = std::string(Trim(rs->Field("PARAMVALUE").AsText()));
  rs->Close();
  return mode;
}

}  // namespace tqs::broker
