// The errors that the data access core raises itself, with the numbers and descriptions the
// programs know from the platform's data access layer.
#ifndef TQS_PLATFORM_DB_INTERNAL_ERRORS_H_
#define TQS_PLATFORM_DB_INTERNAL_ERRORS_H_

#include <string_view>

#include "common/error.h"

namespace tqs::db::internal {

// 3704: a closed connection or record set (or one whose connection was closed) was used.
Error ObjectClosedError();
// 3021: no current row (EOF, BOF, or a row deleted since the set was opened).
Error NoCurrentRecordError();
// 3021: an update found its row holding other values than the set read (changed by someone
// else since), with the platform's text for it.
Error RowChangedError();
// 3265: a column that the set does not have; `item` is its name or position.
Error ItemNotFoundError(std::string_view item);
// 3219: an operation the set or connection does not allow in its state; `detail` says why.
Error NotAllowedError(std::string_view detail);

}  // namespace tqs::db::internal

#endif  // TQS_PLATFORM_DB_INTERNAL_ERRORS_H_
