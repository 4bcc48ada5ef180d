// TQSRemoteServerHost: calls the JobSheet class from the command line, as a web tier would.
//   TQSRemoteServerHost call METHOD [--components FILE] < request.json
//   TQSRemoteServerHost serve
// `call`: the request is a JSON object keyed by the method's parameter names; the answer, printed
// on standard output, holds "result" and the in/out parameters, or "error" with number and
// description (exit status 1). `serve`: the HTTP host of the installation the program lives in
// (its settings: server/host/host_settings.h); SIGTERM or SIGINT stop it gracefully: no new
// connections, the requests in progress finish within the grace period, then it exits 0. Run as
// a systemd service of Type=notify, it reports READY=1 once it accepts connections and
// STOPPING=1 when a stop begins (server/host/service_notification.h).
// `TQSRemoteServerHost --help` lists the methods.
#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <string>
#include <thread>

#include "common/error.h"
#include "common/text.h"
#include "common/version.h"
#include "server/host/host_settings.h"
#include "server/host/http_server.h"
#include "server/host/memory_reuse.h"
#include "server/host/method_table.h"
#include "server/host/service_notification.h"
#include "server/jobsheet.h"

namespace {

namespace fs = std::filesystem;
using tqs::server::host::Direction;
using tqs::server::host::NotifyReady;
using tqs::server::host::NotifyStopping;

std::string MethodList() {
  std::string text = "Methods (parameters: in, or in/out):\n";
  for (const auto& method : tqs::server::host::Methods()) {
    text += "  " + method.name + ": " + method.summary + "\n";
    for (const auto& parameter : method.parameters) {
      text += "      " + parameter.name +
              (parameter.direction == Direction::kIn ? "  (in)      " : "  (in/out)  ") +
              parameter.meaning + "\n";
    }
  }
  return text;
}

// Serves until SIGTERM or SIGINT. The signals are blocked in every thread and taken by one
// waiting thread, which stops the server: requests in progress finish, no new ones are taken.
int Serve(const fs::path& program_folder, const fs::path& components_file) {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  tqs::server::host::KeepFreedMemoryForReuse();
  const tqs::server::host::HostSettings settings =
      tqs::server::host::ReadHostSettings(program_folder);
  tqs::automation::ComponentRegistry components;
  if (fs::exists(components_file)) components.LoadFile(components_file);
  tqs::server::host::HttpServer server(settings, components);
  const int port = server.Bind();
  std::thread stopper([&] {
    int signal = 0;
    sigwait(&signals, &signal);
    NotifyStopping();
    std::cerr << "TQSRemoteServerHost: stopping after the requests in progress (at most "
              << settings.shutdown_grace.count() << " s)\n";
    server.Stop();
  });
  const std::string serving = "serving JobSheet on http://" + settings.listen_host + ":" +
                              std::to_string(port) + " with " +
                              std::to_string(settings.worker_threads) + " worker threads";
  std::cerr << "TQSRemoteServerHost: " << serving << "\n";
  const bool finished = server.Serve([&] { NotifyReady(serving); });
  pthread_kill(stopper.native_handle(), SIGTERM);  // wakes the waiting thread after a failure
  stopper.join();
  if (!finished) {
    // Calls still running on workers were given up: the process ends without waiting for them
    // (the database rolls back what they had not committed).
    std::cerr << "TQSRemoteServerHost: stopped; calls still running after the grace period "
                 "were cut short\n";
    std::cerr.flush();
    std::_Exit(0);
  }
  return 0;
}

fs::path ProgramFolder() {
  std::error_code ignored;
  const fs::path self = fs::read_symlink("/proc/self/exe", ignored);
  return self.empty() ? fs::current_path() : self.parent_path();
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"TQSRemoteServerHost: calls the JobSheet class with JSON requests"};
  app.footer(MethodList());
  app.set_version_flag("--version", tqs::VersionText("TQSRemoteServerHost"));
  app.require_subcommand(1);
  std::string method_name;
  fs::path components_file = ProgramFolder() / "TQSRemoteComponents.xml";
  auto* call = app.add_subcommand("call", "Call METHOD with the JSON request read from standard input");
  call->add_option("method", method_name, "Method name")->required();
  call->add_option("--components", components_file,
                   "Component registry file (default: TQSRemoteComponents.xml beside the program)");
  auto* serve = app.add_subcommand("serve", "Serve JobSheet over HTTP for the installation");
  serve->add_option("--components", components_file, "Component registry file");
  CLI11_PARSE(app, argc, argv);

  if (serve->parsed()) {
    try {
      return Serve(ProgramFolder(), components_file);
    } catch (const std::exception& error) {
      std::cerr << "TQSRemoteServerHost: " << error.what() << "\n";
      return 1;
    }
  }

  const auto* method = tqs::server::host::FindMethod(method_name);
  if (method == nullptr) {
    std::cerr << "TQSRemoteServerHost: unknown method '" << tqs::Excerpt(method_name) << "'\n"
              << MethodList();
    return 2;
  }

  nlohmann::json response;
  try {
    const std::string input{std::istreambuf_iterator<char>(std::cin), {}};
    const nlohmann::json request = nlohmann::json::parse(input, nullptr, false);
    if (request.is_discarded()) {
      throw tqs::Error(tqs::error_number::kInvalidProcedureCall,
                       "The request on standard input is not valid JSON");
    }
    tqs::automation::ComponentRegistry components;
    if (fs::exists(components_file)) components.LoadFile(components_file);
    tqs::server::JobSheet job_sheet(components);
    response = tqs::server::host::Call(*method, job_sheet, request);
  } catch (const tqs::Error& error) {
    std::cout << tqs::server::host::JsonText(
                     tqs::server::host::ErrorResponse(error.number(), error.description()), 2)
              << "\n";
    return 1;
  } catch (const std::exception& error) {
    std::cout << tqs::server::host::JsonText(tqs::server::host::ErrorResponse(
                                                 tqs::error_number::kGenericFailure, error.what()),
                                             2)
              << "\n";
    return 1;
  }
  std::cout << tqs::server::host::JsonText(response, 2) << "\n";
  return 0;
}
