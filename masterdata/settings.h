// The master data creator's settings, derived at the start of every run from the
// installation's configuration files (the configuration chain relative to the program's folder)
// and the server database. Paths are kept as Windows-style texts, as the configuration and the
// run log write them ("/srv/tqs/bin\..\web\Varnex\EndUser\MasterData"); wherever such a text
// reaches the file system or a connection string it goes through ResolveWindowsPath first.
//
// Stateless functions; thread-safe as long as the database allows.
#ifndef TQS_MASTERDATA_SETTINGS_H_
#define TQS_MASTERDATA_SETTINGS_H_

#include <string>
#include <string_view>

namespace tqs::masterdata {

// How a client database (an SQLite file standing in for a Jet file) is opened.
inline constexpr std::string_view kClientConnectionPrefix =
    "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;Data Source=";
inline constexpr std::string_view kTemplateDatabaseFileName = "ClientDatabase.mdb";

struct Settings {
  std::string application_folder;          // the folder that holds the program file
  std::string web_relative_path;           // DEFAULTS / WebRelativePath
  std::string server_connection_string;    // CONNECTIONS / VarnexConnection_ConnectionString
  std::string master_data_folder;          // app & "\" & web & "\Varnex\EndUser\MasterData"
  std::string template_database_path;      // app & "\ClientDatabase.mdb"
  std::string template_connection_string;  // kClientConnectionPrefix & template path (resolved)
  std::string language;                    // GetDefaultLanguage
};

// The connection string of the client database at the Windows-style path `path`, resolved to
// this file system.
std::string ClientConnectionString(std::string_view path);

// Fills the settings in this order: the configuration chain (installation configuration
// "<app>\..\Configuration.xml", then "<app>\<web>\Config\VarnexConfiguration.xml"), the derived
// paths, then GetDefaultLanguage. Failures (a missing file or key, an unreachable database)
// pass through as tqs::Error.
Settings LoadSettings(std::string_view application_folder);

// PARAMETERS / DefaultLanguage of the server database: PARAMVALUE of the first row, "" when
// there is none (or its value is null).
std::string GetDefaultLanguage(std::string_view server_connection_string);

}  // namespace tqs::masterdata

#endif  // TQS_MASTERDATA_SETTINGS_H_
