// The entry point the component registry looks up in libTQSErpBridge.so.
#include "erp_bridge/bridge_factory.h"

TQS_COMPONENT_ENTRY_POINT(const tqs::automation::ComponentSettings& settings) {
  return new tqs::erp_bridge::BridgeFactory(settings);
}
