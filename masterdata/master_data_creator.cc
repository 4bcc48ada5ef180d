#include "masterdata/master_data_creator.h"

#include <chrono>
#include <system_error>

#include "common/file_lock.h"
#include "common/text.h"
#include "masterdata/centre_selection.h"
#include "masterdata/output_layout.h"
#include "masterdata/run_lock.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"

namespace tqs::masterdata {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kServiceCentresQuery = "SELECT COMP,CWOC from SERVICECENTERS";
constexpr std::string_view kCompactionFailure =
    "CompactDataBase : While compacting the database the following error occurs: ";

std::string ReplacePlaceholder(std::string text, std::string_view value) {
  constexpr std::string_view kPlaceholder = "%1";
  for (std::size_t at = text.find(kPlaceholder); at != std::string::npos;
       at = text.find(kPlaceholder, at + value.size())) {
    text.replace(at, kPlaceholder.size(), value);
  }
  return text;
}

// All rows of the service centre set, values trimmed (a null value as "").
std::vector<ServiceCentre> ReadServiceCentres(db::Recordset& rows) {
  std::vector<ServiceCentre> centres;
  for (; !rows.IsEOF(); rows.MoveNext()) {
    centres.push_back(ServiceCentre{std::string(Trim(rows.Field(0).ToTextOrEmpty())),
                                    std::string(Trim(rows.Field(1).ToTextOrEmpty()))});
  }
  return centres;
}

// Copies `source` over `target`. A rollback journal left beside an earlier target by an
// interrupted run belongs to the content being replaced: it is removed first, so SQLite never
// plays it back into the fresh copy.
void CopyReplacing(const fs::path& source, const fs::path& target) {
  std::error_code error;
  fs::remove(fs::path(target) += "-journal", error);
  error.clear();
  fs::copy_file(source, target, fs::copy_options::overwrite_existing, error);
  if (error) {
    throw Error(error_number::kPathNotFound, "Cannot copy '" + source.string() + "' to '" +
                                                 target.string() + "': " + error.message());
  }
}

}  // namespace

MasterDataCreator::MasterDataCreator(MainWindow& window, archive::Archiver& archiver,
                                     RunEvents& events, CreatorEnvironment environment)
    : window_(window),
      archiver_(archiver),
      events_(events),
      environment_(std::move(environment)),
      log_(window, *environment_.clock, environment_.working_folder) {}

std::string MasterDataCreator::CompactionFileName(DateTime now) {
  const auto since_midnight = now - std::chrono::floor<std::chrono::days>(now);
  const std::string hundredths = std::to_string(since_midnight.count() * 100);
  return hundredths.substr(hundredths.size() > 5 ? hundredths.size() - 5 : 0) + ".mdb";
}

void MasterDataCreator::LoadSettings() {
  settings_ = masterdata::LoadSettings(environment_.application_folder);
  labels_ = LabelTable::Load(settings_.server_connection_string, settings_.language);
}

std::string MasterDataCreator::GetLabel(std::string_view code) { return labels_.GetLabel(code); }

void MasterDataCreator::LogLabel(std::string_view code) { log_.WriteLog(GetLabel(code)); }

void MasterDataCreator::LogLabel(std::string_view code, std::string_view value) {
  log_.WriteLog(ReplacePlaceholder(GetLabel(code), value));
}

bool MasterDataCreator::CompactDataBase(const std::string& path, std::string_view old_password,
                                        std::string_view new_password) {
  try {
    const fs::path database = OnDisk(path);
    const fs::path folder = database.has_parent_path() ? database.parent_path() : fs::path(".");
    const fs::path temporary = folder / CompactionFileName(environment_.clock->Now());
    std::error_code error;
    fs::remove(temporary, error);
    if (error) {
      throw Error(error_number::kPathNotFound,
                  "Cannot delete '" + temporary.string() + "': " + error.message());
    }
    compactor_.CompactInPlace(database, temporary, old_password, new_password);
    return true;
  } catch (const Error& error) {
    log_.WriteLog(std::string(kCompactionFailure) + error.description());
  } catch (const std::exception& error) {
    log_.WriteLog(std::string(kCompactionFailure) + error.what());
  }
  return false;
}

