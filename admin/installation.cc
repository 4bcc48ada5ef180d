#include "admin/installation.h"

#include <fmt/format.h>

#include <fstream>
#include <optional>
#include <pugixml.hpp>
#include <sstream>

#include "admin/private_files.h"
#include "common/configuration_chain.h"
#include "common/error.h"
#include "common/text.h"
#include "common/utf8.h"
#include "common/windows_path.h"
#include "erp/seed.h"
#include "masterdata/sample_data.h"
#include "platform/db/connection.h"
#include "platform/db/connection_string.h"
#include "server/host/console/operator_secret.h"
#include "server/host/host_settings.h"
#include "server/schema/schema_version.h"

namespace tqs::admin {
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

// A configuration file: one element per section, holding its <add key value/> entries. An
// existing file is read with its comments, so the operator's notes survive an entry added.
class ConfigurationFile {
 public:
  explicit ConfigurationFile(fs::path file) : file_(std::move(file)) {
    if (fs::exists(file_)) {
      const pugi::xml_parse_result parsed = document_.load_file(
          file_.c_str(), pugi::parse_default | pugi::parse_comments | pugi::parse_declaration);
      if (!parsed || !document_.document_element()) {
        throw Error(error_number::kGenericFailure,
                    fmt::format("Cannot read the configuration file '{}': {}; nothing of it was "
                                "changed (repair or remove it, then run this again)",
                                file_.string(), parsed.description()));
      }
      existed_ = true;
    } else {
      auto declaration = document_.append_child(pugi::node_declaration);
      declaration.append_attribute("version") = "1.0";
      declaration.append_attribute("encoding") = "utf-8";
      document_.append_child("configuration");
    }
  }

  bool existed() const { return existed_; }

  std::optional<std::string> Find(std::string_view section, std::string_view key) const {
    const pugi::xml_node entry = Entry(section, key);
    if (!entry) return std::nullopt;
    return std::string(entry.attribute("value").value());
  }

  // Sets the entry; returns whether that changed the file.
  bool Set(std::string_view section, std::string_view key, std::string_view value) {
    pugi::xml_node entry = Entry(section, key);
    if (entry && entry.attribute("value").value() == value) return false;
    if (!entry) {
      pugi::xml_node root = document_.document_element();
      pugi::xml_node element = root.child(std::string(section).c_str());
      if (!element) element = root.append_child(std::string(section).c_str());
      entry = element.append_child("add");
      entry.append_attribute("key") = std::string(key).c_str();
    }
    pugi::xml_attribute attribute = entry.attribute("value");
    if (!attribute) attribute = entry.append_attribute("value");
    attribute = std::string(value).c_str();
    changed_ = true;
    return true;
  }

  // Removes the entry; returns whether it was there.
  bool Remove(std::string_view section, std::string_view key) {
    pugi::xml_node entry = Entry(section, key);
    if (!entry) return false;
    entry.parent().remove_child(entry);
    changed_ = true;
    return true;
  }

  // Adds the entry when the file has none.
  void SetDefault(std::string_view section, std::string_view key, std::string_view value) {
    if (!Find(section, key)) Set(section, key, value);
  }

  // Writes the file when it is new or changed; a private file is the owner's alone in either
  // case. Returns whether it was written.
  bool Save(Readers readers) {
    const bool write = !existed_ || changed_;
    if (write) {
      fs::create_directories(file_.parent_path());
      std::ostringstream text;
      document_.save(text, "  ");
      if (readers == Readers::kOwnerOnly) {
        WritePrivateFile(file_, text.str());
      } else {
        WriteFileReplacing(file_, text.str());
      }
    } else if (readers == Readers::kOwnerOnly) {
      fs::permissions(file_, fs::perms::owner_read | fs::perms::owner_write);
    }
    existed_ = true;
    changed_ = false;
    return write;
  }

 private:
  pugi::xml_node Entry(std::string_view section, std::string_view key) const {
    return document_.document_element()
        .child(std::string(section).c_str())
        .find_child_by_attribute("add", "key", std::string(key).c_str());
  }

  // A file that others may read: written beside and renamed over, so a full disk leaves the
  // file as it was.
  static void WriteFileReplacing(const fs::path& file, std::string_view content) {
    const fs::path staging = fs::path(file) += ".new";
    {
      std::ofstream out(staging, std::ios::binary | std::ios::trunc);
      out << content;
      if (!out.flush()) throw Error(error_number::kPathNotFound, "Cannot write " + file.string());
    }
    fs::rename(staging, file);
  }

