// An Installation is the folder layout that the three programs expect, laid out by
// `TQSRemoteAdmin install`:
//   DIR/Configuration.xml                       DEFAULTS/WebRelativePath = ..\web
//   DIR/bin/                                    the programs (started with DIR/bin as working folder)
//   DIR/bin/TQSRemoteComponents.xml             which library serves which component identifiers
//   DIR/web/config/VarnexConfiguration.xml      CONNECTIONS/VarnexConnection_ConnectionString
//   DIR/web/Varnex/EndUser/MasterData/          the packed client master data
//   DIR/data/server.db                          the server database (unless another DSN is given)
//   DIR/erp/                                    the reference ERP's store and demo orders
//                                               (erp/seed.h), with demo users in USERDEFAULTS
// Installing into a folder that is not empty is refused unless overwriting is asked for; an
// existing database is never deleted or emptied, only brought up to date.
// VarnexConfiguration.xml (it holds secrets) and the SQLite databases are the owner's alone
// (0600, in folders DIR/data and DIR/erp of mode 0700), whatever the umask, also when
// overwriting (server/admin/private_files.h).
#ifndef TQS_SERVER_ADMIN_INSTALLATION_H_
#define TQS_SERVER_ADMIN_INSTALLATION_H_

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tqs::server {

struct InstallOptions {
  std::filesystem::path directory;
  // The server database connection string; default: an SQLite file DIR/data/server.db.
  std::optional<std::string> dsn;
  bool overwrite = false;
  // The folder holding the built programs to copy into DIR/bin.
  std::filesystem::path programs_folder;
};

// Lays out the installation; reports each step through `progress`. Raises tqs::Error.
void Install(const InstallOptions& options,
             const std::function<void(std::string_view)>& progress);

// Creates the schema and default data on the database of `dsn` (creating an SQLite file when
// missing); returns a line for the operator saying what was added.
std::string InitializeDatabase(std::string_view dsn);

// Adds a USERDEFAULTS row. Raises tqs::Error when the login already has one.
void AddUser(std::string_view dsn, std::string_view login, std::string_view employee,
             std::string_view bus_component);

// The names of the files of the product that `install` copies into DIR/bin when present.
const std::vector<std::string>& ProgramFiles();

}  // namespace tqs::server

#endif  // TQS_SERVER_ADMIN_INSTALLATION_H_
