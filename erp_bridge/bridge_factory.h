// The BridgeFactory creates every class of the four ERP components (job sheets, service
// inspections, hours accounting, assignments) for an ERP reached over HTTP(S): the managers
// forward their entry methods to the adapter named by the registry entry's settings
// (bridge_settings.h); the data classes and the ioState are property bags the callers fill and
// the bridge describes in its requests. The shared library libTQSErpBridge.so exports it through
// the component entry point; each registry entry naming the library gets a factory of its own,
// so each component prefix may have its own adapter. Entries should say idempotencyKeys="true":
// the bridge passes each key on to the adapter.
//
// Thread-safe: objects may be created from several threads.
#ifndef TQS_ERP_BRIDGE_BRIDGE_FACTORY_H_
#define TQS_ERP_BRIDGE_BRIDGE_FACTORY_H_

#include <memory>
#include <string_view>

#include "erp_bridge/adapter_client.h"
#include "platform/automation/component_registry.h"

namespace tqs::erp_bridge {

class BridgeFactory : public automation::ComponentFactory {
 public:
  // Raises tqs::Error when a setting is missing or malformed.
  explicit BridgeFactory(const automation::ComponentSettings& settings);

  automation::ObjectPtr Create(std::string_view prog_id) override;

 private:
  const BridgeSettings settings_;
};

}  // namespace tqs::erp_bridge

#endif  // TQS_ERP_BRIDGE_BRIDGE_FACTORY_H_
