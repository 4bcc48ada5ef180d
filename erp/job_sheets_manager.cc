#include "erp/job_sheets_manager.h"

#include <fmt/format.h>

#include <algorithm>

#include "common/erp/job_sheets.h"
#include "common/error.h"
#include "erp/booking_once_internal.h"
#include "erp/download_objects.h"
#include "erp/download_planner.h"
#include "erp/download_state.h"
#include "erp/job_sheet_processing.h"
#include "erp/late_bound_internal.h"
#include "erp/properties.h"
#include "erp/upload_objects.h"

namespace tqs::erp {

namespace {

namespace js = job_sheets;
using automation::ObjectPtr;
using automation::Variant;
using internal::KeptText;
using internal::NewDataObject;
using internal::OptionalObject;
using internal::RequireArguments;

// The positions of getJobSheets' arguments.
enum DownloadArgument : std::size_t {
  kEmployee,
  kInput,
  kOutput,
  kContinuationFlag,
  kState,
  kErrorStructure,
  kSecondNumber,
  kDownloadArgumentCount
};

// The positions of ProcessJobSheet's arguments.
enum ProcessArgument : std::size_t {
  kProcessEmployee,
  kJobSheet,
  kProcessFirstNumber,
  kProcessState,
  kProcessErrorStructure,
  kProcessSecondNumber,
  kProcessArgumentCount
};

std::string ProgId(std::string_view class_name) {
  return std::string(js::kPrefix) + std::string(class_name);
}

// The idempotency key the caller gave the ioState of ProcessJobSheet, if any. A state of
// another implementation that has no such property carries no key.
std::optional<std::string> IdempotencyKeyOf(const Variant& state_argument) {
  const ObjectPtr state = OptionalObject(state_argument, "the ioState argument of ProcessJobSheet");
  if (!state) return std::nullopt;
  try {
    return internal::IdempotencyKey(
        internal::Ask(state, "get" + std::string(js::process_state::kSetIdempotencyKey.substr(3))));
  } catch (const Error& error) {
    if (error.number() == error_number::kMethodNotSupported) return std::nullopt;
    throw;
  }
}

// The outcome of an upload: read the job sheet handed over and apply it.
JobSheetOutcome ProcessUpload(Store& store, const std::string& employee,
                              const Variant& job_sheet_argument) {
  UploadedJobSheet upload;
  try {
    upload = ReadUploadedJobSheet(
        OptionalObject(job_sheet_argument, "the iJobSheetForProcess argument of ProcessJobSheet"));
  } catch (const Error& error) {
    JobSheetOutcome outcome;
    outcome.return_value = kJobSheetRejected;
    outcome.order.result = kObjectRejected;
    outcome.order.description = "The job sheet could not be read: " + error.description();
    return outcome;
  }
  return JobSheetProcessing(store).Process(employee, upload);
}

// --- The outcome as it is kept under an idempotency key ---------------------------------------

nlohmann::json ObjectToJson(const ObjectOutcome& object) {
  return {{"id", object.id},
          {"measurement_type", object.measurement_type},
          {"result", object.result},
          {"description", object.description},
          {"new_id", object.new_id}};
}

ObjectOutcome ObjectFromJson(const nlohmann::json& json) {
  return ObjectOutcome{
      json.at("id").get<std::string>(), json.at("measurement_type").get<std::string>(),
      json.at("result").get<std::int32_t>(), json.at("description").get<std::string>(),
      json.at("new_id").get<std::string>()};
}

// An optional list: null when the upload held no such list.
template <typename T, typename ToJson>
nlohmann::json ListToJson(const std::optional<std::vector<T>>& list, ToJson to_json) {
  if (!list) return nullptr;
  nlohmann::json array = nlohmann::json::array();
  for (const T& entry : *list) array.push_back(to_json(entry));
  return array;
}

template <typename T, typename FromJson>
std::optional<std::vector<T>> ListFromJson(const nlohmann::json& json, FromJson from_json) {
  if (json.is_null()) return std::nullopt;
  std::vector<T> list;
  for (const nlohmann::json& entry : json) list.push_back(from_json(entry));
  return list;
}

nlohmann::json ActivityToJson(const ActivityOutcome& activity) {
  nlohmann::json lines = nlohmann::json::array();
  for (const auto& kind : activity.lines) lines.push_back(ListToJson(kind, ObjectToJson));
  return {{"activity", ObjectToJson(activity.activity)}, {"lines", std::move(lines)}};
}

ActivityOutcome ActivityFromJson(const nlohmann::json& json) {
  ActivityOutcome activity;
  activity.activity = ObjectFromJson(json.at("activity"));
  const nlohmann::json& lines = json.at("lines");
  for (std::size_t kind = 0; kind < activity.lines.size(); ++kind) {
    activity.lines[kind] = ListFromJson<ObjectOutcome>(lines.at(kind), ObjectFromJson);
  }
  return activity;
}

nlohmann::json OutcomeToJson(const JobSheetOutcome& outcome) {
  return {{"return_value", outcome.return_value},
          {"order", ObjectToJson(outcome.order)},
          {"activities", ListToJson(outcome.activities, ActivityToJson)},
          {"payments", ListToJson(outcome.payments, ObjectToJson)}};
}

JobSheetOutcome OutcomeFromJson(const nlohmann::json& json) {
  JobSheetOutcome outcome;
  outcome.return_value = json.at("return_value").get<std::int32_t>();
  outcome.order = ObjectFromJson(json.at("order"));
  outcome.activities = ListFromJson<ActivityOutcome>(json.at("activities"), ActivityFromJson);
  outcome.payments = ListFromJson<ObjectOutcome>(json.at("payments"), ObjectFromJson);
  return outcome;
}

// The download a portion call continues: the snapshot its ioState holds, or none when the
// state is new (or not one of this library's).
std::shared_ptr<const DownloadState> GivenState(const Variant& state_argument) {
  return DownloadState::Of(OptionalObject(state_argument, "the ioState argument of getJobSheets"));
}

// The download of a first portion call, decided now against what the input says the laptop
// holds; nullptr when the employee is not known to the ERP.
std::shared_ptr<const DownloadSnapshot> DecideDownload(const Store& store,
                                                       const std::string& employee,
                                                       const Variant& input_argument) {
  const std::optional<Employee> engineer = store.FindEmployee(employee);
  if (!engineer) return nullptr;
  const std::vector<HeldOrder> holdings =
      ReadHoldings(OptionalObject(input_argument, "the iJobSheets argument of getJobSheets"));
  return std::make_shared<const DownloadSnapshot>(
      DownloadSnapshot{employee, engineer->name, DownloadPlanner(store).Plan(employee, holdings)});
}

// The entries [position, end) of the snapshot as they are handed out now. An order deleted
// from the store since the snapshot is passed over as a new job sheet or an addition: the
// laptop could book nothing on it, and no later download would withdraw it, because the planner
// leaves held orders the ERP does not know alone. A cancellation is handed out as decided:
// the laptop is to drop that order either way.
std::vector<DownloadEntry> CutPortion(const Store& store, const DownloadSnapshot& snapshot,
                                      std::size_t position, std::size_t end) {
  std::vector<DownloadEntry> portion;
  store.InReadTransaction([&] {
    for (std::size_t index = position; index < end; ++index) {
      const DownloadEntry& entry = snapshot.entries[index];
      if (entry.kind != DownloadEntryKind::kCancellation &&
          !store.HasServiceOrder(entry.order.id)) {
        continue;
      }
      portion.push_back(entry);
    }
  });
  return portion;
}

}  // namespace

JobSheetsManager::JobSheetsManager(std::shared_ptr<Store> store, std::int32_t portion_size)
    : store_(std::move(store)), portion_size_(std::max(portion_size, 1)) {}

ObjectPtr JobSheetsManager::NewObject(std::shared_ptr<Store> store, std::int32_t portion_size) {
  auto manager = std::make_shared<JobSheetsManager>(std::move(store), portion_size);
  return internal::MakeComponentObject<JobSheetsManager>(
      js::prog_id::kJobSheetsManager, manager,
      {{js::manager::kInitialize, &JobSheetsManager::Initialize},
       {js::manager::kGetJobSheets, &JobSheetsManager::GetJobSheets},
       {js::manager::kProcessJobSheet, &JobSheetsManager::ProcessJobSheet},
       {js::manager::kClose, &JobSheetsManager::Close}});
}

void JobSheetsManager::RequireInitialized(std::string_view method) const {
  if (!business_component_) {
    throw Error(error_number::kGenericFailure,
                fmt::format("JobSheetsManager.{} was called before Initialize", method));
  }
}

Variant JobSheetsManager::Initialize(std::span<Variant> args) {
  RequireArguments(args, 1, js::prog_id::kJobSheetsManager, js::manager::kInitialize);
  business_component_ = KeptText(args[0]);
  return {};
}

Variant JobSheetsManager::Close(std::span<Variant> args) {
  RequireArguments(args, 0, js::prog_id::kJobSheetsManager, js::manager::kClose);
  business_component_.reset();
  return {};
}

Variant JobSheetsManager::GetJobSheets(std::span<Variant> args) {
  RequireArguments(args, kDownloadArgumentCount, js::prog_id::kJobSheetsManager,
                   js::manager::kGetJobSheets);
  RequireInitialized(js::manager::kGetJobSheets);
  const std::string employee = KeptText(args[kEmployee]);

  auto response = NewDataObject(ProgId("oGetJobSheets"));
  auto errors = NewDataObject(js::prog_id::kOErrorStruct);
  response->Set(js::download::kGetOErrorStruct.substr(3), Variant(ObjectPtr(errors)));

  std::shared_ptr<const DownloadSnapshot> snapshot;
  std::size_t position = 0;
  if (const std::shared_ptr<const DownloadState> given = GivenState(args[kState]);
      given && given->snapshot()) {
    snapshot = given->snapshot();
    position = given->position();
    if (snapshot->employee != employee) {
      throw Error(error_number::kGenericFailure,
                  fmt::format("The ioState handed to getJobSheets for employee '{}' belongs to "
                              "another employee's download; a download starts with a new ioState",
                              employee));
    }
  } else {
    // The first portion: the whole download is decided here, once. Later portions read
    // neither the input nor the store's orders again.
    snapshot = DecideDownload(*store_, employee, args[kInput]);
    if (!snapshot) {
      errors->Add(ListName(js::download::kErrors),
                  Variant(fmt::format("Employee '{}' is not known to the ERP", employee)));
      snapshot = std::make_shared<const DownloadSnapshot>(DownloadSnapshot{employee, "", {}});
    }
  }

  const std::size_t total = snapshot->entries.size();
  position = std::min(position, total);
  const std::size_t end = std::min(total, position + static_cast<std::size_t>(portion_size_));
  response->Set(js::download::kGetOJobSheets.substr(3),
                Variant(NewJobSheetsResult(CutPortion(*store_, *snapshot, position, end),
                                           snapshot->engineer_name)));
  response->Set(js::download::kGetIoState.substr(3),
                Variant(ObjectPtr(std::make_shared<DownloadState>(snapshot, end))));
  // 1 for every portion of a download that needs more than one.
  const bool in_portions = position > 0 || total > static_cast<std::size_t>(portion_size_);
  args[kContinuationFlag] = Variant(std::int32_t{in_portions ? 1 : 0});
  return Variant(ObjectPtr(std::move(response)));
}

Variant JobSheetsManager::ProcessJobSheet(std::span<Variant> args) {
  RequireArguments(args, kProcessArgumentCount, js::prog_id::kJobSheetsManager,
                   js::manager::kProcessJobSheet);
  RequireInitialized(js::manager::kProcessJobSheet);
  const std::string employee = KeptText(args[kProcessEmployee]);
  const JobSheetOutcome outcome = internal::BookOncePerKey<JobSheetOutcome>(
      *store_, BookingKind::kJobSheet, IdempotencyKeyOf(args[kProcessState]),
      [&] { return ProcessUpload(*store_, employee, args[kJobSheet]); }, OutcomeToJson,
      OutcomeFromJson);

  auto output = NewDataObject(ProgId("oProcessJobSheet"));
  output->Set(js::process_output::kGetOErrorProcessStructForProcessJobSheet.substr(3),
              Variant(NewProcessErrorStructure(outcome)));
  output->Set(js::process_output::kGetOReturnValue.substr(3), Variant(outcome.return_value));
  return Variant(ObjectPtr(std::move(output)));
}

}  // namespace tqs::erp
