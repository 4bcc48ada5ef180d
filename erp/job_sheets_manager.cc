#include "erp/job_sheets_manager.h"

#include <fmt/format.h>

#include <algorithm>

#include "common/erp/job_sheets.h"
#include "common/error.h"
#include "erp/download_objects.h"
#include "erp/download_planner.h"
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

// The state keeps the next portion's position under this property.
constexpr std::string_view kPosition = "Position";
constexpr std::string_view kCompleted = "CompletedState";

std::string ProgId(std::string_view class_name) {
  return std::string(js::kPrefix) + std::string(class_name);
}

std::int32_t PositionOf(const Variant& state_argument) {
  const ObjectPtr state = OptionalObject(state_argument, "the ioState argument of getJobSheets");
  if (!state) return 0;
  const Variant position = internal::Ask(state, "get" + std::string(kPosition));
  return position.IsEmpty() ? 0 : std::max(position.AsInt32(), 0);
}

}  // namespace

ObjectPtr NewDownloadState(std::int32_t position, bool completed) {
  auto state = NewDataObject(js::prog_id::kIoState);
  state->Set(kPosition, Variant(position));
  state->Set(kCompleted, Variant(std::int32_t{completed ? 1 : 0}));
  automation::DataObject* raw = state.get();
  state->DefineMethod(js::download::kCompletedStateAttribute,
                      [raw](std::span<Variant>) { return raw->Get(kCompleted); });
  return state;
}

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

  const std::optional<Employee> engineer = store_->FindEmployee(employee);
  if (!engineer) {
    errors->Add(ListName(js::download::kErrors),
                Variant(fmt::format("Employee '{}' is not known to the ERP", employee)));
    response->Set(js::download::kGetOJobSheets.substr(3), Variant(NewJobSheetsResult({}, "")));
    response->Set(js::download::kGetIoState.substr(3), Variant(NewDownloadState(0, true)));
    args[kContinuationFlag] = Variant(std::int32_t{0});
    return Variant(ObjectPtr(std::move(response)));
  }

  const std::vector<HeldOrder> holdings =
      ReadHoldings(OptionalObject(args[kInput], "the iJobSheets argument of getJobSheets"));
  const std::vector<DownloadEntry> entries = DownloadPlanner(*store_).Plan(employee, holdings);
  const auto total = static_cast<std::int32_t>(entries.size());
  const std::int32_t position = std::min(PositionOf(args[kState]), total);
  const std::int32_t end = std::min(total, position + portion_size_);

  response->Set(js::download::kGetOJobSheets.substr(3),
                Variant(NewJobSheetsResult(std::span<const DownloadEntry>(entries).subspan(
                                               static_cast<std::size_t>(position),
                                               static_cast<std::size_t>(end - position)),
                                           engineer->name)));
  response->Set(js::download::kGetIoState.substr(3), Variant(NewDownloadState(end, end >= total)));
  args[kContinuationFlag] = Variant(std::int32_t{total > portion_size_ ? 1 : 0});
  return Variant(ObjectPtr(std::move(response)));
}

Variant JobSheetsManager::ProcessJobSheet(std::span<Variant> args) {
  RequireArguments(args, kProcessArgumentCount, js::prog_id::kJobSheetsManager,
                   js::manager::kProcessJobSheet);
  RequireInitialized(js::manager::kProcessJobSheet);
  const std::string employee = KeptText(args[kProcessEmployee]);

  JobSheetOutcome outcome;
  bool readable = true;
  UploadedJobSheet upload;
  try {
    upload = ReadUploadedJobSheet(
        OptionalObject(args[kJobSheet], "the iJobSheetForProcess argument of ProcessJobSheet"));
  } catch (const Error& error) {
    readable = false;
    outcome.return_value = kJobSheetRejected;
    outcome.order.result = kObjectRejected;
    outcome.order.description = "The job sheet could not be read: " + error.description();
  }
  if (readable) outcome = JobSheetProcessing(*store_).Process(employee, upload);

  auto output = NewDataObject(ProgId("oProcessJobSheet"));
  output->Set(js::process_output::kGetOErrorProcessStructForProcessJobSheet.substr(3),
              Variant(NewProcessErrorStructure(outcome)));
  output->Set(js::process_output::kGetOReturnValue.substr(3), Variant(outcome.return_value));
  return Variant(ObjectPtr(std::move(output)));
}

}  // namespace tqs::erp
