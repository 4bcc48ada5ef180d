#include "masterdata/settings.h"

#include "common/configuration_chain.h"
#include "common/text.h"
#include "common/windows_path.h"
#include "platform/config/configuration.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"

namespace tqs::masterdata {

std::string ClientConnectionString(std::string_view path) {
  return std::string(kClientConnectionPrefix) + ResolveWindowsPath(path).string();
}

Settings LoadSettings(std::string_view application_folder) {
  Settings settings;
  settings.application_folder = std::string(application_folder);
  {
    config::Configuration configuration;
    const ChainedSettings chained = ReadConfigurationChain(
        configuration, application_folder, configuration_chain::kMasterDataConfigFolder);
    settings.web_relative_path = chained.web_relative_path;
    settings.server_connection_string = chained.connection_string;
  }
  settings.master_data_folder = settings.application_folder + "\\" + settings.web_relative_path +
                                "\\Varnex\\EndUser\\MasterData";
  settings.template_database_path =
      settings.application_folder + "\\" + std::string(kTemplateDatabaseFileName);
  settings.template_connection_string = ClientConnectionString(settings.template_database_path);
  settings.language = GetDefaultLanguage(settings.server_connection_string);
  return settings;
}

std::string GetDefaultLanguage(std::string_view server_connection_string) {
  auto connection = db::Connection::Open(server_connection_string);
  auto parameters = db::Recordset::Open(
      "select * from PARAMETERS where PARAMNAME = " + QuoteSql("DefaultLanguage"), *connection,
      db::CursorType::kForwardOnly, db::LockType::kOptimistic);
  std::string language;
  if (!parameters->IsEOF()) language = parameters->Field("PARAMVALUE").ToTextOrEmpty();
  parameters->Close();
  connection->Close();
  return language;
}

}  // namespace tqs::masterdata
