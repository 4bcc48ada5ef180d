// The command line of the ERP conformance check:
//   TQSRemoteAdmin erp check --components FILE [--allow-bookings]
// loads the component registry file FILE (as the programs load TQSRemoteComponents.xml), runs
// the check (erp_check.h) and prints one line per scenario. Exit status 0 when no scenario
// failed, 1 when any did, 2 for wrong arguments or a registry file that cannot be loaded.
//
// Not thread-safe; used once per program run.
#ifndef TQS_ADMIN_ERP_CHECK_ERP_CHECK_COMMAND_H_
#define TQS_ADMIN_ERP_CHECK_ERP_CHECK_COMMAND_H_

#include <CLI/CLI.hpp>
#include <filesystem>
#include <ostream>

namespace tqs::admin::erp_check {

// The exit status for wrong arguments and a registry file that cannot be loaded.
inline constexpr int kExitBadArguments = 2;

class ErpCheckCommand {
 public:
  // Adds `check` to the `erp` command.
  explicit ErpCheckCommand(CLI::App& erp);
  ErpCheckCommand(const ErpCheckCommand&) = delete;
  ErpCheckCommand& operator=(const ErpCheckCommand&) = delete;

  // Whether the command line named `erp check` (also when its arguments were wrong).
  bool Named() const;

  // Runs the check, printing each scenario's line to `out` and what stops the check to `err`;
  // returns the exit status. Never raises.
  int Run(std::ostream& out, std::ostream& err) const;

 private:
  // Filled by the command line.
  std::filesystem::path components_file_;
  bool allow_bookings_ = false;

  CLI::App* check_;
};

}  // namespace tqs::admin::erp_check

#endif  // TQS_ADMIN_ERP_CHECK_ERP_CHECK_COMMAND_H_
