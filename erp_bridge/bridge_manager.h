// A BridgeManager stands for one of the four ERP managers (JobSheetsManager,
// ServiceInspectionsManager, ServiceOrderHoursAccountingManager, svbodll350002Manager) and
// forwards its entry methods to the adapter (adapter_client.h):
//   Initialize(business component)   kept, sent with every request; required first
//   Close()                          forgets the business component
//   setIdempotencyKey(key)           on the service inspection and hours managers: the key of
//                                    the next document; used by one entry call, then forgotten
//   the entry methods                getJobSheets, ProcessJobSheet (its key is read from the
//                                    ioState argument, getIdempotencyKey),
//                                    ProcessServiceInspection, Create,
//                                    svbodll350002updateassignments
// The three document bookings (ProcessJobSheet, ProcessServiceInspection, Create) are refused
// (error 5) without the caller's key: a document left in doubt by a failed exchange must come
// back under the same key. The reads and the assignment update are sent under a key made for
// the call alone, so that a repetition after a transport failure is still recognisable. Method
// names are matched without regard to case, as late binding does.
//
// Used by one thread at a time, like every Object.
#ifndef TQS_ERP_BRIDGE_BRIDGE_MANAGER_H_
#define TQS_ERP_BRIDGE_BRIDGE_MANAGER_H_

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "erp_bridge/adapter_client.h"
#include "platform/automation/object.h"

namespace tqs::erp_bridge {

// The manager `prog_id` forwarding to `adapter`, or nullptr when `prog_id` names no manager.
automation::ObjectPtr NewBridgeManager(std::string_view prog_id,
                                       std::shared_ptr<const AdapterClient> adapter);

}  // namespace tqs::erp_bridge

#endif  // TQS_ERP_BRIDGE_BRIDGE_MANAGER_H_
