#include "server/user_defaults.h"

#include "common/text.h"
#include "platform/db/recordset.h"

namespace tqs::server {

UserDefaults LookUpLogin(db::Connection& connection, std::string_view login) {
  auto rs = db::Recordset::Open(std::string(" SELECT USERDEFAULTS.EMNO, USERDEFAULTS.BUSCOMPONENT") +
                                    " FROM USERDEFAULTS" +
                                    " WHERE USERDEFAULTS.LOGN = " + QuoteSql(login),
                                connection, db::CursorType::kForwardOnly, db::LockType::kReadOnly);
  UserDefaults user;
  user.employee = rs->Field("EMNO").AsText();
  user.bus_component = rs->Field("BUSCOMPONENT").AsText();
  return user;
}

}  // namespace tqs::server
