// The `users` command of TQSRemoteAdmin, which manages the laptop users (admin/users.h):
//   TQSRemoteAdmin users list --dsn DSN [--json]
//   TQSRemoteAdmin users disable|enable --dsn DSN LOGIN
//   TQSRemoteAdmin users remove --dsn DSN LOGIN [--force]
// It adds its subcommands to the program's command line and runs the one given.
//
// Not thread-safe; one object per command line.
#ifndef TQS_ADMIN_USERS_COMMAND_H_
#define TQS_ADMIN_USERS_COMMAND_H_

#include <CLI/CLI.hpp>
#include <string>

namespace tqs::admin {

class UsersCommand {
 public:
  // Adds `users` and its subcommands to `app`.
  explicit UsersCommand(CLI::App& app);
  UsersCommand(const UsersCommand&) = delete;
  UsersCommand& operator=(const UsersCommand&) = delete;

  // Whether the command line named `users`.
  bool parsed() const;

  // Runs the subcommand given, printing its outcome. Raises tqs::Error.
  void Run() const;

 private:
  // Filled by the command line.
  std::string dsn_;
  std::string login_;
  bool as_json_ = false;
  bool force_ = false;

  CLI::App* users_;
  CLI::App* list_;
  CLI::App* disable_;
  CLI::App* enable_;
  CLI::App* remove_;
};

}  // namespace tqs::admin

#endif  // TQS_ADMIN_USERS_COMMAND_H_
