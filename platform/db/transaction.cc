#include "platform/db/transaction.h"

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

}  // namespace tqs::db
