#include "admin/users_command.h"

#include <iostream>

#include "admin/operator_identity.h"
#include "admin/users.h"
#include "platform/db/connection.h"

namespace tqs::admin {

UsersCommand::UsersCommand(CLI::App& app) {
  users_ = app.add_subcommand("users",
                              "List, disable, enable or remove laptop users "
                              "(USERDEFAULTS); add them with add-user");
  users_->require_subcommand(1);
  list_ = users_->add_subcommand(
      "list",
      "Every login with its employee, business component, state and the employee's "
      "documents waiting for the broker");
  disable_ = users_->add_subcommand(
      "disable",
      "Refuse the login's downloads, assignments and numbers as an unknown login's; "
      "its uploads are still taken and processed");
  enable_ = users_->add_subcommand("enable", "Accept a disabled login again");
  remove_ = users_->add_subcommand(
      "remove",
      "Delete the login's row (refused while its employee has documents waiting for "
      "the broker and no other login)");
  for (CLI::App* command : {list_, disable_, enable_, remove_}) {
    command->add_option("--dsn", dsn_, "Connection string")->required();
  }
  for (CLI::App* command : {disable_, enable_, remove_}) {
    command->add_option("login", login_, "Login name (LOGN)")->required();
  }
  list_->add_flag("--json", as_json_, "Print JSON instead of a table");
  remove_->add_flag("--force", force_,
                    "Remove it even though documents of its employee wait for the broker (they "
                    "are kept, and go to the ERP once a login for the employee is added again)");
}

bool UsersCommand::parsed() const { return users_->parsed(); }

void UsersCommand::Run() const {
  auto connection = db::Connection::Open(dsn_);
  if (list_->parsed()) {
    const std::vector<User> users = ListUsers(*connection);
    std::cout << (as_json_ ? ToJson(users).dump(2, ' ', false,
                                                nlohmann::json::error_handler_t::replace) +
                                 "\n"
                           : FormatUsers(users));
  } else if (disable_->parsed() || enable_->parsed()) {
    const bool disabled = disable_->parsed();
    const bool changed = SetUserDisabled(*connection, login_, disabled, OperatingSystemUser());
    std::cout << "User " << login_ << (changed ? " is now " : " was already ")
              << (disabled ? "disabled" : "enabled") << ".\n";
  } else if (remove_->parsed()) {
    const UserRemoval removal = RemoveUser(*connection, login_, force_, OperatingSystemUser());
    std::cout << "User " << login_ << " removed (employee " << removal.user.employee << ").";
    if (removal.stranded_documents > 0) {
      std::cout << " " << removal.stranded_documents << " document(s) of employee "
                << removal.user.employee
                << " wait for the broker without a login; they are kept and go to the ERP once "
                   "a login for that employee is added again.";
    }
    std::cout << "\n";
  }
}

}  // namespace tqs::admin
