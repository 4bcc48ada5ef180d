// TQSRemoteAdmin: creates the server database and lays out a working installation.
//   TQSRemoteAdmin init-db --dsn DSN
//   TQSRemoteAdmin install DIR [--dsn DSN] [--overwrite] [--demo]
//   TQSRemoteAdmin upgrade DIR
//   TQSRemoteAdmin console-secret DIR [--off]        (the secret: first line of standard input)
//   TQSRemoteAdmin add-user --dsn DSN --login L --employee E --bus-component B
//   TQSRemoteAdmin users list|disable|enable|remove ... (admin/users_command.h)
//   TQSRemoteAdmin status --dsn DSN [--json]
//   TQSRemoteAdmin documents --dsn DSN [--in-doubt] [--failing] [--employee E] [--type T]
//                            [--limit N] [--json] [--show KEY]
//   TQSRemoteAdmin requeue --dsn DSN (KEY... | --in-doubt|--failing [--employee E] [--type T])
//                          [--note TEXT]
//   TQSRemoteAdmin resolve --done --dsn DSN (KEY... | filters) [--note TEXT]
//   TQSRemoteAdmin erp import FILE... [--store STORE]
//   TQSRemoteAdmin erp check --components FILE [--allow-bookings]
//   TQSRemoteAdmin backup --dsn DSN DEST [--overwrite]
//   TQSRemoteAdmin purge --dsn DSN --processed-before YYYY-MM-DD [--dry-run]
//   TQSRemoteAdmin --version
// Exit status 0 on success, 1 on failure with the reason on standard error; backup of a
// PostgreSQL database: 3, no backup made, the pg_dump command to run printed instead; erp
// check: 1 when a scenario failed, 2 for wrong arguments or a components file that cannot be
// loaded.
#include <termios.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>

#include "admin/erp_check/erp_check_command.h"
#include "admin/installation.h"
#include "admin/maintenance_commands.h"
#include "admin/operator_identity.h"
#include "admin/users.h"
#include "admin/users_command.h"
#include "common/error.h"
#include "common/version.h"
#include "erp/admin_commands.h"
#include "platform/db/connection.h"
#include "server/document_decisions.h"
#include "server/pending_documents.h"
#include "server/queue_health.h"

