#include "platform/db/internal/session.h"

#include "platform/db/internal/errors.h"

namespace tqs::db::internal {

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
  driver_->AfterTransaction();
}

void Session::RollbackTrans() {
  CheckOpen();
  if (!in_transaction_) {
    throw NotAllowedError("RollbackTrans: no transaction is open on this " + provider_ +
                          " connection");
  }
  in_transaction_ = false;
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

void Session::Close() {
  if (!open_) return;
  open_ = false;
  in_transaction_ = false;
  // Dropping the cache finalizes its statements; leases still out see it gone and finalize
  // theirs when they end instead of handing them back.
  cache_.reset();
  driver_->Close();
}

}  // namespace tqs::db::internal
