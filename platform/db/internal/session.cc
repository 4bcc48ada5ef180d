#include "platform/db/internal/session.h"

#include <string>

#include "platform/db/internal/errors.h"

namespace tqs::db::internal {
namespace {

// Savepoints are named by their depth: names of ended ones are used again, so the statements
// stay few and cached.
std::string SavepointName(int depth) { return "tqs_savepoint_" + std::to_string(depth); }

}  // namespace

Session::Session(std::unique_ptr<Driver> driver, std::string provider)
    : provider_(std::move(provider)),
      driver_(std::move(driver)),
      cache_(std::make_shared<StatementCache>(kCachedStatements)) {}

Session::~Session() {
  try {
    Close();
  } catch (...) {
    // Closing while destroyed: nothing is left to report to.
  }
}

void Session::CheckOpen() const {
  if (!open_) throw ObjectClosedError();
}

Driver& Session::driver() {
  CheckOpen();
  return *driver_;
}

StatementLease Session::Prepare(std::string_view sql) {
  CheckOpen();
  std::string key(sql);
  std::unique_ptr<DriverStatement> statement = cache_->Take(key);
  if (!statement) statement = driver_->Prepare(driver_->TranslateSql(sql));
  return StatementLease(cache_, std::move(key), std::move(statement));
}

std::int64_t Session::Execute(std::string_view sql, std::span<const SqlValue> parameters) {
  StatementLease statement = Prepare(sql);
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    statement->Bind(static_cast<int>(i), parameters[i]);
  }
  while (statement->Step()) {
  }
  return statement->ChangedRows();
}

void Session::ExecuteBatch(std::string_view script) {
  CheckOpen();
  driver_->ExecuteScript(driver_->TranslateSql(script));
}

void Session::BeginTrans() {
  CheckOpen();
  if (in_transaction_) {
    throw NotAllowedError("BeginTrans: a transaction is already open on this " + provider_ +
                          " connection (transactions do not nest)");
  }
  driver_->BeforeTransaction();
  try {
    Execute(driver_->BeginTransactionSql());
  } catch (...) {
    driver_->AfterTransaction();
    throw;
  }
  in_transaction_ = true;
}

void Session::CommitTrans() {
  CheckOpen();
  if (!in_transaction_) {
    throw NotAllowedError("CommitTrans: no transaction is open on this " + provider_ +
                          " connection");
  }
  // A commit that fails leaves the transaction open, to be rolled back by the caller.
  Execute(driver_->CommitSql());
  in_transaction_ = false;
  savepoints_ = 0;
  driver_->AfterTransaction();
}

void Session::RollbackTrans() {
  CheckOpen();
  if (!in_transaction_) {
    throw NotAllowedError("RollbackTrans: no transaction is open on this " + provider_ +
                          " connection");
  }
  in_transaction_ = false;
  savepoints_ = 0;
  try {
    Execute(driver_->RollbackSql());
  } catch (...) {
    driver_->AfterTransaction();
    throw;
  }
  driver_->AfterTransaction();
}

void Session::LockName(std::string_view name) {
  CheckOpen();
  if (!in_transaction_) {
    throw NotAllowedError("LockName: no transaction is open on this " + provider_ +
                          " connection (a named lock lasts until its transaction ends)");
  }
  const std::string sql = driver_->NamedLockSql();
  if (sql.empty()) return;
  const SqlValue parameter = std::string(name);
  Execute(sql, std::span<const SqlValue>(&parameter, 1));
}

int Session::BeginSavepoint() {
  CheckOpen();
  if (!in_transaction_) {
    // Outside a transaction the engine would start one of its own that nobody commits.
    throw NotAllowedError("Savepoint: no transaction is open on this " + provider_ + " connection");
  }
  Execute("SAVEPOINT " + SavepointName(savepoints_ + 1));
  return ++savepoints_;
}

void Session::ReleaseSavepoint(int depth) {
  CheckOpen();
  if (!in_transaction_ || depth != savepoints_) {
    throw NotAllowedError("ReleaseSavepoint: savepoint " + std::to_string(depth) +
                          " is not the innermost open one on this " + provider_ + " connection");
  }
  --savepoints_;  // also when the release fails: the engine's state is unknown then
  Execute("RELEASE SAVEPOINT " + SavepointName(depth));
}

void Session::RollbackToSavepoint(int depth) {
  CheckOpen();
  if (!in_transaction_ || depth != savepoints_) {
    throw NotAllowedError("RollbackToSavepoint: savepoint " + std::to_string(depth) +
                          " is not the innermost open one on this " + provider_ + " connection");
  }
  // The savepoint ends here whatever happens: when the rollback fails the engine no longer
  // holds it, and the transaction can only be rolled back as a whole.
  --savepoints_;
  const std::string name = SavepointName(depth);
  Execute("ROLLBACK TO SAVEPOINT " + name);
  Execute("RELEASE SAVEPOINT " + name);
}

void Session::Close() {
  if (!open_) return;
  open_ = false;
  in_transaction_ = false;
  savepoints_ = 0;
  // Dropping the cache finalizes its statements; leases still out see it gone and finalize
  // theirs when they end instead of handing them back.
  cache_.reset();
  driver_->Close();
}

}  // namespace tqs::db::internal
