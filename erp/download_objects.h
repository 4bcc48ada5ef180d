// The objects of a job sheet download: reading the laptop's holdings from the download input
// (iJobSheets and its InputServiceOrderWithOutData tree), and building the answer the server
// component walks to write job sheet documents (the job sheets result with its new, addition
// and cancellation lists, each service order as ServiceOrderData with OrderDetails,
// ActivitiesData, ActivityData, line lists and text containers).
//
// Stateless functions; the objects they build belong to the caller.
#ifndef TQS_ERP_DOWNLOAD_OBJECTS_H_
#define TQS_ERP_DOWNLOAD_OBJECTS_H_

#include <span>
#include <string_view>
#include <vector>

#include "erp/download_planner.h"
#include "erp/records.h"
#include "platform/automation/object.h"

namespace tqs::erp {

// The orders the input lists, in its order. No input object gives none. An entry that is not
// an object, or a required id that is missing, raises tqs::Error naming it.
std::vector<HeldOrder> ReadHoldings(const automation::ObjectPtr& input);

// The job sheets result of one portion: hasNewJobSheets / getNewJobSheets and their kin, each
// list present only when it holds entries. `engineer_name` is handed out as the orders'
// engineer name.
automation::ObjectPtr NewJobSheetsResult(std::span<const DownloadEntry> entries,
                                         std::string_view engineer_name);

// One service order as ServiceOrderData.
automation::ObjectPtr NewServiceOrderData(const ServiceOrder& order,
                                          std::string_view engineer_name);

}  // namespace tqs::erp

#endif  // TQS_ERP_DOWNLOAD_OBJECTS_H_
