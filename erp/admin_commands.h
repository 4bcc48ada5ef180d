// The reference ERP's own commands of TQSRemoteAdmin:
//   TQSRemoteAdmin erp import FILE... [--store STORE]
// loads service orders from job sheet documents (erp/job_sheet_import.h) into the reference
// ERP's store: the one that --store names (created when missing), or else the one that the
// component registry beside the program names. What `TQSRemoteAdmin install` lays out of the
// reference ERP (store, demo orders, registry entries, demo users) is erp/seed.h.
// The object adds its subcommands to the program's `erp` command and runs the one given.
//
// Not thread-safe; one object per command line.
#ifndef TQS_ERP_ADMIN_COMMANDS_H_
#define TQS_ERP_ADMIN_COMMANDS_H_

#include <CLI/CLI.hpp>
#include <filesystem>
#include <ostream>
#include <vector>

namespace tqs::erp {

class AdminCommands {
 public:
  // Adds `import` to the `erp` command; without --store it imports into the store that
  // `default_registry` names.
  AdminCommands(CLI::App& erp, std::filesystem::path default_registry);
  AdminCommands(const AdminCommands&) = delete;
  AdminCommands& operator=(const AdminCommands&) = delete;

  // Whether the command line named one of these commands.
  bool Chosen() const;

  // Runs the command given, printing a line per imported file to `out`. Raises tqs::Error
  // naming the file that could not be read or imported; the files before it stay imported.
  void Run(std::ostream& out) const;

 private:
  const std::filesystem::path default_registry_;

  // Filled by the command line.
  std::vector<std::filesystem::path> import_files_;
  std::filesystem::path import_store_;

  CLI::App* import_;
};

}  // namespace tqs::erp

#endif  // TQS_ERP_ADMIN_COMMANDS_H_
