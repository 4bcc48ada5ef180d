#include "server/admin/installation.h"

#include <fstream>
#include <optional>
#include <pugixml.hpp>
#include <sstream>

#include "common/error.h"
#include "common/text.h"
#include "erp/seed.h"
#include "masterdata/sample_data.h"
#include "platform/config/configuration.h"
#include "platform/db/connection.h"
#include "platform/db/connection_string.h"
#include "platform/db/recordset.h"
#include "server/admin/private_files.h"
#include "server/schema/server_schema.h"
#include "server/user_defaults.h"

namespace tqs::server {
namespace fs = std::filesystem;

namespace {

struct ConfigurationEntry {
  const char* section;
  const char* key;
  std::string value;
};

// Who may read a file the installer writes.
enum class Readers {
  kEveryone,   // the mode the umask leaves
  kOwnerOnly,  // 0600: the file holds a secret
};

// Writes a configuration file: one element per section, holding its <add key value/> entries.
void WriteConfigurationFile(const fs::path& file, const std::vector<ConfigurationEntry>& entries,
                            Readers readers = Readers::kEveryone) {
  pugi::xml_document document;
  auto declaration = document.append_child(pugi::node_declaration);
  declaration.append_attribute("version") = "1.0";
  declaration.append_attribute("encoding") = "utf-8";
  pugi::xml_node root = document.append_child("configuration");
  for (const ConfigurationEntry& entry : entries) {
    pugi::xml_node section = root.child(entry.section);
    if (!section) section = root.append_child(entry.section);
    pugi::xml_node add = section.append_child("add");
    add.append_attribute("key") = entry.key;
    add.append_attribute("value") = entry.value.c_str();
  }
  fs::create_directories(file.parent_path());
  if (readers == Readers::kOwnerOnly) {
    std::ostringstream text;
    document.save(text, "  ");
    WritePrivateFile(file, text.str());
  } else if (!document.save_file(file.c_str(), "  ")) {
    throw Error(error_number::kPathNotFound, "Cannot write " + file.string());
  }
}

// The file of an SQLite server database, or nothing for another provider.
std::optional<fs::path> SqliteFile(std::string_view dsn) {
  const db::ConnectionString parsed = db::ConnectionString::Parse(dsn);
  if (parsed.provider() != db::ProviderKind::kSqlite) return std::nullopt;
  return parsed.Find("Data Source");
}

// A new random shared secret for the HTTP host: 32 hexadecimal digits from the system's
// random source.
std::string NewSharedSecret() {
  std::ifstream random("/dev/urandom", std::ios::binary);
  unsigned char bytes[16];
  if (!random.read(reinterpret_cast<char*>(bytes), sizeof bytes)) {
    throw Error(error_number::kFileNotFound, "Cannot read /dev/urandom for the shared secret");
  }
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string secret;
  for (unsigned char byte : bytes) {
    secret += kDigits[byte >> 4];
    secret += kDigits[byte & 15];
  }
  return secret;
}

// Reinstalling over an installation keeps the secret its web tiers already use.
std::string KeptOrNewSharedSecret(const fs::path& product_config) {
  if (fs::exists(product_config)) {
    try {
      config::Configuration existing;
      existing.LoadConfigFile(product_config.string());
      return existing.getValue("SERVERHOST", "SharedSecret");
    } catch (const Error&) {
      // An older or damaged file: a new secret is written.
    }
  }
  return NewSharedSecret();
}

void WriteComponentRegistry(const fs::path& file) {
  pugi::xml_document document;
  document.append_child(pugi::node_comment)
      .set_value(
          " Which library serves which component identifiers. One entry per identifier prefix:\n"
          "     <component prefix=\"Q72dVXRsvordJobSheets.\" library=\"libMyErpAdapter.so\"\n"
          "                idempotencyKeys=\"true\">\n"
          "       <setting key=\"...\" value=\"...\"/>\n"
          "     </component>\n"
          "   A relative library path is taken relative to this file's folder. idempotencyKeys\n"
          "   (\"true\" or \"false\", default false) says whether the components book a document\n"
          "   at most once per idempotency key; only then do the programs pass them keys. ");
  document.append_child("components");
  if (!document.save_file(file.c_str(), "  ")) {
    throw Error(error_number::kPathNotFound, "Cannot write " + file.string());
  }
}

bool IsEmptyFolder(const fs::path& folder) {
  return !fs::exists(folder) || (fs::is_directory(folder) && fs::is_empty(folder));
}

void CopyPrograms(const fs::path& from, const fs::path& to,
                  const std::function<void(std::string_view)>& progress) {
  fs::create_directories(to);
  int copied = 0;
  for (const std::string& name : ProgramFiles()) {
    const fs::path source = from / name;
    if (!fs::exists(source) || fs::equivalent(source.parent_path(), to)) continue;
    fs::copy_file(source, to / name, fs::copy_options::overwrite_existing);
    ++copied;
  }
  progress("Copied " + std::to_string(copied) + " program files from " + from.string() + " to " +
           to.string());
}

}  // namespace

const std::vector<std::string>& ProgramFiles() {
  static const std::vector<std::string> files = {
      "TQSRemoteAdmin",      "TQSRemoteBroker",   "TQSRemoteCreateMasterData",
      "TQSRemoteServerHost", "libTQSRemoteServer.so", "libTQSReferenceErp.so",
  };
  return files;
}

std::string InitializeDatabase(std::string_view dsn) {
  auto connection = db::Connection::OpenOrCreate(dsn);
  const SchemaReport report = CreateServerSchema(*connection);
  connection->Close();
  return "Server database ready: " + std::to_string(report.labels_added) +
         " default texts added, " + std::to_string(report.labels_present) + " already present.";
}

void AddUser(std::string_view dsn, std::string_view login, std::string_view employee,
             std::string_view bus_component) {
  auto connection = db::Connection::Open(dsn);
  auto rs = db::Recordset::Open("SELECT * FROM USERDEFAULTS WHERE LOGN = " + QuoteSql(login),
                                *connection, db::CursorType::kKeyset, db::LockType::kOptimistic);
  if (!rs->IsEOF()) {
    throw Error(error_number::kGenericFailure,
                "The login '" + std::string(login) + "' already has a USERDEFAULTS row");
  }
  rs->AddNew();
  rs->SetField("LOGN", std::string(login));
  rs->SetField("EMNO", std::string(employee));
  rs->SetField("BUSCOMPONENT", std::string(bus_component));
  rs->SetField("LASTJSID", std::int32_t{0});
  rs->SetField("LASTQUOTEID", std::int32_t{0});
  rs->SetField("LASTINVOICEID", std::int32_t{0});
  rs->Update();
  rs->Close();
  connection->Close();
}

void Install(const InstallOptions& options,
             const std::function<void(std::string_view)>& progress) {
  const fs::path dir = fs::absolute(options.directory).lexically_normal();
  if (!IsEmptyFolder(dir) && !options.overwrite) {
    throw Error(error_number::kGenericFailure,
                "The folder " + dir.string() +
                    " is not empty; choose an empty folder or pass --overwrite (an existing "
                    "server database is kept).");
  }
  fs::create_directories(dir);

  WriteConfigurationFile(dir / "Configuration.xml", {{"DEFAULTS", "WebRelativePath", "..\\web"}});
  progress("Wrote " + (dir / "Configuration.xml").string());

  const std::string dsn =
      options.dsn.value_or("Provider=SQLite;Data Source=" + (dir / "data" / "server.db").string());
  const fs::path product_config = dir / "web" / "config" / "VarnexConfiguration.xml";
  // It holds the shared secret and, for PostgreSQL, the database password.
  WriteConfigurationFile(product_config,
                         {{"CONNECTIONS", "VarnexConnection_ConnectionString", dsn},
                          {"SERVERHOST", "SharedSecret", KeptOrNewSharedSecret(product_config)},
                          {"SERVERHOST", "Listen", "127.0.0.1:8085"}},
                         Readers::kOwnerOnly);
  progress("Wrote " + product_config.string());

  fs::create_directories(dir / "web" / "Varnex" / "EndUser" / "MasterData");
  CopyPrograms(options.programs_folder, dir / "bin", progress);
  WriteComponentRegistry(dir / "bin" / "TQSRemoteComponents.xml");
  progress("Wrote " + (dir / "bin" / "TQSRemoteComponents.xml").string());
  progress(masterdata::WriteSampleMasterData(dir / "bin"));

  // The databases are the owner's alone: the installation's own data folders, and an SQLite
  // server database elsewhere when this installation creates it (one that exists keeps the
  // access its owner gave it).
  if (!options.dsn) MakePrivateFolder(dir / "data");
  const std::optional<fs::path> database_file = SqliteFile(dsn);
  const bool new_database_file = database_file && !fs::exists(*database_file);
  progress(InitializeDatabase(dsn));
  if (database_file && (new_database_file || !options.dsn) && fs::exists(*database_file)) {
    MakeDatabaseFilePrivate(*database_file);
  }
  // The reference ERP: its store with demo orders, the registry entries, the demo users.
  MakePrivateFolder(dir / "erp");
  erp::WriteReferenceErp(dir, dsn, progress);
  MakeDatabaseFilePrivate(dir / "erp" / "erp.db");
}

}  // namespace tqs::server
