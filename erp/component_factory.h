// The ReferenceErpFactory creates every class of the reference ERP's four components (job
// sheets, service inspections, hours accounting, assignments) by programmatic identifier. The
// shared library libTQSReferenceErp.so exports it through the component entry point; a
// component registry entry names the library for each identifier prefix it serves, with the
// settings of erp/registry_settings.h. The store is opened when the first manager is created, so a
// program whose registry names a store it never uses still starts.
//
// Thread-safe: objects may be created from several threads.
#ifndef TQS_ERP_COMPONENT_FACTORY_H_
#define TQS_ERP_COMPONENT_FACTORY_H_

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string_view>

#include "erp/registry_settings.h"
#include "erp/store.h"
#include "platform/automation/component_registry.h"

namespace tqs::erp {

class ReferenceErpFactory : public automation::ComponentFactory {
 public:
  // Raises tqs::Error when a setting is missing or malformed.
  explicit ReferenceErpFactory(const automation::ComponentSettings& settings);

  automation::ObjectPtr Create(std::string_view prog_id) override;

 private:
  std::shared_ptr<Store> OpenStore();

  const std::filesystem::path store_file_;
  const std::int32_t portion_size_;

  std::mutex mutex_;
  std::shared_ptr<Store> store_;  // guarded by mutex_; opened on first use
};

}  // namespace tqs::erp

#endif  // TQS_ERP_COMPONENT_FACTORY_H_
