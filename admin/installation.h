// An Installation is the folder layout that the three programs expect, laid out by
// `TQSRemoteAdmin install`:
//   DIR/Configuration.xml                       DEFAULTS/WebRelativePath = ..\web
//   DIR/bin/                                    the programs (started with DIR/bin as working
//   folder) DIR/bin/TQSRemoteComponents.xml             which library serves which component
//   identifiers DIR/web/config/VarnexConfiguration.xml
//   CONNECTIONS/VarnexConnection_ConnectionString DIR/web/Varnex/EndUser/MasterData/          the
//   packed client master data DIR/data/server.db                          the server database
//   (unless another DSN is given) DIR/erp/                                    the reference ERP's
//   store and demo orders
//                                               (erp/seed.h), with demo users in USERDEFAULTS
// A production installation has no users and an empty ERP store; the demo adds the demo users
// and orders. Installing into a folder that is not empty is refused unless overwriting is asked
// for. Overwriting and upgrading keep what is there: the configuration entries (connection
// string, the host's SERVERHOST settings, the shared secret), the component registry, the
// master data template and description, the ERP store and the users; they add only what is
// missing, replace the programs, and bring the server database's schema up to date
// (server/schema/schema_version.h). A database is never deleted or emptied, and one of a newer
// schema version is refused before anything is changed.
// VarnexConfiguration.xml (it holds secrets) and the SQLite databases are the owner's alone
// (0600, in folders DIR/data and DIR/erp of mode 0700), whatever the umask, also when
// overwriting (admin/private_files.h).
#ifndef TQS_ADMIN_INSTALLATION_H_
#define TQS_ADMIN_INSTALLATION_H_

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tqs::admin {

struct InstallOptions {
  std::filesystem::path directory;
  // The server database connection string; default: an SQLite file DIR/data/server.db.
  std::optional<std::string> dsn;
  bool overwrite = false;
  // Adds the demo users (USERDEFAULTS) and, into a new ERP store, the demo service orders.
  bool demo = false;
  // The folder holding the built programs to copy into DIR/bin.
  std::filesystem::path programs_folder;
};

// Lays out the installation; reports each step through `progress`. Raises tqs::Error.
void Install(const InstallOptions& options, const std::function<void(std::string_view)>& progress);

// Brings the installation in `directory` up to the programs in `programs_folder`: the server
// database (the one its configuration names) first, then the files; reports each step through
// `progress`. Raises tqs::Error, changing nothing, for a folder that is not an installation, a
// missing SQLite database or one of a newer schema version. Run again after an interruption.
void Upgrade(const std::filesystem::path& directory, const std::filesystem::path& programs_folder,
             const std::function<void(std::string_view)>& progress);

// Creates the schema and default data on the database of `dsn` (creating an SQLite file when
// missing) and applies the migrations it lacks; returns a line for the operator saying what was
// done. Raises tqs::Error, changing nothing, for a database of a newer schema version.
std::string InitializeDatabase(std::string_view dsn);

// Sets the operator console's secret of the installation in `directory` (SERVERHOST/
// ConsoleSecretHash of VarnexConfiguration.xml, as a salted hash; the file stays the owner's
// alone), or with none removes it, which switches the console off. Makes DIR/data for the
// console's audit log. Returns a line for the operator. Raises tqs::Error, changing nothing, for
// a folder that is not an installation, a secret shorter than 12 characters or one that is the
// web tier's shared secret. The host reads it when it starts.
std::string SetConsoleSecret(const std::filesystem::path& directory,
                             const std::optional<std::string>& secret);

// The names of the files of the product that `install` copies into DIR/bin when present.
const std::vector<std::string>& ProgramFiles();

}  // namespace tqs::admin

#endif  // TQS_ADMIN_INSTALLATION_H_
