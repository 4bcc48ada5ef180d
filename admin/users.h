// The laptop users of the server: the rows of USERDEFAULTS, which map a login to an employee
// number and an ERP business component, as `TQSRemoteAdmin add-user` and `users list|disable|
// enable|remove` manage them.
//   disabled  the JobSheet methods that take a login (download, assignments, numbers) refuse it
//             as they refuse an unknown login; uploads and results, which go by employee
//             number, are still taken, and the broker still hands the employee's documents to
//             the ERP, so work done offline before is not lost. The row and its last used
//             numbers are kept, so enabling the login again is all it takes.
//   removed   the row is deleted. The broker finds an employee's business component through a
//             login of that employee: pending documents of an employee left without a login
//             stay pending, and each broker pass reports them, until a login for the employee
//             is added again. Removal is therefore refused while that would happen, unless
//             forced; the documents are never deleted.
// Every disable, enable and removal is recorded in OPERATORACTIONS with the operator's name.
//
// Functions on a connection; not thread-safe (one connection, one thread).
#ifndef TQS_ADMIN_USERS_H_
#define TQS_ADMIN_USERS_H_

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/connection.h"

namespace tqs::admin {

struct User {
  std::string login;          // LOGN
  std::string employee;       // EMNO
  std::string bus_component;  // BUSCOMPONENT
  bool disabled = false;      // DISABLED
  // The employee's documents waiting for the broker (status 5).
  std::int64_t pending_documents = 0;
};

// Every user, by login. Raises tqs::Error, saying to upgrade a database made before logins
// could be disabled.
std::vector<User> ListUsers(db::Connection& connection);

nlohmann::json ToJson(const std::vector<User>& users);

// A table for the terminal.
std::string FormatUsers(const std::vector<User>& users);

// Adds a USERDEFAULTS row for the server database of `dsn`. Raises tqs::Error for an empty
// login, employee or business component, and, naming the row's employee, for a login that
// exists already.
void AddUser(std::string_view dsn, std::string_view login, std::string_view employee,
             std::string_view bus_component);

// Disables or enables the login; returns false when it already was so (nothing is recorded
// then). Raises tqs::Error for an unknown login.
bool SetUserDisabled(db::Connection& connection, std::string_view login, bool disabled,
                     std::string_view operator_name);

struct UserRemoval {
  User user;  // the row that was removed
  // Pending documents of its employee, which no login of that employee is left to serve.
  std::int64_t stranded_documents = 0;
};

// Removes the login's row. Raises tqs::Error for an unknown login, and, changing nothing,
// when pending documents of its employee would be left without a login and `force` is false.
UserRemoval RemoveUser(db::Connection& connection, std::string_view login, bool force,
                       std::string_view operator_name);

}  // namespace tqs::admin

#endif  // TQS_ADMIN_USERS_H_