  const fs::path file_;
  pugi::xml_document document_;
  bool existed_ = false;
  bool changed_ = false;
};

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
          "   at most once per idempotency key; only then do the programs pass them keys.\n"
          "   threads=\"single\" (default \"multiple\") says that the components must not be used\n"
          "   from several threads at once; the broker then runs one worker whatever its\n"
          "   BROKER/Workers setting says. ");
  document.append_child("components");
  if (!document.save_file(file.c_str(), "  ")) {
    throw Error(error_number::kPathNotFound, "Cannot write " + file.string());
  }
}

bool IsEmptyFolder(const fs::path& folder) {
  return !fs::exists(folder) || (fs::is_directory(folder) && fs::is_empty(folder));
}

// Each program is copied beside its old file and renamed over it: a program or library that is
// running (the HTTP host, a broker pass) keeps the file it started with instead of seeing it
// rewritten under it, and a copy that fails leaves the old program in place.
void CopyPrograms(const fs::path& from, const fs::path& to,
                  const std::function<void(std::string_view)>& progress) {
  fs::create_directories(to);
  int copied = 0;
  for (const std::string& name : ProgramFiles()) {
    const fs::path source = from / name;
    if (!fs::exists(source) || fs::equivalent(source.parent_path(), to)) continue;
    const fs::path staging = to / (name + ".new");
    fs::copy_file(source, staging, fs::copy_options::overwrite_existing);
    fs::rename(staging, to / name);
    ++copied;
  }
  progress("Copied " + std::to_string(copied) + " program files from " + from.string() + " to " +
           to.string());
}

// Where an installation keeps its files. The product configuration and the web folder are
// where DIR/Configuration.xml says (DEFAULTS/WebRelativePath, relative to DIR/bin), as the
// programs find them; a new installation gets DIR/web.
struct InstallationFiles {
  fs::path dir;
  fs::path bin;
  fs::path web;
  fs::path configuration;          // DIR/Configuration.xml
  fs::path product_configuration;  // WEB/config/VarnexConfiguration.xml
};

InstallationFiles FilesOf(const fs::path& dir) {
  InstallationFiles files{.dir = dir,
                          .bin = dir / "bin",
                          .web = dir / "web",
                          .configuration = dir / "Configuration.xml"};
  if (fs::exists(files.configuration)) {
    const ConfigurationFile configuration(files.configuration);
    const std::optional<std::string> web = configuration.Find(
        configuration_chain::kDefaultsSection, configuration_chain::kWebRelativePathKey);
    if (web && !Trim(*web).empty()) {
      files.web = ResolveWindowsPath(files.bin.string() + "\\" + *web);
    }
  }
  files.product_configuration = ResolveWindowsPath(
      (files.web / configuration_chain::kBrokerConfigFolder / "VarnexConfiguration.xml").string());
  return files;
}

// Whether the server database is the installation's own SQLite file DIR/data/server.db, whose
// folder the installer makes private.
bool IsOwnDatabase(const fs::path& dir, std::string_view dsn) {
  const std::optional<fs::path> file = SqliteFile(dsn);
  return file && fs::absolute(*file).lexically_normal() == dir / "data" / "server.db";
}

// Opens the server database and refuses one of a newer schema version before anything of the
// installation is changed. An SQLite file that does not exist yet is left to be created.
void RefuseNewerDatabase(std::string_view dsn) {
  const std::optional<fs::path> file = SqliteFile(dsn);
  if (file && !fs::exists(*file)) return;
  auto connection = db::Connection::Open(dsn);
  server::RefuseNewerSchema(*connection);
  connection->Close();
}

