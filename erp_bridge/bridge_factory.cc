#include "erp_bridge/bridge_factory.h"

#include <string>

#include "common/erp/data_classes.h"
#include "common/erp/job_sheets.h"
#include "erp_bridge/bridge_manager.h"
#include "erp_bridge/bridge_objects.h"

namespace tqs::erp_bridge {

BridgeFactory::BridgeFactory(const automation::ComponentSettings& settings)
    : settings_(BridgeSettings::Read(settings)) {}

automation::ObjectPtr BridgeFactory::Create(std::string_view prog_id) {
  if (prog_id == erp::job_sheets::prog_id::kIoState || erp::IsDataClass(prog_id)) {
    return NewBridgeObject(prog_id);
  }
  // The component is the identifier's library name and its dot.
  const std::size_t dot = prog_id.find('.');
  if (dot == std::string_view::npos) return nullptr;
  return NewBridgeManager(
      prog_id, std::make_shared<AdapterClient>(settings_, std::string(prog_id.substr(0, dot + 1))));
}

}  // namespace tqs::erp_bridge
