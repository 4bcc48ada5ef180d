// The maintenance commands of TQSRemoteAdmin:
//   backup --dsn DSN DEST [--overwrite]    a consistent copy of an SQLite server database made
//                                          while the programs keep writing (backup.h); for
//                                          PostgreSQL the pg_dump command line to run instead
//   purge --dsn DSN --processed-before YYYY-MM-DD [--dry-run]
//                                          removes finished documents (purge.h)
// MaintenanceCommands declares them on the program's command line; after parsing, Run carries
// out the one chosen and returns the program's exit status: 0 done, 1 failed (the reason on
// the error stream), kExitBackupNotMade when the database is PostgreSQL and the printed pg_dump
// command must be run to make the backup.
//
// Not thread-safe: used by the program's main thread.
#ifndef TQS_ADMIN_MAINTENANCE_COMMANDS_H_
#define TQS_ADMIN_MAINTENANCE_COMMANDS_H_

#include <filesystem>
#include <iosfwd>
#include <string>

namespace CLI {
class App;
}  // namespace CLI

namespace tqs::admin {

// The backup was not made here: the server database is PostgreSQL (run the printed command).
inline constexpr int kExitBackupNotMade = 3;

class MaintenanceCommands {
 public:
  // Adds the subcommands to `app`, which must outlive this object.
  explicit MaintenanceCommands(CLI::App& app);
  MaintenanceCommands(const MaintenanceCommands&) = delete;
  MaintenanceCommands& operator=(const MaintenanceCommands&) = delete;

  // Whether the parsed command line chose one of these commands.
  bool Chosen() const;

  // Carries out the chosen command. Raises tqs::Error on failure, for the program to report.
  int Run(std::ostream& out, std::ostream& err) const;

 private:
  int RunBackup(std::ostream& out, std::ostream& err) const;
  int RunPurge(std::ostream& out) const;

  // The options as parsed; the subcommands are owned by the App.
  CLI::App* backup_;
  std::string backup_dsn_;
  std::filesystem::path backup_destination_;
  bool backup_overwrite_ = false;

  CLI::App* purge_;
  std::string purge_dsn_;
  std::string processed_before_;
  bool dry_run_ = false;
};

}  // namespace tqs::admin

#endif  // TQS_ADMIN_MAINTENANCE_COMMANDS_H_