namespace {

// The JSON text of a report. Stored documents and errors may hold bytes that are not UTF-8 (an
// upload or an ERP text that was cut apart): they are shown as U+FFFD, so the report of every
// other document still comes out.
std::string Dump(const nlohmann::json& report) {
  return report.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::filesystem::path ProgramFolder() {
  std::error_code ignored;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ignored);
  return self.empty() ? std::filesystem::current_path() : self.parent_path();
}

// The options that name pending documents by kind, employee and type.
void AddSelectionOptions(CLI::App& command, tqs::server::DocumentSelection& selection,
                         std::string_view kinds_help) {
  command.add_flag(
      "--in-doubt", selection.in_doubt,
      std::string("Documents in doubt: the ERP may have booked them") + std::string(kinds_help));
  command.add_flag("--failing", selection.failing,
                   "Documents that failed at least 3 times and are not in doubt");
  command.add_option("--employee", selection.employee, "Only this employee's documents");
  command
      .add_option("--type", selection.type,
                  "Only this document type (5 job sheet, 10 "
                  "general hours line, 15 service inspection)")
      ->check(CLI::IsMember({5, 10, 15}));
}

// A requeue or resolve command: keys or a selection, and a note for the audit log.
struct DecisionOptions {
  std::string dsn;
  std::vector<std::int64_t> keys;
  tqs::server::DocumentSelection selection;
  std::optional<std::string> note;
  bool done = false;
};

CLI::App* AddDecisionCommand(CLI::App& app, const char* name, const char* help,
                             DecisionOptions& options) {
  auto* command = app.add_subcommand(name, help);
  command->add_option("--dsn", options.dsn, "Connection string")->required();
  auto* keys = command->add_option("keys", options.keys, "INTERACTIONKEY of each document");
  AddSelectionOptions(*command, options.selection, "");
  for (const char* filter : {"--in-doubt", "--failing", "--employee", "--type"}) {
    keys->excludes(command->get_option(filter));
  }
  command->add_option("--note", options.note, "A note for the audit log (OPERATORACTIONS)");
  return command;
}

int RunDecision(tqs::server::Decision decision, const DecisionOptions& options) {
  tqs::server::DecisionRequest request{.decision = decision,
                                       .keys = options.keys,
                                       .operator_name = tqs::admin::OperatingSystemUser(),
                                       .note = options.note};
  if (options.keys.empty()) request.selection = options.selection;
  const tqs::server::DecisionTotals totals = tqs::server::ApplyDecision(
      options.dsn, request, tqs::Clock::System(), [](const tqs::server::DecisionLine& line) {
        std::cout << line.key << ": " << (line.changed ? "" : "skipped: ") << line.text << "\n";
      });
  std::cout << tqs::server::FormatDecisionTotals(decision, totals) << "\n";
  return 0;
}

// The operator secret from standard input: its first line, without the line end. On a terminal
// it is asked for twice without being shown.
std::string ReadSecret() {
  const bool terminal = ::isatty(STDIN_FILENO) == 1;
  termios saved{};
  if (terminal) {
    ::tcgetattr(STDIN_FILENO, &saved);
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  const auto read_line = [&](const char* prompt) {
    if (terminal) std::cerr << prompt << std::flush;
    std::string line;
    std::getline(std::cin, line);
    if (terminal) std::cerr << "\n";
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  };
  std::string secret = read_line("Operator secret: ");
  const bool same = !terminal || read_line("Again: ") == secret;
  if (terminal) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  if (!same) {
    throw tqs::Error(tqs::error_number::kInvalidProcedureCall,
                     "The two entries differ; nothing was changed.");
  }
  return secret;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"TQSRemoteAdmin: server database and installation of TQSRemote"};
  app.require_subcommand(1);
  app.set_version_flag("--version", tqs::VersionText("TQSRemoteAdmin"));

  std::string dsn;
  auto* init_db = app.add_subcommand("init-db",
                                     "Create the schema and default data in a database "
                                     "(adds only what is missing; never drops a row)");
  init_db
      ->add_option("--dsn", dsn,
                   "Connection string, e.g. \"Provider=SQLite;Data Source=server.db\"")
      ->required();

  tqs::admin::InstallOptions install_options;
  std::string install_dsn;
  auto* install = app.add_subcommand("install", "Lay out a working installation in a folder");
  install->add_option("directory", install_options.directory, "Installation folder")->required();
  install->add_option(
      "--dsn", install_dsn,
      "Server database connection string (default: SQLite file DIR/data/server.db)");
  install->add_flag("--overwrite", install_options.overwrite,
                    "Install into a folder that is not empty (the configuration, the component "
                    "registry and an existing database with its users are kept)");
  install->add_flag("--demo", install_options.demo,
                    "Add the demo users ada, bram and carla and the reference ERP's demo orders");

  std::filesystem::path upgrade_directory;
  auto* upgrade = app.add_subcommand(
      "upgrade",
      "Bring an installation up to these programs: migrate its server database, replace the "
      "programs, keep every local setting and user");
  upgrade->add_option("directory", upgrade_directory, "Installation folder")->required();

  std::string login, employee, bus_component;
  auto* add_user = app.add_subcommand("add-user", "Add a laptop user to USERDEFAULTS");
  add_user->add_option("--dsn", dsn, "Connection string")->required();
  add_user->add_option("--login", login, "Login name (LOGN)")->required();
  add_user->add_option("--employee", employee, "Employee number (EMNO)")->required();
  add_user->add_option("--bus-component", bus_component, "ERP business component")->required();

  bool as_json = false;
  auto* status = app.add_subcommand("status",
                                    "Show the upload queue: documents per status, "
                                    "the oldest pending document of each type (UTC), "
                                    "employees with the most pending documents");
  status->add_option("--dsn", dsn, "Connection string")->required();
  status->add_flag("--json", as_json, "Print JSON instead of a table");

  std::filesystem::path console_directory;
  bool console_off = false;
  auto* console_secret = app.add_subcommand(
      "console-secret",
      "Set the operator console's secret of an installation, read from standard input (the "
      "first line); --off switches the console off");
  console_secret->add_option("directory", console_directory, "Installation folder")->required();
  console_secret->add_flag("--off", console_off, "Remove the secret: the console answers 404");

  const tqs::admin::UsersCommand users(app);

  tqs::server::DocumentSelection document_selection;
  std::optional<std::int64_t> document_limit;
  std::optional<std::int64_t> show_key;
  auto* documents =
      app.add_subcommand("documents",
                         "List pending documents that wait for an operator: in doubt (the ERP may "
                         "have booked them) and repeatedly failing; or show one document");
  documents->add_option("--dsn", dsn, "Connection string")->required();
  AddSelectionOptions(*documents, document_selection, " (default: in doubt and failing)");
  documents->add_option("--limit", document_limit, "At most N documents")
      ->check(CLI::PositiveNumber);
  documents->add_flag("--json", as_json, "Print JSON instead of a table");
  auto* show = documents->add_option(
      "--show", show_key, "Show everything stored about the document with this INTERACTIONKEY");
  for (const char* filter : {"--in-doubt", "--failing", "--employee", "--type", "--limit"}) {
    show->excludes(documents->get_option(filter));
  }

  DecisionOptions requeue_options;
  auto* requeue = AddDecisionCommand(
      app, "requeue",
      "The ERP did not book these documents: the next broker pass sends them again (pending "
      "documents in doubt or failing only)",
      requeue_options);
  DecisionOptions resolve_options;
  auto* resolve = AddDecisionCommand(
      app, "resolve", "The ERP booked these pending documents: mark them processed (status 10)",
      resolve_options);
  resolve->add_flag("--done", resolve_options.done, "The ERP booked them")->required();

  auto* erp = app.add_subcommand("erp", "The reference ERP, and checking an ERP's components");
  erp->require_subcommand(1);
  const tqs::erp::AdminCommands reference_erp(*erp, ProgramFolder() / "TQSRemoteComponents.xml");
  const tqs::admin::erp_check::ErpCheckCommand erp_check(*erp);

  const tqs::admin::MaintenanceCommands maintenance(app);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int status = app.exit(error);
    // The check's callers (scripts, CI) tell wrong arguments from failed scenarios by status 2.
    return erp_check.Named() && status != 0 ? tqs::admin::erp_check::kExitBadArguments : status;
  }
  if (erp_check.Named()) return erp_check.Run(std::cout, std::cerr);

