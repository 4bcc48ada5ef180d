#include "erp_bridge/bridge_objects.h"

#include <span>
#include <string>

#include "common/erp/job_sheets.h"

namespace tqs::erp_bridge {

std::shared_ptr<automation::DataObject> NewBridgeObject(std::string_view prog_id) {
  auto object = std::make_shared<automation::DataObject>(std::string(prog_id));
  if (prog_id == erp::job_sheets::prog_id::kIoState) {
    automation::DataObject* raw = object.get();
    object->DefineMethod(
        erp::job_sheets::download::kCompletedStateAttribute,
        [raw](std::span<automation::Variant>) { return raw->Get(kCompletedStateProperty); });
  }
  return object;
}

}  // namespace tqs::erp_bridge
