// A PassLock keeps two brokers from working on the pending rows of one server database at the
// same time: a processing pass takes it before it reads the pending rows and gives it back when
// it ends, and a broker that cannot take it leaves the rows alone. Without it two passes would
// both hand the same document to the ERP and book it twice.
//
// The lock belongs to the server database, so brokers on other machines are held off too:
//   PostgreSQL  a session-level advisory lock on the broker's own connection;
//   SQLite      an exclusive lock on the file "<database file>-broker.lock" beside the database
//               file, named after the file's resolved path, so the same database reached through
//               a symbolic link or another relative path has the same lock (the file stays; it
//               holds the process id of the last holder).
// Operator tools that change pending rows (requeue, resolve) take the same lock, so they never
// act on a row that a pass is handing to the ERP at that moment.
//
// The lock is exclusive, or shared among the passes of brokers that run several workers: their
// workers claim each employee for themselves (broker/employee_claims.h), so such passes may run
// at once on PostgreSQL, while a single-worker pass and the operator tools, which rely on being
// alone, still take it exclusively and so never run beside any of them. On SQLite a shared lock
// is exclusive all the same: one broker process works on a database file at a time.
// Both are released by the system when the broker's process ends or its connection is lost, so
// a broker that was killed never blocks the next one.
//
// Not thread-safe: used by the thread of the pass, whose connection must outlive the lock.
#ifndef TQS_COMMON_PASS_LOCK_H_
#define TQS_COMMON_PASS_LOCK_H_

#include <memory>
#include <string_view>

#include "platform/db/connection.h"

namespace tqs {

class PassLock {
 public:
  enum class Mode {
    kExclusive,  // no other pass and no operator tool at the same time
    kShared,     // beside other shared holders only (PostgreSQL; exclusive on SQLite)
  };

  virtual ~PassLock() = default;  // releases the lock; never raises
  PassLock(const PassLock&) = delete;
  PassLock& operator=(const PassLock&) = delete;

  // Takes the lock of the server database that `connection_string` names and `connection` is
  // open on, without waiting. Returns nullptr when another pass holds it. Raises tqs::Error with
  // the provider's or the system's message when the lock cannot be tried at all.
  static std::unique_ptr<PassLock> TryAcquire(std::string_view connection_string,
                                              db::Connection& connection,
                                              Mode mode = Mode::kExclusive);

 protected:
  PassLock() = default;
};

}  // namespace tqs

#endif  // TQS_COMMON_PASS_LOCK_H_
