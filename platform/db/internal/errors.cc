#include "platform/db/internal/errors.h"

#include <string>

#include "platform/db/recordset.h"

namespace tqs::db::internal {

Error ObjectClosedError() {
  return Error(error_number::kObjectClosed, "Operation is not allowed when the object is closed.");
}

Error NoCurrentRecordError() {
  return Error(error_number::kNoCurrentRecord,
               "Either BOF or EOF is True, or the current record has been deleted. Requested "
               "operation requires a current record.");
}

Error RowChangedError() {
  return Error(error_number::kNoCurrentRecord, std::string(kRowChangedDescription));
}

Error ItemNotFoundError(std::string_view item) {
  return Error(error_number::kItemNotFound,
               "Item cannot be found in the collection corresponding to the requested name or "
               "ordinal: '" +
                   std::string(item) + "'.");
}

Error NotAllowedError(std::string_view detail) {
  return Error(error_number::kOperationNotAllowed,
               "Operation is not allowed in this context: " + std::string(detail));
}

}  // namespace tqs::db::internal
