#include "server/user_defaults.h"

#include "common/error.h"
#include "common/text.h"
#include "platform/db/recordset.h"

namespace tqs::server {

UserDefaults LookUpLogin(db::Connection& connection, std::string_view login) {
  auto rs = db::Recordset::Open(std::string(" SELECT USERDEFAULTS.EMNO, USERDEFAULTS.BUSCOMPONENT") +
                                    " FROM USERDEFAULTS" +
                                    " WHERE USERDEFAULTS.LOGN = " + QuoteSql(login),
                                connection, db::CursorType::kForwardOnly, db::LockType::kReadOnly);
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
  if (rs->IsEOF()) {
    throw Error(error_number::kNoCurrentRecord,
                "Either BOF or EOF is True, or the current record has been deleted. Requested "
                "operation requires a current record. (USERDEFAULTS has no row for the login '" +
                    Excerpt(login) + "')");
  }
  UserDefaults user;
  user.employee = read("EMNO");
  user.bus_component = read("BUSCOMPONENT");
  return user;
}

}  // namespace tqs::server
