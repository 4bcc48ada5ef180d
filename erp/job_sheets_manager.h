// The JobSheetsManager of the reference ERP's job sheet component, as a late-bound object:
//   Initialize(business component)                      first, on every manager
//   getJobSheets(employee, iJobSheets, OJobSheets, continuation flag, ioState, OErrorStruct,
//                second number)                         the job sheets the laptop must receive
//   ProcessJobSheet(employee, iJobSheetForProcess, 0, ioState, error structure, 0)
//                                                       validates and applies an upload
//   Close()
// getJobSheets answers in portions of at most `portion_size` entries (new job sheets,
// additions and cancellations counted alike): the continuation flag is set to 1 when the
// answer needs more than one portion and to 0 otherwise. The first call (an ioState that holds
// no download yet) decides the whole download at one moment and keeps it in the response's
// ioState (see DownloadState); a call with that state cuts the next portion of the same
// download, whatever changed in the store meanwhile, and its state answers
// completedStateAttribute() = 1 with the last one. A job sheet whose order was deleted from the
// store since is passed over. An unknown employee is reported in the response's error
// structure; a state of another employee's download raises. ProcessJobSheet returns
// an output whose getOReturnValue is 0, -1 or -3 and whose error structure holds the outcome
// of every object (see JobSheetProcessing). When the ioState handed to ProcessJobSheet was given
// an idempotency key (setIdempotencyKey), the job sheet is applied at most once per key: a
// repeated key is answered with the return value and error structure of the first call (new
// line numbers included) and changes nothing; the outcome is kept in the store with what was
// applied.
//
// A manager serves one caller at a time; managers sharing a Store may run on several threads.
#ifndef TQS_ERP_JOB_SHEETS_MANAGER_H_
#define TQS_ERP_JOB_SHEETS_MANAGER_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "erp/store.h"
#include "platform/automation/object.h"
#include "platform/automation/variant.h"

namespace tqs::erp {

class JobSheetsManager {
 public:
  JobSheetsManager(std::shared_ptr<Store> store, std::int32_t portion_size);

  // The manager as the late-bound object callers create under
  // "Q72dVXRsvordJobSheets.JobSheetsManager".
  static automation::ObjectPtr NewObject(std::shared_ptr<Store> store, std::int32_t portion_size);

  automation::Variant Initialize(std::span<automation::Variant> args);
  automation::Variant GetJobSheets(std::span<automation::Variant> args);
  automation::Variant ProcessJobSheet(std::span<automation::Variant> args);
  automation::Variant Close(std::span<automation::Variant> args);

 private:
  void RequireInitialized(std::string_view method) const;

  const std::shared_ptr<Store> store_;
  const std::int32_t portion_size_;
  std::optional<std::string> business_component_;  // set by Initialize
};

}  // namespace tqs::erp

#endif  // TQS_ERP_JOB_SHEETS_MANAGER_H_
