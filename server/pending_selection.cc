#include "server/pending_selection.h"

#include <fmt/format.h>

#include "common/text.h"
#include "platform/db/recordset.h"

namespace tqs::server {
namespace {

constexpr char kInDoubt[] = "ATTEMPTOPEN = 1";
// Not in doubt: ATTEMPTOPEN is 0 or was never set.
const std::string kFailing = fmt::format(
    "ATTEMPTCOUNT >= {} AND LASTERROR IS NOT NULL AND LASTERROR <> '' AND "
    "(ATTEMPTOPEN IS NULL OR ATTEMPTOPEN <> 1)",
    kFailingAttempts);

}  // namespace

std::string SelectionCondition(const DocumentSelection& selection) {
  std::string condition = "INTERACTIONSTATUS = 5 AND ";
  if (selection.in_doubt == selection.failing) {
    condition += fmt::format("({} OR {})", kInDoubt, kFailing);
  } else {
    condition += selection.in_doubt ? std::string(kInDoubt) : kFailing;
  }
  if (selection.employee) condition += " AND EMPLOYEEID = " + QuoteSql(*selection.employee);
  if (selection.type) condition += fmt::format(" AND BUSINESSDOCUMENTTYPE = {}", *selection.type);
  return condition;
}

std::int64_t CountPendingDocuments(db::Connection& connection, const DocumentSelection& selection) {
  auto rs = db::Recordset::Open(
      "SELECT COUNT(*) FROM CLIENTSERVERINTERACTION WHERE " + SelectionCondition(selection),
      connection, db::CursorType::kForwardOnly, db::LockType::kReadOnly);
  return static_cast<std::int64_t>(rs->Field(0).AsDouble());
}

}  // namespace tqs::server