  try {
    if (maintenance.Chosen()) {
      return maintenance.Run(std::cout, std::cerr);
    } else if (init_db->parsed()) {
      std::cout << tqs::admin::InitializeDatabase(dsn) << "\n";
    } else if (install->parsed()) {
      if (!install_dsn.empty()) install_options.dsn = install_dsn;
      install_options.programs_folder = ProgramFolder();
      tqs::admin::Install(install_options,
                          [](std::string_view line) { std::cout << line << "\n"; });
      std::cout << "Installation ready in "
                << std::filesystem::absolute(install_options.directory).string() << "\n";
    } else if (upgrade->parsed()) {
      tqs::admin::Upgrade(upgrade_directory, ProgramFolder(),
                          [](std::string_view line) { std::cout << line << "\n"; });
      std::cout << "Installation up to date in "
                << std::filesystem::absolute(upgrade_directory).string() << "\n";
    } else if (console_secret->parsed()) {
      std::optional<std::string> secret;
      if (!console_off) secret = ReadSecret();
      std::cout << tqs::admin::SetConsoleSecret(console_directory, secret) << "\n";
    } else if (users.parsed()) {
      users.Run();
    } else if (status->parsed()) {
      auto connection = tqs::db::Connection::Open(dsn);
      const tqs::server::QueueHealth health = tqs::server::ReadQueueHealth(*connection);
      std::cout << (as_json ? Dump(tqs::server::ToJson(health)) + "\n"
                            : tqs::server::FormatQueueHealth(health));
    } else if (documents->parsed()) {
      auto connection = tqs::db::Connection::Open(dsn);
      if (show_key) {
        const auto document = tqs::server::ReadDocument(*connection, *show_key);
        if (!document) {
          throw tqs::Error(tqs::error_number::kNoCurrentRecord,
                           "No document has INTERACTIONKEY " + std::to_string(*show_key));
        }
        std::cout << (as_json ? Dump(tqs::server::ToJson(*document)) + "\n"
                              : tqs::server::FormatDocumentDetail(*document));
      } else {
        const auto rows =
            tqs::server::ListPendingDocuments(*connection, document_selection, document_limit);
        if (as_json) {
          nlohmann::json list = nlohmann::json::array();
          for (const auto& row : rows) list.push_back(tqs::server::ToJson(row));
          std::cout << Dump(list) << "\n";
        } else {
          std::cout << tqs::server::FormatDocumentList(rows);
        }
      }
    } else if (requeue->parsed()) {
      return RunDecision(tqs::server::Decision::kRequeue, requeue_options);
    } else if (resolve->parsed()) {
      return RunDecision(tqs::server::Decision::kResolveDone, resolve_options);
    } else if (reference_erp.Chosen()) {
      reference_erp.Run(std::cout);
    } else if (add_user->parsed()) {
      tqs::admin::AddUser(dsn, login, employee, bus_component);
      std::cout << "User " << login << " added (employee " << employee << ").\n";
    }
  } catch (const tqs::Error& error) {
    std::cerr << "TQSRemoteAdmin: " << error.description() << " (error " << error.number() << ")\n";
    return 1;
  } catch (const std::exception& error) {
    std::cerr << "TQSRemoteAdmin: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
