#include "server/upload_transaction.h"

#include "server/error_trap.h"

namespace tqs::server {

std::string NumberingScope::LockName() const {
  return "CLIENTSERVERINTERACTION/" + employee + "/" + std::to_string(ToNumber(type)) + "/" +
         interaction_on;
}

UploadTransaction::UploadTransaction(ThreadConnection& state,
                                     const std::vector<NumberingScope>& scopes) {
  // Every upload takes its locks in the order of their names, so of two uploads that need the
  // same scopes one waits for the other and none waits for a lock that its waiter holds.
  std::set<std::string> names;
  for (const NumberingScope& scope : scopes) names.insert(scope.LockName());
  std::string error;
  if (!Trapped(error, [&] {
        connection_ = &state.connection();
        transaction_ = std::make_unique<db::Transaction>(*connection_);
        for (const std::string& name : names) {
          transaction_->LockName(name);
          held_locks_.insert(name);
        }
      })) {
    Lose(std::move(error));
  }
}

UploadTransaction::~UploadTransaction() = default;  // the transaction rolls back unless committed

bool UploadTransaction::Run(const NumberingScope& scope,
                            const std::function<void(db::Connection&)>& work,
                            std::string& error_text) {
  if (lost_) {
    error_text = *lost_;
    return false;
  }
  // The lock is taken outside the savepoint: rolling the savepoint back may release what was
  // locked inside it, while the scope's numbers stay taken until the commit.
  const std::string name = scope.LockName();
  if (!held_locks_.contains(name)) {
    if (!Trapped(error_text, [&] { transaction_->LockName(name); })) {
      Lose(error_text);  // on PostgreSQL a failed statement leaves the transaction unusable
      return false;
    }
    held_locks_.insert(name);
  }

  std::optional<db::Savepoint> savepoint;
  if (!Trapped(error_text, [&] { savepoint.emplace(*transaction_); })) {
    Lose(error_text);
    return false;
  }
  if (Trapped(error_text, [&] {
        work(*connection_);
        savepoint->Release();
      })) {
    return true;
  }
  std::string rollback_error;
  if (!Trapped(rollback_error, [&] { savepoint->Rollback(); })) {
    // The engine dropped the transaction with the failure: what was stored before is gone too.
    Lose(error_text);
  }
  return false;
}

bool UploadTransaction::Commit(std::string& error_text) {
  if (lost_) {
    error_text = *lost_;
    return false;
  }
  if (Trapped(error_text, [&] { transaction_->Commit(); })) return true;
  Lose(error_text);
  return false;
}

void UploadTransaction::Lose(std::string error) {
  lost_ = std::move(error);
  transaction_.reset();  // rolls back what the engine still holds, quietly
}

}  // namespace tqs::server
