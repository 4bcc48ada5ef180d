#include "broker/employee_claims.h"

#include <exception>
#include <functional>
#include <set>
#include <utility>

#include "common/text.h"
#include "platform/db/recordset.h"

namespace tqs::broker {

namespace {

// A claim that gives its employee back through its claims object's release when destroyed.
class ReleasingClaim final : public EmployeeClaim {
 public:
  explicit ReleasingClaim(std::function<void()> release) : release_(std::move(release)) {}
  ~ReleasingClaim() override { release_(); }

 private:
  const std::function<void()> release_;
};

// The advisory lock key of an employee. Advisory locks belong to the whole PostgreSQL database,
// which may hold several server databases in schemas of their own, so the key names the schema
// too. The id goes in as a plain text literal (QuoteSql without its national-character prefix,
// which PostgreSQL would read as blank-padded character and so lose trailing blanks), so that
// "E1" and "E1 " are two employees here as they are in the table.
std::string AdvisoryKey(std::string_view employee) {
  return "hashtextextended('TQSRemoteBroker employee in ' || current_schema() || ': ' || " +
         QuoteSql(employee).substr(1) + ", 0)";
}

// Advisory locks count per session: one session could take an employee twice. The claims of a
// worker remember what they hold, so a claim is held once as it is by the in-process claims.
class AdvisoryClaims final : public EmployeeClaims {
 public:
  explicit AdvisoryClaims(db::Connection& connection) : connection_(connection) {}

  std::unique_ptr<EmployeeClaim> TryClaim(std::string_view employee) override {
    if (held_.contains(employee)) return nullptr;
    const std::string key = AdvisoryKey(employee);
    auto rs =
        db::Recordset::Open("SELECT pg_try_advisory_lock(" + key + ") AS ACQUIRED", connection_);
    const bool acquired = rs->Field("ACQUIRED").AsBoolean();
    rs->Close();
    if (!acquired) return nullptr;
    held_.emplace(employee);
    return std::make_unique<ReleasingClaim>(
        [this, held = std::string(employee)] { Release(held); });
  }

 private:
  void Release(const std::string& employee) {
    held_.erase(employee);
    try {
      auto rs = db::Recordset::Open(
          "SELECT pg_advisory_unlock(" + AdvisoryKey(employee) + ") AS RELEASED", connection_);
      rs->Close();
    } catch (const std::exception&) {
      // A connection that is gone took the claim with it.
    }
  }

  db::Connection& connection_;
  std::set<std::string, std::less<>> held_;
};

}  // namespace

std::unique_ptr<EmployeeClaim> InProcessClaims::TryClaim(std::string_view employee) {
  const std::lock_guard lock(mutex_);
  if (!claimed_.emplace(employee).second) return nullptr;
  return std::make_unique<ReleasingClaim>(
      [this, claimed = std::string(employee)] { Release(claimed); });
}

void InProcessClaims::Release(const std::string& employee) {
  const std::lock_guard lock(mutex_);
  claimed_.erase(employee);
}

std::unique_ptr<EmployeeClaims> NewAdvisoryClaims(db::Connection& connection) {
  return std::make_unique<AdvisoryClaims>(connection);
}

}  // namespace tqs::broker
