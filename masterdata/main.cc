// TQSRemoteCreateMasterData: creates the client master data of every service centre from the
// template database ClientDatabase.mdb and the transfer description MasterDataTransfer.Xml in
// the program's folder, and packs each centre's database as a self-extracting archive below
// the installation's master data folder. The run log MasterDataLog.log is written to the
// current directory.
//   TQSRemoteCreateMasterData                       interactive window on the terminal
//   TQSRemoteCreateMasterData --run [--recreate]    one run, then exit (0 done, 1 stopped,
//                                                   2 centres skipped, 3 another run going on)
#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>

#include "common/version.h"
#include "masterdata/console_front_end.h"
#include "masterdata/heap_tuning.h"
#include "masterdata/main_window.h"
#include "masterdata/master_data_creator.h"
#include "platform/archive/archiver.h"

namespace {

std::filesystem::path ProgramFolder() {
  std::error_code ignored;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ignored);
  return self.empty() ? std::filesystem::current_path() : self.parent_path();
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"TQSRemoteCreateMasterData: client master data per service centre"};
  bool run = false;
  bool recreate = false;
  app.add_flag("--run", run, "Create the master data once and exit (no window)");
  app.add_flag("--recreate", recreate,
               "Tick \"Recreate Master Data\": create again when the output exists");
  app.set_version_flag("--version", tqs::VersionText("TQSRemoteCreateMasterData"));
  app.footer(
      "Exit status of --run: 0 when the run finished, or ended because the output exists or "
      "no service centre is listed; 1 when it stopped on an error (the log says which); 2 when "
      "it finished but skipped service centres whose company or centre name cannot name a file "
      "(a path separator, only dots, empty, a control character, too long, or the same as "
      "another centre's but for letter case; the log names them); 3 when another run of this "
      "installation was in progress, so this one did not start.");
  CLI11_PARSE(app, argc, argv);

  using namespace tqs::masterdata;
  KeepFreedHeapForReuse();
  MainWindow window;
  window.SetRecreateMasterData(recreate);
  ConsoleFrontEnd front_end(std::cout, std::cerr);
  window.SetObserver(&front_end);
  auto archiver = tqs::archive::NewBuiltInArchiver();
  CreatorEnvironment environment;
  environment.application_folder = ProgramFolder().string();
  environment.working_folder = std::filesystem::current_path();
  MasterDataCreator creator(window, *archiver, front_end, std::move(environment));

  const int status =
      run ? front_end.RunOnce(creator) : front_end.RunInteractive(creator, window, std::cin);
  window.SetObserver(nullptr);
  return status;
}