void MasterDataCreator::CopyFile(const std::string& source, const std::string& target) {
  CopyReplacing(OnDisk(source), OnDisk(target));
}

void MasterDataCreator::CreateCompanyFolder(const std::string& folder) {
  const fs::path path = OnDisk(folder);
  std::error_code error;
  if (!fs::create_directory(path, error) || error) {
    throw Error(error_number::kPathNotFound,
                "Cannot create the company folder '" + path.string() +
                    "': " + (error ? error.message() : std::string("it exists already")));
  }
}

void MasterDataCreator::LogLeftoverRemoval(const LeftoverRemoval& removal) {
  for (const fs::path& file : removal.removed) {
    log_.WriteLog("Removed a temporary file left by an interrupted run: " + file.string());
  }
  for (const std::string& failure : removal.failures) {
    log_.WriteLog("Cannot remove a temporary file left by an interrupted run: " + failure);
  }
}

RunOutcome MasterDataCreator::cmdCreateMasterData_Click() {
  // No other run can be compacting now: what a compaction left here is a killed run's.
  const LeftoverRemoval leftovers =
      RemoveCompactionLeftovers(OnDisk(environment_.application_folder));
  window_.SetMousePointer(MousePointer::kHourglass);
  log_.OpenLog();
  LoadSettings();

  window_.SetCaption(GetLabel("SLKRU0959"));
  LogLabel("SLKRU0471");
  log_.WriteLog("");
  log_.WriteLog(GetLabel("SLKRU1044") + " -> " + settings_.web_relative_path);
  log_.WriteLog(GetLabel("SLKRU1043") + " -> " + settings_.master_data_folder);
  log_.WriteLog("");
  LogLeftoverRemoval(leftovers);

  if (!archiver_.IsAvailable()) {
    LogLabel("SLKRU1045 ");
    log_.CloseLog();
    return RunOutcome::kArchiverMissing;
  }

  LogLabel("SLKRU1039");
  if (!CompactDataBase(settings_.template_database_path, "", "")) {
    log_.CloseLog();
    return RunOutcome::kCompactionFailed;
  }
  LogLabel("SLKRU1040");
  events_.DoEvents();
  LogLabel("SLKRU1042");
  const std::vector<TransferEntry> entries = LoadTransferDescription(
      OnDisk(settings_.application_folder + "\\" + std::string(kTransferDescriptionFileName)));

  events_.DoEvents();
  LogLabel("SLKRU1030");
  auto template_db = db::Connection::Open(settings_.template_connection_string);
  LogLabel("SLKRU0483");
  auto rows = db::Recordset::Open(kServiceCentresQuery, *template_db, db::CursorType::kForwardOnly,
                                  db::LockType::kOptimistic);
  if (rows->IsBOF() || rows->IsEOF()) {
    log_.WriteLog("");
    LogLabel("SLKRU1026");
    log_.CloseLog();
    rows->Close();
    window_.SetMousePointer(MousePointer::kDefault);
    return RunOutcome::kNoServiceCentres;
  }
  // Centres whose names cannot name their output are left out before anything is written.
  const CentreSelection selection = SelectCentres(ReadServiceCentres(*rows));
  rows->Close();
  template_db->Close();
  for (const std::string& skipped : selection.skipped) log_.WriteLog(skipped);
  if (selection.produced.empty()) {
    log_.WriteLog("");
    log_.WriteLog("No service centre can be produced; nothing was written.");
    log_.CloseLog();
    window_.SetMousePointer(MousePointer::kDefault);
    return RunOutcome::kFinishedWithSkips;
  }

  const std::string first_company =
      CompanyFolder(settings_.master_data_folder, selection.produced.front().company);
  if (!Exists(first_company)) {
    LogLabel("SLKRU1031");
    CreateCompanyFolder(first_company);
  } else if (!window_.recreate_master_data()) {
    log_.WriteLog("");
    LogLabel("SLKRU1037");
    window_.SetMousePointer(MousePointer::kDefault);
    log_.CloseLog();
    return RunOutcome::kOutputExists;
  }

  events_.DoEvents();
  log_.WriteLog("");
  for (const ServiceCentre& centre : selection.produced) ProcessServiceCentre(centre, entries);

  if (!selection.skipped.empty()) {
    log_.WriteLog(std::to_string(selection.skipped.size()) +
                  " service centre(s) skipped (see above): their master data was not created.");
  }
  LogLabel("SLKRU1029");
  log_.CloseLog();
  window_.SetMousePointer(MousePointer::kDefault);
  return selection.skipped.empty() ? RunOutcome::kFinished : RunOutcome::kFinishedWithSkips;
}

