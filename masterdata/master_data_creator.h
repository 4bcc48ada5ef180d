// MasterDataCreator holds the procedures of the master data creator's window (frmMain) and the
// state of its runs: the settings, the label table and the run log. One press of "Create
// Master Data" (cmdCreateMasterData_Click) is one complete run:
//   settings and labels -> template database compacted -> transfer description read ->
//   service centres read and checked -> (one of the early ends) or, per service centre whose
//   names can name its output, its client database copied from the template, cut down by the
//   transfer entries and compacted, then packed as a self-extracting archive -> finished.
// One run at a time per installation: a run holds the run lock (run_lock.h) from before it
// opens its log to its end, and first removes what a killed run left (run_leftovers.h).
// Every step is logged with its localised label in the run log and the window's status list.
// The work itself lives in its own classes (settings.h, label_table.h, run_log.h,
// database_compactor.h, transfer_description.h, table_transfer.h, output_layout.h,
// centre_selection.h, run_lock.h, run_leftovers.h and the archiver).
//
// Not thread-safe: the window's thread runs it.
#ifndef TQS_MASTERDATA_MASTER_DATA_CREATOR_H_
#define TQS_MASTERDATA_MASTER_DATA_CREATOR_H_

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/date_time.h"
#include "common/error.h"
#include "masterdata/database_compactor.h"
#include "masterdata/label_table.h"
#include "masterdata/main_window.h"
#include "masterdata/run_events.h"
#include "masterdata/run_leftovers.h"
#include "masterdata/run_log.h"
#include "masterdata/settings.h"
#include "masterdata/table_transfer.h"
#include "masterdata/transfer_description.h"
#include "platform/archive/archiver.h"

namespace tqs::masterdata {

// How a run ended.
enum class RunOutcome {
  kFinished,              // every service centre processed
  kArchiverMissing,       // early end: no archiver (cannot happen with the built-in one)
  kCompactionFailed,      // early end: the template database could not be compacted
  kNoServiceCentres,      // early end: SERVICECENTERS has no rows
  kOutputExists,          // early end: the output exists and recreating is not ticked
  kFailed,                // the run stopped on an error (see CreateMasterData)
  kFinishedWithSkips,     // every service centre processed except those skipped for their names
  kAnotherRunInProgress,  // not started: another run of this installation holds the run lock
};

// Where the program runs.
struct CreatorEnvironment {
  std::string application_folder;        // the folder that holds the program file
  std::filesystem::path working_folder;  // the current directory: the run log goes there
  const Clock* clock = &Clock::System();
};

class MasterDataCreator {
 public:
  // `window`, `archiver` and `events` must outlive the creator.
  MasterDataCreator(MainWindow& window, archive::Archiver& archiver, RunEvents& events,
                    CreatorEnvironment environment);
  MasterDataCreator(const MasterDataCreator&) = delete;
  MasterDataCreator& operator=(const MasterDataCreator&) = delete;

  // What a press of the button gives a front end.
  struct RunResult {
    RunOutcome outcome;
    // The error that stopped the run (outcome kFailed), or why it did not start (outcome
    // kAnotherRunInProgress: error 70, "Another master data run is in progress ...").
    std::optional<Error> error;
  };
  // One press of the button: takes the run lock and runs cmdCreateMasterData_Click under it.
  // When another run holds the lock, shows that in the status list and returns at once, leaving
  // the log file and everything else alone. When the run stops on an error, reports it as the
  // platform does ("Run-time error '<number>': <description>") in the log and the status list,
  // closes the log and resets the mouse pointer.
  RunResult CreateMasterData();

  // Reads the settings (settings.h) and then the label table of the settings' language.
  void LoadSettings();
  // The text of a label code in the label table; "" when there is none.
  std::string GetLabel(std::string_view code);
  // Compacts the client database at the Windows-style `path` in place. The temporary file is
  // named by the time of day (the last five digits of the hundredths of seconds since
  // midnight, ".mdb") and lies beside the database, so the final rename is atomic; an earlier
  // file of that name is deleted first. Returns false after logging
  // "CompactDataBase : While compacting the database the following error occurs: <reason>".
  bool CompactDataBase(const std::string& path, std::string_view old_password,
                       std::string_view new_password);
  // Copies a file, replacing the target (Windows-style paths). Raises tqs::Error naming both.
  void CopyFile(const std::string& source, const std::string& target);

  const Settings& settings() const { return settings_; }
  RunLog& log() { return log_; }

  // The name of the temporary file of a compaction at `now`.
  static std::string CompactionFileName(DateTime now);

 private:
  // The whole run; the caller holds the run lock. Failures other than the early ends (a missing
  // configuration file or transfer description, an SQL error in a transfer statement, a locked
  // file, ...) are not caught: the tqs::Error leaves the run where it happened, with the log
  // still open and what was written so far kept.
  RunOutcome cmdCreateMasterData_Click();
  // Shows `message` in the status list and label without writing it to the log.
  void ShowWithoutLog(const std::string& message);
  // Logs what the removal of a killed run's leftovers did (nothing when there were none).
  void LogLeftoverRemoval(const LeftoverRemoval& removal);
  // Logs the label of `code`.
  void LogLabel(std::string_view code);
  // Logs the label of `code` with "%1" replaced by `value`.
  void LogLabel(std::string_view code, std::string_view value);
  void CreateCompanyFolder(const std::string& folder);
  void ProcessServiceCentre(const ServiceCentre& centre, const std::vector<TransferEntry>& entries);

  // Fixed at construction.
  MainWindow& window_;
  archive::Archiver& archiver_;
  RunEvents& events_;
  const CreatorEnvironment environment_;
  DatabaseCompactor compactor_;

  // Filled by LoadSettings; kept for the life of the process.
  Settings settings_;
  LabelTable labels_;

  // Open from the start of a run to its end.
  RunLog log_;
};

}  // namespace tqs::masterdata

#endif  // TQS_MASTERDATA_MASTER_DATA_CREATOR_H_
