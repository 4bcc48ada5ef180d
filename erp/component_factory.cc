#include "erp/component_factory.h"

#include <charconv>
#include <string>

#include "common/erp/assignments.h"
#include "common/erp/data_classes.h"
#include "common/erp/hours_accounting.h"
#include "common/erp/job_sheets.h"
#include "common/erp/service_inspections.h"
#include "common/error.h"
#include "erp/assignments_manager.h"
#include "erp/download_state.h"
#include "erp/hours_accounting_manager.h"
#include "erp/job_sheets_manager.h"
#include "erp/late_bound_internal.h"
#include "erp/service_inspections_manager.h"

namespace tqs::erp {

namespace {

namespace js = job_sheets::prog_id;
namespace si = service_inspections::prog_id;
namespace ha = hours_accounting::prog_id;
namespace as = assignments::prog_id;

std::filesystem::path StoreFile(const automation::ComponentSettings& settings) {
  const auto store = settings.find(kStoreSetting);
  if (store == settings.end() || store->second.empty()) {
    throw Error(error_number::kGenericFailure,
                "The reference ERP needs the setting '" + std::string(kStoreSetting) +
                    "' (the path of its store) in its component registry entry");
  }
  return store->second;
}

std::int32_t PortionSize(const automation::ComponentSettings& settings) {
  const auto setting = settings.find(kPortionSizeSetting);
  if (setting == settings.end()) return kDefaultPortionSize;
  const std::string& text = setting->second;
  std::int32_t size = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), size);
  if (error != std::errc() || end != text.data() + text.size() || size < 1) {
    throw Error(error_number::kGenericFailure,
                "The reference ERP setting '" + std::string(kPortionSizeSetting) + "' is '" + text +
                    "': it must be a whole number of at least 1");
  }
  return size;
}

}  // namespace

ReferenceErpFactory::ReferenceErpFactory(const automation::ComponentSettings& settings)
    : store_file_(StoreFile(settings)), portion_size_(PortionSize(settings)) {}

std::shared_ptr<Store> ReferenceErpFactory::OpenStore() {
  std::lock_guard lock(mutex_);
  if (!store_) store_ = Store::Open(store_file_);
  return store_;
}

automation::ObjectPtr ReferenceErpFactory::Create(std::string_view prog_id) {
  if (prog_id == js::kJobSheetsManager)
    return JobSheetsManager::NewObject(OpenStore(), portion_size_);
  if (prog_id == js::kIoState) return std::make_shared<DownloadState>();
  if (prog_id == si::kServiceInspectionsManager) {
    return ServiceInspectionsManager::NewObject(OpenStore());
  }
  if (prog_id == ha::kServiceOrderHoursAccountingManager) {
    return HoursAccountingManager::NewObject(OpenStore());
  }
  if (prog_id == as::kManager) return AssignmentsManager::NewObject(OpenStore());
  if (IsDataClass(prog_id)) return internal::NewDataObject(prog_id);
  return nullptr;  // the registry reports the unknown class
}

}  // namespace tqs::erp

// The entry point the component registry looks up in the library.
TQS_COMPONENT_ENTRY_POINT(const tqs::automation::ComponentSettings& settings) {
  return new tqs::erp::ReferenceErpFactory(settings);
}
