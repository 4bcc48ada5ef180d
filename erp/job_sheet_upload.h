// An uploaded job sheet as the reference ERP reads it from the objects the broker builds
// (iJobSheetForProcess and the ServiceOrderData tree below it), and the outcome the ERP
// decides for it, per object: the order, each activity, each line and each payment gets a
// result (0 stored, -1 rejected), a description and, for a line or payment it added, the new
// line number. Lists are std::optional where the upload may leave them out altogether, so the
// outcome mirrors exactly the groups the upload held.
//
// Plain values; safe to copy between threads.
#ifndef TQS_ERP_JOB_SHEET_UPLOAD_H_
#define TQS_ERP_JOB_SHEET_UPLOAD_H_

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "erp/records.h"

namespace tqs::erp {

// The line kinds of an upload, in the order the outcome lists them.
inline constexpr std::array<LineKind, 5> kUploadedLineKinds = {LineKind::kMaterial, LineKind::kHour,
                                                               LineKind::kLabor, LineKind::kOther,
                                                               LineKind::kInspection};

// One entry of an upload list; `present` is false for an empty entry (a line the broker could
// not read is handed over as no object).
struct UploadedLine {
  bool present = true;
  std::string id;  // cost line id, or inspection number
  std::string measurement_type;
  std::string origin;
  PropertyValues values;
};

struct UploadedActivity {
  bool present = true;
  std::string id;
  std::string origin;
  std::string actions_performed;
  std::optional<PropertyValues> details;
  // Indexed by LineKind; a list the activity was not given stays std::nullopt.
  std::array<std::optional<std::vector<UploadedLine>>, 5> lines;
};

struct UploadedJobSheet {
  bool present = true;  // false when no service order data was handed over
  std::string id;
  std::string origin;
  std::string actions_performed;
  std::string invoice_id;
  std::optional<PropertyValues> details;
  std::optional<std::vector<UploadedActivity>> activities;
  std::optional<std::vector<std::optional<PropertyValues>>> payments;
};

// Per-object results.
inline constexpr std::int32_t kObjectStored = 0;
inline constexpr std::int32_t kObjectRejected = -1;

struct ObjectOutcome {
  std::string id;                // the object's id as uploaded (a payment: its position, from 1)
  std::string measurement_type;  // inspection lines
  std::int32_t result = kObjectStored;
  std::string description;
  std::string new_id;  // the number the ERP gave a line it added
};

struct ActivityOutcome {
  ObjectOutcome activity;
  std::array<std::optional<std::vector<ObjectOutcome>>, 5> lines;  // indexed by LineKind
};

// The return values of ProcessJobSheet.
inline constexpr std::int32_t kJobSheetProcessed = 0;
inline constexpr std::int32_t kJobSheetRejected = -1;
inline constexpr std::int32_t kJobSheetOrderClosed = -3;

struct JobSheetOutcome {
  std::int32_t return_value = kJobSheetProcessed;
  ObjectOutcome order;
  std::optional<std::vector<ActivityOutcome>> activities;
  std::optional<std::vector<ObjectOutcome>> payments;
};

}  // namespace tqs::erp

#endif  // TQS_ERP_JOB_SHEET_UPLOAD_H_
