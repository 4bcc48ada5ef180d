// An UploadTransaction is the one database transaction in which an uploaded outbox is stored:
// one durable commit for all its documents instead of one per document. Each document is
// stored in a savepoint of its own, so a document that fails is undone alone and the others go
// on. Numbering a document needs the lock of its numbering scope (employee, document type,
// interaction-on), held until the commit: the transaction takes the locks of every scope the
// outbox names at its start, in one order that every upload follows, so two uploads of
// overlapping documents wait for each other instead of deadlocking. What the stores report as
// stored is stored only when Commit succeeds.
//
// Never raises: a transaction that could not begin, or that the engine lost on the way (a full
// disk, an I/O error, a lost connection), fails every later store and the commit with that
// error. Not thread-safe: used by the thread of the ThreadConnection it was begun on.
#ifndef TQS_SERVER_UPLOAD_TRANSACTION_H_
#define TQS_SERVER_UPLOAD_TRANSACTION_H_

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/interaction_types.h"
#include "platform/db/connection.h"
#include "platform/db/transaction.h"
#include "server/thread_connection.h"

namespace tqs::server {

// The documents that share one run of interaction numbers.
struct NumberingScope {
  std::string employee;
  BusinessDocumentType type;
  std::string interaction_on;

  // The name of the scope's lock.
  std::string LockName() const;
};

class UploadTransaction {
 public:
  // Begins the transaction on the thread's open connection and takes the locks of `scopes` in
  // the order of their names.
  UploadTransaction(ThreadConnection& state, const std::vector<NumberingScope>& scopes);
  UploadTransaction(const UploadTransaction&) = delete;
  UploadTransaction& operator=(const UploadTransaction&) = delete;
  // Rolls back unless Commit succeeded.
  ~UploadTransaction();

  // Holds the lock of `scope` (taken now when the constructor was not given it), then runs
  // `work` on the connection in a savepoint. Returns true when it succeeded; otherwise the work
  // is undone and error_text holds the description of what failed.
  bool Run(const NumberingScope& scope, const std::function<void(db::Connection&)>& work,
           std::string& error_text);

  // Commits. Returns true when everything that Run stored is now durable; otherwise nothing of
  // it is stored, and error_text says why.
  bool Commit(std::string& error_text);

 private:
  // Records `error` as the end of the transaction: it is rolled back, every later Run and the
  // commit fail with it.
  void Lose(std::string error);

  // Lifetime of the transaction.
  db::Connection* connection_ = nullptr;
  std::unique_ptr<db::Transaction> transaction_;
  std::set<std::string> held_locks_;
  std::optional<std::string> lost_;  // the error that ended the transaction
};

}  // namespace tqs::server

#endif  // TQS_SERVER_UPLOAD_TRANSACTION_H_
