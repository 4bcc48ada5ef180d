// TQSRemoteAdmin: creates the server database and lays out a working installation.
//   TQSRemoteAdmin init-db --dsn DSN
//   TQSRemoteAdmin install DIR [--dsn DSN] [--overwrite]
//   TQSRemoteAdmin add-user --dsn DSN --login L --employee E --bus-component B
//   TQSRemoteAdmin status --dsn DSN [--json]
//   TQSRemoteAdmin erp import FILE... [--store STORE]
// Exit status 0 on success, 1 on failure with the reason on standard error.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "common/error.h"
#include "erp/job_sheet_import.h"
#include "erp/seed.h"
#include "erp/store.h"
#include "platform/db/connection.h"
#include "server/admin/installation.h"
#include "server/admin/queue_health.h"

namespace {

std::filesystem::path ProgramFolder() {
  std::error_code ignored;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ignored);
  return self.empty() ? std::filesystem::current_path() : self.parent_path();
}

// Loads service orders from job sheet documents into the reference ERP's store: the one
// named, or else the one the component registry beside the program names.
void ImportIntoReferenceErp(const std::vector<std::filesystem::path>& files,
                            const std::filesystem::path& store_file) {
  const std::unique_ptr<tqs::erp::Store> store =
      store_file.empty() ? tqs::erp::Store::Open(tqs::erp::StoreOfRegistry(
                               ProgramFolder() / "TQSRemoteComponents.xml"))
                         : tqs::erp::Store::Create(store_file);
  for (const std::filesystem::path& file : files) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in) throw tqs::Error(tqs::error_number::kFileNotFound, "Cannot read " + file.string());
    const tqs::erp::ImportReport report =
        tqs::erp::ImportJobSheets(*store, text.str(), file.string());
    std::cout << file.string() << ": " << report.orders.size() << " service orders imported";
    if (!report.cancelled.empty()) std::cout << ", " << report.cancelled.size() << " cancelled";
    for (const std::string& employee : report.employees) {
      std::cout << ", engineer " << employee << " added";
    }
    std::cout << " into " << store->file().string() << "\n";
  }
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"TQSRemoteAdmin: server database and installation of TQSRemote"};
  app.require_subcommand(1);

  std::string dsn;
  auto* init_db = app.add_subcommand("init-db", "Create the schema and default data in a database "
                                                "(adds only what is missing; never drops a row)");
  init_db->add_option("--dsn", dsn, "Connection string, e.g. \"Provider=SQLite;Data Source=server.db\"")
      ->required();

  tqs::server::InstallOptions install_options;
  std::string install_dsn;
  auto* install = app.add_subcommand("install", "Lay out a working installation in a folder");
  install->add_option("directory", install_options.directory, "Installation folder")->required();
  install->add_option("--dsn", install_dsn,
                      "Server database connection string (default: SQLite file DIR/data/server.db)");
  install->add_flag("--overwrite", install_options.overwrite,
                    "Install into a folder that is not empty (an existing database is kept)");

  std::string login, employee, bus_component;
  auto* add_user = app.add_subcommand("add-user", "Add a laptop user to USERDEFAULTS");
  add_user->add_option("--dsn", dsn, "Connection string")->required();
  add_user->add_option("--login", login, "Login name (LOGN)")->required();
  add_user->add_option("--employee", employee, "Employee number (EMNO)")->required();
  add_user->add_option("--bus-component", bus_component, "ERP business component")->required();

  bool as_json = false;
  auto* status = app.add_subcommand("status", "Show the upload queue: documents per status, "
                                              "the oldest pending document of each type (UTC), "
                                              "employees with the most pending documents");
  status->add_option("--dsn", dsn, "Connection string")->required();
  status->add_flag("--json", as_json, "Print JSON instead of a table");

  std::vector<std::filesystem::path> import_files;
  std::filesystem::path import_store;
  auto* erp = app.add_subcommand("erp", "The reference ERP");
  erp->require_subcommand(1);
  auto* erp_import = erp->add_subcommand(
      "import", "Load service orders from job sheet documents into the reference ERP's store");
  erp_import->add_option("files", import_files, "Files holding jobsheet elements")
      ->required()
      ->check(CLI::ExistingFile);
  erp_import->add_option("--store", import_store,
                         "The ERP store file, created when missing (default: the store that "
                         "TQSRemoteComponents.xml beside the program names)");

  CLI11_PARSE(app, argc, argv);

  try {
    if (init_db->parsed()) {
      std::cout << tqs::server::InitializeDatabase(dsn) << "\n";
    } else if (install->parsed()) {
      if (!install_dsn.empty()) install_options.dsn = install_dsn;
      install_options.programs_folder = ProgramFolder();
      tqs::server::Install(install_options,
                           [](std::string_view line) { std::cout << line << "\n"; });
      std::cout << "Installation ready in "
                << std::filesystem::absolute(install_options.directory).string() << "\n";
    } else if (status->parsed()) {
      auto connection = tqs::db::Connection::Open(dsn);
      const tqs::server::QueueHealth health = tqs::server::ReadQueueHealth(*connection);
      std::cout << (as_json ? tqs::server::ToJson(health).dump(2) + "\n"
                            : tqs::server::FormatQueueHealth(health));
    } else if (erp_import->parsed()) {
      ImportIntoReferenceErp(import_files, import_store);
    } else if (add_user->parsed()) {
      tqs::server::AddUser(dsn, login, employee, bus_component);
      std::cout << "User " << login << " added (employee " << employee << ").\n";
    }
  } catch (const tqs::Error& error) {
    std::cerr << "TQSRemoteAdmin: " << error.description() << " (error " << error.number()
              << ")\n";
    return 1;
  } catch (const std::exception& error) {
    std::cerr << "TQSRemoteAdmin: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
