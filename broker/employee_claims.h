// EmployeeClaims keep two workers of the broker, in one process or in several on several
// machines, from ever working on the same employee's documents at once: a worker claims an
// employee before it reads that employee's pending rows and gives the claim back when it has
// handled them, and a worker that cannot have the claim leaves the employee to its holder. So an
// employee's documents reach the ERP one at a time and in upload order, however many workers run.
//
//   PostgreSQL  NewAdvisoryClaims: a session-level advisory lock per employee on the worker's own
//               connection (pg_try_advisory_lock on a key made from the employee id and the
//               schema of the server database). It is held across the worker's commits and
//               ends with the session: a broker that dies or loses its connection gives its
//               claims up at once, so a killed broker never blocks an employee.
//   SQLite      InProcessClaims: the set of the employees claimed in this process. One broker
//               process works on a database file at a time (the pass lock), so that suffices.
//
// Why not SELECT ... FOR UPDATE SKIP LOCKED on the pending rows: row locks live only as long as
// the transaction that took them, and the broker commits each document's attempt and its outcome
// separately (that is what makes a document reach the ERP at most once). A claim held across
// those commits would need an open transaction on a second connection for the whole employee; a
// session advisory lock is held across commits on the worker's one connection.
#ifndef TQS_BROKER_EMPLOYEE_CLAIMS_H_
#define TQS_BROKER_EMPLOYEE_CLAIMS_H_

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

#include "platform/db/connection.h"

namespace tqs::broker {

// A worker's hold on one employee, given back when destroyed (never raises).
class EmployeeClaim {
 public:
  virtual ~EmployeeClaim() = default;
  EmployeeClaim(const EmployeeClaim&) = delete;
  EmployeeClaim& operator=(const EmployeeClaim&) = delete;

 protected:
  EmployeeClaim() = default;
};

class EmployeeClaims {
 public:
  virtual ~EmployeeClaims() = default;

  // Claims `employee` (the EMPLOYEEID as stored) without waiting. Returns nullptr when another
  // worker holds it. Raises tqs::Error with the provider's message when the claim cannot be
  // tried at all. A claim must not outlive the claims object that made it.
  virtual std::unique_ptr<EmployeeClaim> TryClaim(std::string_view employee) = 0;
};

// The claims of one process's workers on a SQLite database. Thread-safe: the workers share one.
class InProcessClaims final : public EmployeeClaims {
 public:
  std::unique_ptr<EmployeeClaim> TryClaim(std::string_view employee) override;

 private:
  // Gives `employee` up.
  void Release(const std::string& employee);

  std::mutex mutex_;
  std::set<std::string, std::less<>> claimed_;  // guarded by mutex_
};

// Claims on a PostgreSQL server database held by the session of `connection`, which must outlive
// the claims object. Not thread-safe: each worker makes its own on its own connection.
std::unique_ptr<EmployeeClaims> NewAdvisoryClaims(db::Connection& connection);

}  // namespace tqs::broker

#endif  // TQS_BROKER_EMPLOYEE_CLAIMS_H_
