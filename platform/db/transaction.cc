#include "platform/db/transaction.h"

#include "common/error.h"
#include "platform/db/internal/connection_impl.h"

namespace tqs::db {

Transaction::Transaction(Connection& connection) : connection_(connection) {
  connection_.BeginTrans();
}

Transaction::~Transaction() {
  if (!active_) return;
  try {
    if (connection_.IsOpen()) connection_.RollbackTrans();
  } catch (...) {
    // Leaving the scope on an error already; the engine rolls back on close anyway.
  }
}

void Transaction::LockName(std::string_view name) {
  internal::SessionOf(connection_)->LockName(name);
}

void Transaction::Commit() {
  connection_.CommitTrans();
  active_ = false;
}

void Transaction::Rollback() {
  active_ = false;
  connection_.RollbackTrans();
}

Savepoint::Savepoint(Transaction& transaction)
    : connection_(transaction.connection_), depth_(Begin(transaction)) {}

int Savepoint::Begin(Transaction& transaction) {
  if (!transaction.active_) {
    throw Error(error_number::kOperationNotAllowed, "Savepoint: the transaction has already ended");
  }
  return internal::SessionOf(transaction.connection_)->BeginSavepoint();
}

Savepoint::~Savepoint() {
  if (!active_) return;
  try {
    if (connection_.IsOpen()) internal::SessionOf(connection_)->RollbackToSavepoint(depth_);
  } catch (...) {
    // Leaving the scope on an error already; the transaction's own rollback undoes the rest.
  }
}

// Both stay active when refused for not being the innermost savepoint, so that leaving the
// scope still rolls back.
void Savepoint::Release() {
  internal::SessionOf(connection_)->ReleaseSavepoint(depth_);
  active_ = false;
}

void Savepoint::Rollback() {
  internal::SessionOf(connection_)->RollbackToSavepoint(depth_);
  active_ = false;
}

}  // namespace tqs::db