void MasterDataCreator::ProcessServiceCentre(const ServiceCentre& centre,
                                             const std::vector<TransferEntry>& entries) {
  const CentreOutput output =
      CentreOutputOf(settings_.master_data_folder, centre.company, centre.centre);
  if (!Exists(output.company_folder)) {
    LogLabel("SLKRU1031");
    CreateCompanyFolder(output.company_folder);
  }
  LogLabel("SLKRU1032", centre.centre);

  const fs::path database = OnDisk(output.database);
  CopyReplacing(OnDisk(settings_.template_database_path), database);
  events_.DoEvents();
  const TransferDatabases databases{settings_.template_connection_string,
                                    std::string(kClientConnectionPrefix) + database.string()};
  for (const TransferEntry& entry : entries) {
    events_.DoEvents();
    ApplyTransferEntry(entry, centre, databases, events_);
  }
  // Only this centre's rows go into the archive, not the pages the cuts freed.
  EraseFreedPages(database);

  events_.DoEvents();
  LogLabel("SLKRU1028", centre.centre);
  LogLabel("SLKRU0494");
  archiver_.CreateSelfExtracting(OnDisk(output.company_folder) / centre.centre, database);
  if (Exists(output.archive_file)) LogLabel("SLKRU1027");
  log_.WriteLog("");
}

void MasterDataCreator::ShowWithoutLog(const std::string& message) {
  window_.AddStatusLine(message);
  window_.SetListIndex(static_cast<int>(window_.status_list().size()) - 1);
  window_.SetStatusLabel(message);
}

MasterDataCreator::RunResult MasterDataCreator::CreateMasterData() {
  std::optional<Error> stop;
  // Held until the run's last report is written.
  std::unique_ptr<FileLock> run_lock;
  try {
    run_lock = TryAcquireRunLock(environment_.application_folder);
    if (run_lock == nullptr) {
      const std::string refusal =
          AnotherRunInProgress(RunLockFile(environment_.application_folder));
      ShowWithoutLog(refusal);
      return RunResult{RunOutcome::kAnotherRunInProgress,
                       Error(error_number::kPermissionDenied, refusal)};
    }
    return RunResult{cmdCreateMasterData_Click(), std::nullopt};
  } catch (const Error& error) {
    stop = error;
  } catch (const std::exception& error) {
    stop = Error(error_number::kGenericFailure, error.what());
  }
  const std::string report = "Run-time error '" + std::to_string(stop->number()) +
                             "': " + std::string(Trim(stop->description()));
  try {
    if (log_.IsOpen()) {
      log_.WriteLog(report);
    } else {
      ShowWithoutLog(report);
    }
  } catch (const Error&) {
    // The log cannot take the report; the window and the returned error still carry it.
    window_.AddStatusLine(report);
  }
  log_.CloseLog();
  window_.SetMousePointer(MousePointer::kDefault);
  return RunResult{RunOutcome::kFailed, std::move(stop)};
}

}  // namespace tqs::masterdata