// Lays out or brings up to date everything of the installation but the server database's
// schema: the configuration files (existing entries kept, missing ones added; `dsn` is written
// when `set_dsn`), the folders, the programs, the component registry (kept when present), the
// sample master data (kept when present) and the reference ERP.
void LayOut(const InstallationFiles& files, const std::string& dsn, bool set_dsn,
            const fs::path& programs_folder, bool demo,
            const std::function<void(std::string_view)>& progress) {
  const auto report = [&](const fs::path& file, bool written) {
    progress((written ? "Wrote " : "Kept ") + file.string());
  };
  ConfigurationFile configuration(files.configuration);
  configuration.SetDefault(configuration_chain::kDefaultsSection,
                           configuration_chain::kWebRelativePathKey, "..\\web");
  report(files.configuration, configuration.Save(Readers::kEveryone));

  // It holds the shared secret and, for PostgreSQL, the database password. The host's settings
  // (SERVERHOST) that an operator set are kept, and so is the secret its web tiers use.
  ConfigurationFile product(files.product_configuration);
  if (set_dsn) {
    product.Set(configuration_chain::kConnectionsSection, configuration_chain::kConnectionStringKey,
                dsn);
  } else {
    product.SetDefault(configuration_chain::kConnectionsSection,
                       configuration_chain::kConnectionStringKey, dsn);
  }
  if (!product.Find("SERVERHOST", "SharedSecret")) {
    product.Set("SERVERHOST", "SharedSecret", NewSharedSecret());
  }
  product.SetDefault("SERVERHOST", "Listen", "127.0.0.1:8085");
  report(files.product_configuration, product.Save(Readers::kOwnerOnly));

  fs::create_directories(files.web / "Varnex" / "EndUser" / "MasterData");
  CopyPrograms(programs_folder, files.bin, progress);
  progress(masterdata::WriteSampleMasterData(files.bin));

  // The reference ERP: its store, the registry entries when there is no registry yet, and with
  // `demo` the demo orders and users.
  MakePrivateFolder(files.dir / "erp");
  erp::WriteReferenceErp(files.dir, dsn, erp::ReferenceErpContent{.demo = demo}, progress);
  MakeDatabaseFilePrivate(files.dir / "erp" / "erp.db");
  const fs::path registry = files.bin / "TQSRemoteComponents.xml";
  if (!fs::exists(registry)) {
    WriteComponentRegistry(registry);
    progress("Wrote " + registry.string() + " (it names no ERP yet)");
  }
}

// Brings the schema of the database up to date; an SQLite file that this call creates, and the
// installation's own one with its folder, are made the owner's alone.
void BringDatabaseUpToDate(const std::string& dsn, bool own_database_file,
                           const std::function<void(std::string_view)>& progress) {
  const std::optional<fs::path> database_file = SqliteFile(dsn);
  if (own_database_file) MakePrivateFolder(database_file->parent_path());
  const bool new_database_file = database_file && !fs::exists(*database_file);
  progress(InitializeDatabase(dsn));
  if (database_file && (new_database_file || own_database_file) && fs::exists(*database_file)) {
    MakeDatabaseFilePrivate(*database_file);
  }
}

}  // namespace

const std::vector<std::string>& ProgramFiles() {
  static const std::vector<std::string> files = {
      "TQSRemoteAdmin",      "TQSRemoteBroker",       "TQSRemoteCreateMasterData",
      "TQSRemoteServerHost", "libTQSRemoteServer.so", "libTQSReferenceErp.so",
      "libTQSErpBridge.so",
  };
  return files;
}

std::string InitializeDatabase(std::string_view dsn) {
  auto connection = db::Connection::OpenOrCreate(dsn);
  const server::SchemaUpgrade upgrade = server::UpgradeServerSchema(*connection);
  connection->Close();
  return server::DescribeSchemaUpgrade(upgrade) + "; " +
         std::to_string(upgrade.created.labels_added) + " default texts added, " +
         std::to_string(upgrade.created.labels_present) + " already present.";
}

void Install(const InstallOptions& options, const std::function<void(std::string_view)>& progress) {
  const fs::path dir = fs::absolute(options.directory).lexically_normal();
  if (!IsEmptyFolder(dir) && !options.overwrite) {
    throw Error(error_number::kGenericFailure,
                "The folder " + dir.string() +
                    " is not empty; choose an empty folder, bring an installation up to date "
                    "with \"TQSRemoteAdmin upgrade " +
                    dir.string() +
                    "\", or pass --overwrite (the configuration, the component registry and the "
                    "server database are kept).");
  }
  const InstallationFiles files = FilesOf(dir);
  // Without --dsn an installation laid out again keeps the database it has.
  std::optional<std::string> kept_dsn;
  if (!options.dsn && fs::exists(files.product_configuration)) {
    kept_dsn = ConfigurationFile(files.product_configuration)
                   .Find(configuration_chain::kConnectionsSection,
                         configuration_chain::kConnectionStringKey);
  }
  const std::string dsn = options.dsn.value_or(
      kept_dsn.value_or("Provider=SQLite;Data Source=" + (dir / "data" / "server.db").string()));
  RefuseNewerDatabase(dsn);
  fs::create_directories(dir);

  // The databases are the owner's alone: the installation's own data folder and database, and
  // an SQLite server database elsewhere when this installation creates it (one that exists
  // keeps the access its owner gave it).
  BringDatabaseUpToDate(dsn, IsOwnDatabase(dir, dsn), progress);
  LayOut(files, dsn, options.dsn.has_value(), options.programs_folder, options.demo, progress);
}

