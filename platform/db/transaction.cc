#include "platform/db/transaction.h"

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

void Transaction::Commit() {
  connection_.CommitTrans();
  active_ = false;
}

void Transaction::Rollback() {
  active_ = false;
  connection_.RollbackTrans();
}

}  // namespace tqs::db
