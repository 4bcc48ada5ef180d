// A Transaction makes the statements of one unit of work on a connection atomic: it begins at
// construction and is rolled back at destruction unless Commit() was reached, so an error that
// leaves the scope undoes the work. On SQLite the transaction takes the write lock at once, so
// a read followed by an insert (numbering) cannot interleave with another writer. On PostgreSQL
// transactions run side by side; a read followed by a dependent insert takes a named lock
// first (LockName), so only the transactions that work on the same thing wait for each other.
//
// Not thread-safe; used by the thread of its connection, which must outlive it.
#ifndef TQS_PLATFORM_DB_TRANSACTION_H_
#define TQS_PLATFORM_DB_TRANSACTION_H_

#include <string_view>

#include "platform/db/connection.h"

namespace tqs::db {

class Transaction {
 public:
  // Begins the transaction; raises when one is already open on `connection`.
  explicit Transaction(Connection& connection);
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  // Rolls back when neither Commit nor Rollback ran; errors of that rollback are swallowed.
  ~Transaction();

  // Waits until no other transaction on the same database holds the lock `name`, then holds it
  // until this transaction commits or rolls back. Transactions that lock other names are not
  // held up (on SQLite, whose transactions already exclude each other's writes, this adds
  // nothing). Raises tqs::Error with the provider's message.
  void LockName(std::string_view name);

  void Commit();
  void Rollback();

 private:
  Connection& connection_;
  bool active_ = true;
};

}  // namespace tqs::db

#endif  // TQS_PLATFORM_DB_TRANSACTION_H_
