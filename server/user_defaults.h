// The login look-up of the JobSheet component: the employee number and ERP business component
// that USERDEFAULTS holds for a laptop user's login.
#ifndef TQS_SERVER_USER_DEFAULTS_H_
#define TQS_SERVER_USER_DEFAULTS_H_

#include <string>
#include <string_view>

#include "platform/db/connection.h"

namespace tqs::server {

struct UserDefaults {
  std::string employee;       // EMNO
  std::string bus_component;  // BUSCOMPONENT
};

// Reads the user's row. The login reaches the SQL through QuoteSql, so a login with an
// apostrophe is looked up like any other. A login without a row, and a disabled one
// (USERDEFAULTS.DISABLED 1), raise tqs::Error 3021 (no current record), which the calling
// method reports as its failure.
UserDefaults LookUpLogin(db::Connection& connection, std::string_view login);

}  // namespace tqs::server

#endif  // TQS_SERVER_USER_DEFAULTS_H_
