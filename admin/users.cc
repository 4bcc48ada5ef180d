#include "admin/users.h"

#include <fmt/format.h>

#include <map>
#include <optional>

#include "common/error.h"
#include "common/text.h"
#include "platform/db/recordset.h"
#include "platform/db/transaction.h"
#include "server/schema/schema_version.h"

namespace tqs::admin {
namespace {

void RequireDisabledColumn(db::Connection& connection) {
  server::RequireSchemaVersion(connection, server::kLoginDisablingVersion,
                               "logins could be disabled");
}

std::string TextOrEmpty(const db::Variant& value) { return value.IsNull() ? "" : value.AsText(); }

std::int64_t PendingDocuments(db::Connection& connection, std::string_view employee) {
  auto rs = db::Recordset::Open(
      "SELECT COUNT(*) FROM CLIENTSERVERINTERACTION WHERE INTERACTIONSTATUS = 5 AND "
      "EMPLOYEEID = " +
          QuoteSql(employee),
      connection, db::CursorType::kForwardOnly, db::LockType::kReadOnly);
  return static_cast<std::int64_t>(rs->Field(0).AsDouble());
}

std::optional<User> FindUser(db::Connection& connection, std::string_view login) {
  auto rs = db::Recordset::Open(
      "SELECT LOGN, EMNO, BUSCOMPONENT, DISABLED FROM USERDEFAULTS WHERE LOGN = " + QuoteSql(login),
      connection, db::CursorType::kForwardOnly, db::LockType::kReadOnly);
  if (rs->IsEOF()) return std::nullopt;
  return User{.login = rs->Field(0).AsText(),
              .employee = TextOrEmpty(rs->Field(1)),
              .bus_component = TextOrEmpty(rs->Field(2)),
              .disabled = rs->Field(3).AsInt32() != 0};
}

User RequireUser(db::Connection& connection, std::string_view login) {
  std::optional<User> user = FindUser(connection, login);
  if (!user) {
    throw Error(error_number::kNoCurrentRecord,
                "No user has the login '" + Excerpt(login) + "' (TQSRemoteAdmin users list)");
  }
  return *std::move(user);
}

void RecordUserAction(db::Connection& connection, std::string_view operator_name,
                      std::string_view action, const User& user) {
  connection.Execute(
      fmt::format("INSERT INTO OPERATORACTIONS (OPERATOR, ACTION, DETAILS) VALUES ({}, {}, {})",
                  QuoteSql(operator_name), QuoteSql(action),
                  QuoteSql(fmt::format("login {}; employee {}; business component {}", user.login,
                                       user.employee, user.bus_component))));
}

}  // namespace

std::vector<User> ListUsers(db::Connection& connection) {
  RequireDisabledColumn(connection);
  std::map<std::string, std::int64_t> pending;
  {
    auto rs = db::Recordset::Open(
        "SELECT EMPLOYEEID, COUNT(*) FROM CLIENTSERVERINTERACTION WHERE INTERACTIONSTATUS = 5 "
        "GROUP BY EMPLOYEEID",
        connection, db::CursorType::kForwardOnly, db::LockType::kReadOnly);
    for (; !rs->IsEOF(); rs->MoveNext()) {
      pending[TextOrEmpty(rs->Field(0))] = static_cast<std::int64_t>(rs->Field(1).AsDouble());
    }
  }
  auto rs = db::Recordset::Open(
      "SELECT LOGN, EMNO, BUSCOMPONENT, DISABLED FROM USERDEFAULTS ORDER BY LOGN", connection,
      db::CursorType::kForwardOnly, db::LockType::kReadOnly);
  std::vector<User> users;
  for (; !rs->IsEOF(); rs->MoveNext()) {
    User user{.login = rs->Field(0).AsText(),
              .employee = TextOrEmpty(rs->Field(1)),
              .bus_component = TextOrEmpty(rs->Field(2)),
              .disabled = rs->Field(3).AsInt32() != 0};
    const auto found = pending.find(user.employee);
    if (found != pending.end()) user.pending_documents = found->second;
    users.push_back(std::move(user));
  }
  return users;
}

nlohmann::json ToJson(const std::vector<User>& users) {
  nlohmann::json list = nlohmann::json::array();
  for (const User& user : users) {
    list.push_back({{"login", user.login},
                    {"employee", user.employee},
                    {"busComponent", user.bus_component},
                    {"disabled", user.disabled},
                    {"pendingDocuments", user.pending_documents}});
  }
  return list;
}

std::string FormatUsers(const std::vector<User>& users) {
  if (users.empty()) return "(no users; add one with TQSRemoteAdmin add-user)\n";
  std::string text = fmt::format("{:<20} {:<12} {:<20} {:<9} {:>8}\n", "login", "employee",
                                 "business component", "state", "pending");
  for (const User& user : users) {
    text += fmt::format("{:<20} {:<12} {:<20} {:<9} {:>8}\n", user.login, user.employee,
                        user.bus_component, user.disabled ? "disabled" : "enabled",
                        user.pending_documents);
  }
  return text;
}

void AddUser(std::string_view dsn, std::string_view login, std::string_view employee,
             std::string_view bus_component) {
  for (const auto& [name, value] :
       {std::pair{"login", login}, {"employee", employee}, {"business component", bus_component}}) {
    if (Trim(value).empty()) {
      throw Error(error_number::kInvalidProcedureCall,
                  fmt::format("The {} of a user cannot be empty", name));
    }
  }
  auto connection = db::Connection::Open(dsn);
  const auto refuse_duplicate = [&](const User& existing) {
    return Error(error_number::kOperationNotAllowed,
                 fmt::format("The login '{}' exists already (employee {}, business component "
                             "{}{}); nothing was changed. Choose another login, or remove that "
                             "one first (TQSRemoteAdmin users remove).",
                             Excerpt(login), existing.employee, existing.bus_component,
                             existing.disabled ? ", disabled" : ""));
  };
  auto rs = db::Recordset::Open("SELECT * FROM USERDEFAULTS WHERE LOGN = " + QuoteSql(login),
                                *connection, db::CursorType::kKeyset, db::LockType::kOptimistic);
  if (!rs->IsEOF()) {
    const User existing{.employee = TextOrEmpty(rs->Field("EMNO")),
                        .bus_component = TextOrEmpty(rs->Field("BUSCOMPONENT"))};
    throw refuse_duplicate(existing);
  }
  rs->AddNew();
  rs->SetField("LOGN", std::string(login));
  rs->SetField("EMNO", std::string(employee));
  rs->SetField("BUSCOMPONENT", std::string(bus_component));
  rs->SetField("LASTJSID", std::int32_t{0});
  rs->SetField("LASTQUOTEID", std::int32_t{0});
  rs->SetField("LASTINVOICEID", std::int32_t{0});
  try {
    rs->Update();
  } catch (const Error&) {
    // Another operator added the login meanwhile: the unique key refused this row.
    rs->CancelUpdate();
    const std::optional<User> added = FindUser(*connection, login);
    if (added) throw refuse_duplicate(*added);
    throw;
  }
  rs->Close();
  connection->Close();
}

bool SetUserDisabled(db::Connection& connection, std::string_view login, bool disabled,
                     std::string_view operator_name) {
  RequireDisabledColumn(connection);
  db::Transaction transaction(connection);
  const User user = RequireUser(connection, login);
  if (user.disabled == disabled) return false;
  connection.Execute(fmt::format("UPDATE USERDEFAULTS SET DISABLED = {} WHERE LOGN = {}",
                                 disabled ? 1 : 0, QuoteSql(login)));
  RecordUserAction(connection, operator_name, disabled ? "user-disable" : "user-enable", user);
  transaction.Commit();
  return true;
}

UserRemoval RemoveUser(db::Connection& connection, std::string_view login, bool force,
                       std::string_view operator_name) {
  RequireDisabledColumn(connection);
  db::Transaction transaction(connection);
  UserRemoval removal{.user = RequireUser(connection, login)};
  auto others = db::Recordset::Open(
      "SELECT COUNT(*) FROM USERDEFAULTS WHERE EMNO = " + QuoteSql(removal.user.employee) +
          " AND LOGN <> " + QuoteSql(login),
      connection, db::CursorType::kForwardOnly, db::LockType::kReadOnly);
  if (others->Field(0).AsInt32() == 0) {
    removal.stranded_documents = PendingDocuments(connection, removal.user.employee);
  }
  others->Close();
  if (removal.stranded_documents > 0 && !force) {
    throw Error(
        error_number::kOperationNotAllowed,
        fmt::format("The login '{}' was not removed: employee {} has {} document(s) waiting for "
                    "the broker, and without a login for that employee the broker finds no "
                    "business component for them and leaves them waiting. Let the broker "
                    "process them first, disable the login instead (TQSRemoteAdmin users "
                    "disable), or remove it anyway with --force (the documents are kept and "
                    "go to the ERP once a login for employee {} is added again).",
                    Excerpt(login), removal.user.employee, removal.stranded_documents,
                    removal.user.employee));
  }
  connection.Execute("DELETE FROM USERDEFAULTS WHERE LOGN = " + QuoteSql(login));
  RecordUserAction(connection, operator_name, "user-remove", removal.user);
  transaction.Commit();
  return removal;
}

}  // namespace tqs::admin
