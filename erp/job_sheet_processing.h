// JobSheetProcessing validates an uploaded job sheet and applies it to the store, deciding
// per object:
//   - the whole job sheet is refused (-1, nothing stored) when the employee is unknown, the
//     order is unknown or assigned to another engineer; refused with -3 when the order is
//     completed, closed or cancelled;
//   - otherwise each object stands on its own: the order details, each activity (which must
//     be an activity of this order), each line and each payment is stored when its values pass
//     the checks (dates are dates, quantities numbers not below zero, statuses and tasks
//     known), else rejected with a description naming the object, the value and the element
//     code; lines of a rejected activity are rejected with it;
//   - lines the ERP knows are updated; others are added under new numbers (cost lines and
//     hours per order, inspection lines per activity), reported as the line's new id;
//     payments are added under new payment numbers;
//   - "RDC" among the actions performed completes the order or activity, "RDP" puts a planned
//     or released one in process.
// The return value is 0 when every object was stored, -1 when any was rejected. Everything
// stored for one job sheet is stored in one transaction.
//
// Thread-safe as the Store is; holds no state between calls.
#ifndef TQS_ERP_JOB_SHEET_PROCESSING_H_
#define TQS_ERP_JOB_SHEET_PROCESSING_H_

#include <string_view>

#include "erp/job_sheet_upload.h"
#include "erp/store.h"

namespace tqs::erp {

class JobSheetProcessing {
 public:
  explicit JobSheetProcessing(Store& store) : store_(store) {}

  JobSheetOutcome Process(std::string_view employee, const UploadedJobSheet& upload);

 private:
  Store& store_;
};

}  // namespace tqs::erp

#endif  // TQS_ERP_JOB_SHEET_PROCESSING_H_