void Upgrade(const fs::path& directory, const fs::path& programs_folder,
             const std::function<void(std::string_view)>& progress) {
  const fs::path dir = fs::absolute(directory).lexically_normal();
  const InstallationFiles files = FilesOf(dir);
  std::optional<std::string> dsn;
  if (fs::exists(files.configuration) && fs::exists(files.product_configuration)) {
    dsn = ConfigurationFile(files.product_configuration)
              .Find(configuration_chain::kConnectionsSection,
                    configuration_chain::kConnectionStringKey);
  }
  if (!dsn || Trim(*dsn).empty()) {
    throw Error(error_number::kPathNotFound,
                fmt::format("{} is not a TQSRemote installation: it needs {} and a connection "
                            "string ({}/{}) in {}. Nothing was changed; lay out a new "
                            "installation with \"TQSRemoteAdmin install\".",
                            dir.string(), files.configuration.string(),
                            configuration_chain::kConnectionsSection,
                            configuration_chain::kConnectionStringKey,
                            files.product_configuration.string()));
  }
  // The database must be there: an upgrade never starts an empty one in place of a database
  // that was moved or lost.
  if (const std::optional<fs::path> file = SqliteFile(*dsn); file && !fs::exists(*file)) {
    throw Error(error_number::kFileNotFound,
                "The installation's server database " + file->string() +
                    " does not exist; nothing was changed. Restore it, or correct the "
                    "connection string in " +
                    files.product_configuration.string());
  }
  RefuseNewerDatabase(*dsn);
  // The database first: the programs of before work on the upgraded schema (each version only
  // adds), while new programs would not work on an old one.
  BringDatabaseUpToDate(*dsn, IsOwnDatabase(dir, *dsn), progress);
  LayOut(files, *dsn, false, programs_folder, false, progress);
}

std::string SetConsoleSecret(const fs::path& directory, const std::optional<std::string>& secret) {
  const fs::path dir = fs::absolute(directory).lexically_normal();
  const InstallationFiles files = FilesOf(dir);
  if (!fs::exists(files.configuration) || !fs::exists(files.product_configuration)) {
    throw Error(error_number::kPathNotFound,
                fmt::format("{} is not a TQSRemote installation: it needs {} and {}. Nothing was "
                            "changed.",
                            dir.string(), files.configuration.string(),
                            files.product_configuration.string()));
  }
  ConfigurationFile product(files.product_configuration);
  const char* section = server::host::kHostSection;
  const char* key = server::host::kConsoleSecretKey;
  if (!secret) {
    const bool removed = product.Remove(section, key);
    product.Save(Readers::kOwnerOnly);
    return removed ? "The operator console is off; restart the host for it to take effect."
                   : "The operator console was already off.";
  }
  if (CharacterCount(*secret) < server::host::console::kMinimumSecretLength) {
    throw Error(error_number::kInvalidProcedureCall,
                fmt::format("The operator secret must have at least {} characters; nothing was "
                            "changed.",
                            server::host::console::kMinimumSecretLength));
  }
  if (product.Find(section, server::host::kSharedSecretKey) == *secret) {
    throw Error(error_number::kInvalidProcedureCall,
                "The operator secret must not be the web tier's shared secret; choose another. "
                "Nothing was changed.");
  }
  product.Set(section, key, server::host::console::HashOperatorSecret(*secret));
  product.Save(Readers::kOwnerOnly);
  MakePrivateFolder(dir / "data");
  return fmt::format(
      "The operator secret is set in {}; restart the host (systemctl restart "
      "tqsremote-host), then log in at /console/ of its address. Actions are "
      "recorded in {}.",
      files.product_configuration.string(),
      (dir / "data" / server::host::kConsoleAuditLogName).string());
}

}  // namespace tqs::admin
