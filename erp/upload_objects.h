// The objects of a job sheet upload: reading the broker's ServiceOrderData tree into an
// UploadedJobSheet (through its accessors only), and building the error structure
// (oErrorProcessStructForProcessJobSheet) from the ERP's outcome, in the shape the broker
// walks: order errors, each with its activities errors and payments errors; per activity the
// material, hours, labor, other and inspection error groups.
//
// Stateless functions.
#ifndef TQS_ERP_UPLOAD_OBJECTS_H_
#define TQS_ERP_UPLOAD_OBJECTS_H_

#include "erp/job_sheet_upload.h"
#include "platform/automation/object.h"

namespace tqs::erp {

// Reads the job sheet handed to ProcessJobSheet (iJobSheetForProcess). Raises tqs::Error when
// an accessor fails or answers something that is not the object it must be.
UploadedJobSheet ReadUploadedJobSheet(const automation::ObjectPtr& job_sheet_for_process);

// The error structure of an outcome.
automation::ObjectPtr NewProcessErrorStructure(const JobSheetOutcome& outcome);

}  // namespace tqs::erp

#endif  // TQS_ERP_UPLOAD_OBJECTS_H_
