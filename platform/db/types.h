// The option kinds of the data access layer, numbered as the programs pass them
// (cursor type 0 forward-only, 1 keyset, 3 static; lock type 1 read-only, 3 optimistic;
// command type 1 text, 2 table).
#ifndef TQS_PLATFORM_DB_TYPES_H_
#define TQS_PLATFORM_DB_TYPES_H_

namespace tqs::db {

enum class CursorType {
  kUnspecified = -1,  // the provider's default: forward-only
  kForwardOnly = 0,   // streams rows; MoveNext only
  kKeyset = 1,        // holds the row keys, reads a row when it becomes current
  kDynamic = 2,       // served as keyset
  kStatic = 3,        // reads all rows at open; can be filtered and disconnected
};

enum class LockType {
  kUnspecified = -1,  // the provider's default: read-only
  kReadOnly = 1,
  kPessimistic = 2,  // served as optimistic
  kOptimistic = 3,
  kBatchOptimistic = 4,  // served as optimistic
};

enum class CommandType {
  kText = 1,   // the source is an SQL text
  kTable = 2,  // the source is a table name: all its rows and columns
};

}  // namespace tqs::db

#endif  // TQS_PLATFORM_DB_TYPES_H_
