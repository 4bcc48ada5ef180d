// The classes of the four ERP components that are plain data objects: created empty by their
// callers, filled and read through property accessors (see platform/automation/data_object.h),
// with no behaviour of their own. Every implementation of the components serves them the same
// way, so the list is kept once for the reference ERP and the HTTP bridge.
//
// A compile-time constant; safe to use from any thread.
#ifndef TQS_COMMON_ERP_DATA_CLASSES_H_
#define TQS_COMMON_ERP_DATA_CLASSES_H_

#include <algorithm>
#include <array>
#include <string_view>

#include "common/erp/assignments.h"
#include "common/erp/hours_accounting.h"
#include "common/erp/job_sheets.h"
#include "common/erp/service_inspections.h"

namespace tqs::erp {

inline constexpr std::array kDataClasses = {
    job_sheets::prog_id::kIJobSheetForProcess,
    job_sheets::prog_id::kOErrorProcessStructForProcessJobSheet,
    job_sheets::prog_id::kServiceOrderData,
    job_sheets::prog_id::kOrderDetails,
    job_sheets::prog_id::kOrderText,
    job_sheets::prog_id::kTextValue,
    job_sheets::prog_id::kActivitiesData,
    job_sheets::prog_id::kActivityData,
    job_sheets::prog_id::kActivityDetails,
    job_sheets::prog_id::kActivityText,
    job_sheets::prog_id::kCallText,
    job_sheets::prog_id::kSolutionText,
    job_sheets::prog_id::kMaterialRequirement,
    job_sheets::prog_id::kMaterialData,
    job_sheets::prog_id::kLaborRequirement,
    job_sheets::prog_id::kLaborData,
    job_sheets::prog_id::kHoursAccounting,
    job_sheets::prog_id::kHourData,
    job_sheets::prog_id::kOtherRequirement,
    job_sheets::prog_id::kOtherData,
    job_sheets::prog_id::kObjectInspectionsData,
    job_sheets::prog_id::kInspectionData,
    job_sheets::prog_id::kPaymentsData,
    job_sheets::prog_id::kPaymentData,
    job_sheets::prog_id::kIJobSheets,
    job_sheets::prog_id::kOJobSheets,
    job_sheets::prog_id::kOErrorStruct,
    job_sheets::prog_id::kInputServiceOrderWithOutData,
    job_sheets::prog_id::kInputActivitiesWithOutData,
    job_sheets::prog_id::kInputActivityWithOutData,
    job_sheets::prog_id::kInputMaterialsWithOutData,
    job_sheets::prog_id::kInputMaterialWithOutData,
    job_sheets::prog_id::kInputLaborsWithOutData,
    job_sheets::prog_id::kInputLaborWithOutData,
    job_sheets::prog_id::kInputOthersWithOutData,
    job_sheets::prog_id::kInputOtherWithOutData,
    job_sheets::prog_id::kInputInspectionsWithOutData,
    job_sheets::prog_id::kInputInspectionWithOutData,
    service_inspections::prog_id::kOErrorProcessStructForProcessSI,
    service_inspections::prog_id::kIServiceInspectionForProcess,
    service_inspections::prog_id::kServiceInspection,
    service_inspections::prog_id::kInspectionHeaderDetails,
    service_inspections::prog_id::kInspections,
    service_inspections::prog_id::kInspection,
    hours_accounting::prog_id::kServiceOrderHoursAccounting,
    hours_accounting::prog_id::kRecordset,
    assignments::prog_id::kIAssignments,
    assignments::prog_id::kServiceOrderWithOutData,
    assignments::prog_id::kActivityWithOutData,
    assignments::prog_id::kOAssignments,
    assignments::prog_id::kOEStruct,
};

// Whether `prog_id` names one of the data classes.
inline bool IsDataClass(std::string_view prog_id) {
  return std::find(kDataClasses.begin(), kDataClasses.end(), prog_id) != kDataClasses.end();
}

}  // namespace tqs::erp

#endif  // TQS_COMMON_ERP_DATA_CLASSES_H_
