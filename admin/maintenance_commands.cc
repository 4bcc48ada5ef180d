#include "admin/maintenance_commands.h"

#include <CLI/CLI.hpp>
#include <ostream>

#include "admin/backup.h"
#include "admin/operator_identity.h"
#include "admin/purge.h"
#include "common/date_time.h"
#include "common/error.h"
#include "platform/db/connection.h"
#include "platform/db/connection_string.h"

namespace tqs::admin {

MaintenanceCommands::MaintenanceCommands(CLI::App& app) {
  backup_ = app.add_subcommand(
      "backup",
      "Copy the server database consistently while the programs run (SQLite); for PostgreSQL "
      "print the pg_dump command to run (exit status 3: no backup was made)");
  backup_->add_option("--dsn", backup_dsn_, "Connection string of the server database")->required();
  backup_->add_option("destination", backup_destination_, "The backup file to write")->required();
  backup_->add_flag("--overwrite", backup_overwrite_, "Replace the backup file when it exists");

  purge_ = app.add_subcommand(
      "purge",
      "Delete finished documents (processed or failed, whose laptop has synchronised since) "
      "processed before a day; never pending, in-doubt or unrecognised ones");
  purge_->add_option("--dsn", purge_dsn_, "Connection string of the server database")->required();
  purge_
      ->add_option("--processed-before", processed_before_,
                   "The day (YYYY-MM-DD, the broker's local time) before which the documents "
                   "were processed")
      ->required();
  purge_->add_flag("--dry-run", dry_run_,
                   "Show what would be deleted, per document type and status; change nothing");
}

bool MaintenanceCommands::Chosen() const { return backup_->parsed() || purge_->parsed(); }

int MaintenanceCommands::Run(std::ostream& out, std::ostream& err) const {
  return backup_->parsed() ? RunBackup(out, err) : RunPurge(out);
}

int MaintenanceCommands::RunBackup(std::ostream& out, std::ostream& err) const {
  const db::ConnectionString connection = db::ConnectionString::Parse(backup_dsn_);
  if (connection.provider() == db::ProviderKind::kPostgreSql) {
    if (std::filesystem::exists(backup_destination_) && !backup_overwrite_) {
      throw Error(error_number::kOperationNotAllowed,
                  "'" + backup_destination_.string() +
                      "' exists; it is kept (give --overwrite to replace it)");
    }
    out << PgDumpCommand(connection, backup_destination_) << "\n";
    err << "TQSRemoteAdmin: no backup was made: a PostgreSQL database is backed up with the "
           "pg_dump command above (it asks for the password, or reads it from ~/.pgpass or "
           "PGPASSWORD); restore it with pg_restore --clean --if-exists --dbname=...\n";
    return kExitBackupNotMade;
  }
  if (connection.provider() != db::ProviderKind::kSqlite) {
    throw Error(error_number::kProviderNotFound,
                "backup copies a server database (Provider=SQLite or PostgreSQL)");
  }
  const BackupReport report = BackUpSqliteDatabase(connection.Require("Data Source"),
                                                   backup_destination_, backup_overwrite_);
  out << "Backup written to " << report.file.string() << " (" << report.bytes
      << " bytes, integrity check ok";
  if (report.interaction_rows >= 0) out << ", " << report.interaction_rows << " documents";
  out << ")\n";
  return 0;
}

int MaintenanceCommands::RunPurge(std::ostream& out) const {
  const PurgeRequest request{.processed_before = ParseIsoDay(processed_before_),
                             .operator_name = OperatingSystemUser()};
  auto connection = db::Connection::Open(purge_dsn_);
  const PurgePlan plan = PlanPurge(*connection, request, Clock::System());
  out << FormatPurgePlan(plan, processed_before_);
  if (dry_run_) {
    out << "Dry run: nothing was deleted.\n";
    return 0;
  }
  const std::int64_t deleted = Purge(*connection, request, Clock::System());
  out << deleted << " documents deleted.\n";
  if (deleted > 0 && connection->Provider() == "SQLite") {
    out << "The database file keeps its size: SQLite reuses the freed space for new "
           "documents.\n";
  }
  return 0;
}

}  // namespace tqs::admin
