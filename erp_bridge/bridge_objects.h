// The data objects the bridge hands out: the property bags of platform/automation/data_object.h
// under the programmatic identifier asked for. The download state (ioState) alone has a method
// beyond the accessor patterns: completedStateAttribute(), answering its property
// "CompletedStateAttribute" (1 when the ERP has delivered every portion).
//
// An object is used by one thread at a time.
#ifndef TQS_ERP_BRIDGE_BRIDGE_OBJECTS_H_
#define TQS_ERP_BRIDGE_BRIDGE_OBJECTS_H_

#include <memory>
#include <string_view>

#include "platform/automation/data_object.h"

namespace tqs::erp_bridge {

// The property under which a download state keeps what completedStateAttribute answers.
inline constexpr std::string_view kCompletedStateProperty = "CompletedStateAttribute";

std::shared_ptr<automation::DataObject> NewBridgeObject(std::string_view prog_id);

}  // namespace tqs::erp_bridge

#endif  // TQS_ERP_BRIDGE_BRIDGE_OBJECTS_H_
