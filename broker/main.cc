// TQSRemoteBroker: feeds the business documents that laptops uploaded to the server database
// into the ERP and stores each outcome for the laptop's next synchronisation. Started from the
// bin folder of an installation (by an operator or a scheduler); reads only the configuration
// chain and the PARAMETERS table. See broker/console.h for the commands and exit status;
// --once makes one pass whatever PARAMETERS ProcessToKorvo says (for schedulers).
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <exception>
#include <filesystem>
#include <iostream>

#include "broker/broker.h"
#include "broker/console.h"
#include "broker/text_editor.h"
#include "common/conversions.h"
#include "common/date_time.h"
#include "common/version.h"
#include "platform/automation/component_registry.h"

namespace {

constexpr const char* kComponentRegistryFile = "TQSRemoteComponents.xml";

constexpr const char* kUsage = R"(
Start it in the bin folder of an installation (TQSRemoteAdmin install DIR; cd DIR/bin). The
working directory decides what it reads and writes:
  ..\Configuration.xml                          DEFAULTS / WebRelativePath
  <WebRelativePath>\config\VarnexConfiguration.xml  CONNECTIONS / VarnexConnection_ConnectionString
  CriticalErrorlog.txt                          the error log (appended)
The component registry TQSRemoteComponents.xml beside the program says which library serves
the ERP components.

PARAMETERS row ProcessToKorvo = "Auto": one pass over the pending documents, its progress
printed, then the program ends. Any other value: manual mode, one command per line:
  p  Process       c  Close       l  Open VXR Log ($VISUAL, $EDITOR, else a pager)
The end of the input closes. With --once the program makes one pass whatever ProcessToKorvo
says and reads no commands: start it so from a timer or scheduler.

One pass at a time: a pass started while another broker's pass works on the same server
database reports this and touches no row. BROKER / Workers (1 to 64, default 1) in the product
configuration lets a pass hand that many documents of different employees to the ERP at once;
on PostgreSQL brokers with several workers may run side by side. A component registered with
threads="single" keeps the broker on one worker.

Each document reaches the ERP at most once: its attempt is recorded before the ERP call. A
document whose outcome could not be stored is in doubt; a component registered with
idempotencyKeys="true" gets it again with the same key, any other waits for an operator
(TQSRemoteAdmin documents --in-doubt, requeue, resolve --done).

Exit status: 0 when the run ended as planned; 1 when the configuration could not be read,
start-up or a pass failed, a pass stopped early or left a document in doubt (see
CriticalErrorlog.txt); 2 on wrong arguments. With --once also: 3 when the server database
could not be opened, 4 when another pass was running (the pass did not start; no document was
touched).)";

std::filesystem::path ProgramFolder() {
  std::error_code ignored;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ignored);
  return self.empty() ? std::filesystem::current_path() : self.parent_path();
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"TQSRemoteBroker: feeds the documents uploaded by the laptops into the ERP",
               "TQSRemoteBroker"};
  app.footer(kUsage);
  app.set_version_flag("--version", tqs::VersionText("TQSRemoteBroker"));
  bool once = false;
  app.add_flag("--once", once,
               "Make one unattended pass whatever PARAMETERS ProcessToKorvo says, then end");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int status = app.exit(error);
    return status == 0 ? 0 : 2;
  }

  try {
    tqs::automation::ComponentRegistry components;
    const std::filesystem::path registry_file = ProgramFolder() / kComponentRegistryFile;
    if (std::filesystem::exists(registry_file)) components.LoadFile(registry_file);

    const auto editor = tqs::broker::NewTerminalTextEditor();
    tqs::broker::Broker broker(tqs::broker::BrokerEnvironment{
        .working_directory = std::filesystem::current_path(),
        .clock = tqs::Clock::System(),
        .regional_settings = tqs::RegionalSettings::Current(),
        .components = components,
        .editor = *editor,
        .start_mode =
            once ? tqs::broker::StartMode::kOnce : tqs::broker::StartMode::kAsParametersSay,
    });
    const bool terminal = ::isatty(STDIN_FILENO) && ::isatty(STDOUT_FILENO);
    const int status = once ? tqs::broker::RunOnce(broker, std::cout)
                            : tqs::broker::RunConsole(broker, std::cin, std::cout, terminal);
    if (broker.window().lifecycle == tqs::broker::Lifecycle::kEnded) {
      std::cerr << "TQSRemoteBroker: the configuration could not be read from "
                << std::filesystem::current_path().string() << "; the reason is in "
                << broker.window().m_sErrorLogFile << "\n";
    }
    return status;
  } catch (const std::exception& error) {
    // A component registry that cannot be read.
    std::cout.flush();
    std::cerr << "TQSRemoteBroker: " << error.what() << "\n";
    return tqs::broker::kExitFailure;
  }
}
