// A Transaction groups the statements run on a connection between its construction and
// Commit(): they take effect together or not at all. Destroying an uncommitted Transaction rolls
// it back (an exception leaving the scope undoes the work). On SQLite the write lock is taken at
// the start, so a read followed by a write inside one Transaction cannot race another writer.
#ifndef TQS_PLATFORM_DB_TRANSACTION_H_
#define TQS_PLATFORM_DB_TRANSACTION_H_

#include "platform/db/connection.h"

namespace tqs::db {

class Transaction {
 public:
  explicit Transaction(Connection& connection) : connection_(connection) {
    connection_.BeginTrans();
  }
  ~Transaction() {
    if (active_) {
      try {
        connection_.RollbackTrans();
      } catch (...) {
        // The connection is already unusable; the original error is what matters.
      }
    }
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  void Commit() {
    connection_.CommitTrans();
    active_ = false;
  }

 private:
  Connection& connection_;
  bool active_ = true;
};

}  // namespace tqs::db

#endif  // TQS_PLATFORM_DB_TRANSACTION_H_
