// A Session is the open database behind a Connection: the backend driver, its statement cache
// and the transaction state. Record sets keep their session alive (shared ownership) so that
// they can tell that their connection was closed and raise 3704 instead of touching a closed
// engine.
//
// Not thread-safe; used by the thread of its connection.
#ifndef TQS_PLATFORM_DB_INTERNAL_SESSION_H_
#define TQS_PLATFORM_DB_INTERNAL_SESSION_H_

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/db/internal/driver.h"
#include "platform/db/internal/statement_cache.h"

namespace tqs::db::internal {

class Session {
 public:
  Session(std::unique_ptr<Driver> driver, std::string provider);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  ~Session();

  const std::string& provider() const { return provider_; }
  bool IsOpen() const { return open_; }
  // Raises 3704 when the session is closed.
  void CheckOpen() const;
  Driver& driver();

  // The compiled statement of `sql` (as the programs wrote it), from the cache or compiled in
  // the engine's dialect now. The lease hands it back.
  StatementLease Prepare(std::string_view sql);

  // Runs one statement with `parameters` bound to its "?" places; returns the rows changed.
  std::int64_t Execute(std::string_view sql, std::span<const SqlValue> parameters = {});
  void ExecuteBatch(std::string_view script);

  // One transaction at a time; a second BeginTrans, or Commit/Rollback without one, raises.
  void BeginTrans();
  void CommitTrans();
  void RollbackTrans();
  bool InTransaction() const { return open_ && in_transaction_; }
  // Within the open transaction, waits for and then holds the named lock until the transaction
  // ends (see Transaction::LockName). Raises when no transaction is open.
  void LockName(std::string_view name);

  // Savepoints of the open transaction (see Savepoint). BeginSavepoint marks one and returns its
  // depth (1 for the outermost); ReleaseSavepoint and RollbackToSavepoint end the innermost one,
  // whose depth they are given, and raise otherwise. RollbackToSavepoint undoes the work since
  // the mark and raises when the engine no longer holds it (the transaction itself was lost).
  int BeginSavepoint();
  void ReleaseSavepoint(int depth);
  void RollbackToSavepoint(int depth);

  // Drops the cached statements and closes the engine session (rolling back an open
  // transaction). Safe to call twice.
  void Close();

 private:
  static constexpr std::size_t kCachedStatements = 64;

  // Fixed at construction.
  const std::string provider_;

  // Lifetime of the session.
  std::unique_ptr<Driver> driver_;
  std::shared_ptr<StatementCache> cache_;
  bool open_ = true;
  bool in_transaction_ = false;
  int savepoints_ = 0;  // open savepoints of the transaction
};

}  // namespace tqs::db::internal

#endif  // TQS_PLATFORM_DB_INTERNAL_SESSION_H_
