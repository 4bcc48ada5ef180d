// A Transaction makes the statements of one unit of work on a connection atomic: it begins at
// construction and is rolled back at destruction unless Commit() was reached, so an error that
// leaves the scope undoes the work. On SQLite the transaction takes the write lock at once, so
// a read followed by an insert (numbering) cannot interleave with another writer. On PostgreSQL
// transactions run side by side; a read followed by a dependent insert takes a named lock
// first (LockName), so only the transactions that work on the same thing wait for each other.
//
// A Savepoint marks a point inside an open Transaction: the work after it can be undone without
// undoing the work before it, so one failing part of a unit of work (a statement the engine
// refused, on PostgreSQL also one that left the transaction unusable) does not cost the others.
// It is rolled back at destruction unless Release() or Rollback() was reached. Savepoints nest
// and end in the reverse order of their creation.
//
// Not thread-safe; used by the thread of its connection, which must outlive them.
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
  friend class Savepoint;

  Connection& connection_;
  bool active_ = true;
};

class Savepoint {
 public:
  // Marks the point; raises when `transaction` has ended.
  explicit Savepoint(Transaction& transaction);
  Savepoint(const Savepoint&) = delete;
  Savepoint& operator=(const Savepoint&) = delete;
  // Rolls back to the mark when neither Release nor Rollback ran; errors are swallowed.
  ~Savepoint();

  // Keeps the work since the mark as part of the transaction.
  void Release();
  // Undoes the work since the mark; the transaction goes on. Raises when the engine no longer
  // holds the transaction (SQLite rolls a transaction back by itself after a full disk or an
  // I/O error, a PostgreSQL connection may be lost): the whole transaction is gone then, and
  // only rolling it back is left.
  void Rollback();

 private:
  static int Begin(Transaction& transaction);

  Connection& connection_;
  const int depth_;
  bool active_ = true;
};

}  // namespace tqs::db

#endif  // TQS_PLATFORM_DB_TRANSACTION_H_
