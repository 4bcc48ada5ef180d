#include "server/user_defaults.h"

#include <memory>

#include "common/error.h"
#include "common/text.h"
#include "platform/db/recordset.h"
#include "server/schema/schema_version.h"

namespace tqs::server {

UserDefaults LookUpLogin(db::Connection& connection, std::string_view login) {
  std::unique_ptr<db::Recordset> rs;
  try {
    rs = db::Recordset::Open(std::string(" SELECT USERDEFAULTS.EMNO, USERDEFAULTS.BUSCOMPONENT, "
                                         "USERDEFAULTS.DISABLED") +
                                 " FROM USERDEFAULTS" +
                                 " WHERE USERDEFAULTS.LOGN = " + QuoteSql(login),
                             connection, db::CursorType::kForwardOnly, db::LockType::kReadOnly);
  } catch (const Error&) {
    // A database that programs of this version have not upgraded lacks the column: say so
    // rather than pass on the provider's message about it. Any other failure (also one that
    // keeps the version from being read, as in an aborted transaction) is passed on as it was.
    bool older = false;
    try {
      older = ReadSchemaVersion(connection) < kLoginDisablingVersion;
    } catch (const Error&) {
    }
    if (older) RequireSchemaVersion(connection, kLoginDisablingVersion, "logins could be disabled");
    throw;
  }
  // The platform's errors (no current record, invalid use of null) keep their numbers; the
  // description says which login and column, so the web tier's log tells the operator.
  const auto read = [&](const char* column) {
    try {
      return rs->Field(column).AsText();
    } catch (const Error& error) {
      throw Error(error.number(), error.description() + " (USERDEFAULTS." + column +
                                      " of the login '" + Excerpt(login) + "')");
    }
  };
  const auto refuse = [&](const std::string& reason) {
    return Error(error_number::kNoCurrentRecord,
                 "Either BOF or EOF is True, or the current record has been deleted. Requested "
                 "operation requires a current record. (" +
                     reason + ")");
  };
  if (rs->IsEOF()) {
    throw refuse("USERDEFAULTS has no row for the login '" + Excerpt(login) + "'");
  }
  // A disabled login is refused as one without a row; the operator's log says which it was.
  if (rs->Field("DISABLED").AsInt32() != 0) {
    throw refuse("the login '" + Excerpt(login) + "' is disabled");
  }
  UserDefaults user;
  user.employee = read("EMNO");
  user.bus_component = read("BUSCOMPONENT");
  return user;
}

}  // namespace tqs::server
