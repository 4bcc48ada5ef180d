// Loads service orders into the reference ERP's store from job sheet documents, the format
// the laptops receive: any text holding "jobsheet" elements (one document, a job sheets
// response with its new and append sections, or several documents one after the other). Each
// job sheet adds its service order, or replaces one of the same id (its payments are kept),
// with its details, activities and material, labor, other and inspection lines. The order is
// assigned to the engineer its details name (emno, required); an engineer, or a labour task,
// the ERP does not know yet is added. Cancellation elements ("serviceorder" with cadt and cdis
// inside "cancellations") cancel orders the store holds. Values are checked as uploads are
// (dates, quantities, statuses); the import is all or nothing.
//
// Thread-safe as the Store is.
#ifndef TQS_ERP_JOB_SHEET_IMPORT_H_
#define TQS_ERP_JOB_SHEET_IMPORT_H_

#include <string>
#include <string_view>
#include <vector>

#include "erp/store.h"

namespace tqs::erp {

struct ImportReport {
  std::vector<std::string> orders;     // ids of the orders added or replaced, in order
  std::vector<std::string> cancelled;  // ids of the orders cancelled
  std::vector<std::string> employees;  // numbers of the engineers added
};

// Imports `documents`; `source` names them in errors (a file name). Raises tqs::Error naming
// the source, the order and what was wrong; nothing is stored then.
ImportReport ImportJobSheets(Store& store, std::string_view documents, std::string_view source);

}  // namespace tqs::erp

#endif  // TQS_ERP_JOB_SHEET_IMPORT_H_
