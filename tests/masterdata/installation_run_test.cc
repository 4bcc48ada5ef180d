// End to end: an installation laid out by the installer runs the program as an operator would
// (cd DIR/bin && ./TQSRemoteCreateMasterData --run), and each centre's archive, unpacked with
// /bin/sh, holds that centre's rows.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "admin/installation.h"
#include "masterdata/run_lock.h"
#include "tests/masterdata/masterdata_fixture.h"
#include "tests/support/temp_dir.h"

namespace tqs::masterdata {
namespace {

namespace fs = std::filesystem;
using testing::ClientRows;
using ::testing::ElementsAre;
using testing::FileLines;
using ::testing::HasSubstr;
using testing::LabelText;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

// Runs `command` with /bin/sh in `folder`; standard output and error go to files there.
int Shell(const fs::path& folder, const std::string& command) {
  const std::string line =
      "cd \"" + folder.string() + "\" && " + command + " >stdout.txt 2>stderr.txt";
  const int status = std::system(line.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(InstallationRunTest, InstalledProgramCreatesArchivesThatUnpackToTheCentresRows) {
  test_support::ScopedTempDir root;
  const fs::path dir = root.path() / "inst";
  admin::InstallOptions options;
  options.directory = dir;
  options.programs_folder = TQS_PROGRAM_FOLDER;
  admin::Install(options, [](std::string_view) {});
  const fs::path bin = dir / "bin";
  const fs::path master_data = dir / "web" / "Varnex" / "EndUser" / "MasterData";
  ASSERT_TRUE(fs::exists(bin / "TQSRemoteCreateMasterData"));
  ASSERT_TRUE(fs::exists(bin / "ClientDatabase.mdb"));
  ASSERT_TRUE(fs::exists(bin / "MasterDataTransfer.Xml"));

  ASSERT_EQ(Shell(bin, "./TQSRemoteCreateMasterData --run"), 0) << ReadAll(bin / "stderr.txt");
  const std::vector<std::string> log = FileLines(bin / "MasterDataLog.log");
  ASSERT_FALSE(log.empty());
  EXPECT_THAT(log.front(), HasSubstr(" -- " + LabelText("SLKRU0471") + "\""));
  EXPECT_THAT(log.back(), HasSubstr(" -- " + LabelText("SLKRU1029") + "\""));
  // Every line of the status list was printed as it was logged.
  EXPECT_THAT(
      ReadAll(bin / "stdout.txt"),
      HasSubstr(LabelText("SLKRU1028").replace(LabelText("SLKRU1028").find("%1"), 2, "SOUTH") +
                "\n" + LabelText("SLKRU0494") + "\n"));

  const struct {
    const char* company;
    const char* centre;
    std::vector<std::string> employees;
  } centres[] = {
      {"100", "NORTH", {"E001", "E002"}}, {"100", "SOUTH", {"E003"}}, {"200", "WEST", {"E004"}}};
  for (const auto& c : centres) {
    const fs::path unpacked = root.path() / "laptop" / c.centre;
    fs::create_directories(unpacked);
    const fs::path archive = master_data / c.company / (std::string(c.centre) + ".exe");
    ASSERT_EQ(Shell(unpacked, "/bin/sh \"" + archive.string() + "\""), 0) << c.centre;
    const fs::path database = unpacked / (std::string(c.centre) + ".mdb");
    EXPECT_EQ(ClientRows(database, "SELECT EMNO FROM EMPLOYEES ORDER BY 1"), c.employees);
    EXPECT_THAT(ClientRows(database, "SELECT CWOC FROM SERVICECENTERS"), ElementsAre(c.centre));
    EXPECT_EQ(ClientRows(database, "SELECT DISTINCT CWOC FROM CUSTOMERS"),
              std::vector<std::string>{c.centre});
  }

  // A second run without recreating changes nothing and ends after the "exists" message.
  const std::string north = ReadAll(master_data / "100" / "NORTH.exe");
  ASSERT_EQ(Shell(bin, "./TQSRemoteCreateMasterData --run"), 0);
  EXPECT_THAT(FileLines(bin / "MasterDataLog.log").back(),
              HasSubstr(" -- " + LabelText("SLKRU1037") + "\""));
  EXPECT_EQ(ReadAll(master_data / "100" / "NORTH.exe"), north);

  // A statement that fails stops a scripted run with a non-zero status and the reason.
  std::ofstream(bin / "MasterDataTransfer.Xml", std::ios::trunc)
      << "<MasterData><TABLE condition='yes' source='ITEMS'>"
         "<ConditionSQL type='DELETE'>DELETE FROM ITEMZ</ConditionSQL></TABLE></MasterData>";
  EXPECT_EQ(Shell(bin, "./TQSRemoteCreateMasterData --run --recreate"), 1);
  EXPECT_THAT(ReadAll(bin / "stderr.txt"), HasSubstr("no such table: ITEMZ"));
  EXPECT_THAT(FileLines(bin / "MasterDataLog.log").back(), HasSubstr("Run-time error"));

  // While another process (this test) runs on the installation, the program does not start and
  // leaves that run's log alone.
  const std::string running_log = ReadAll(bin / "MasterDataLog.log");
  auto running = TryAcquireRunLock(bin.string());
  ASSERT_NE(running, nullptr);
  EXPECT_EQ(Shell(bin, "./TQSRemoteCreateMasterData --run --recreate"), 3);
  EXPECT_EQ(ReadAll(bin / "stderr.txt"),
            "TQSRemoteCreateMasterData: Another master data run is in progress (process " +
                std::to_string(::getpid()) + "); this run did not start.\n");
  EXPECT_EQ(ReadAll(bin / "MasterDataLog.log"), running_log);
  running.reset();

  // An APPEND statement that is not a query is refused: the template keeps its rows.
  const std::vector<std::string> customers =
      ClientRows(bin / "ClientDatabase.mdb", "SELECT * FROM CUSTOMERS ORDER BY CUNO");
  ASSERT_FALSE(customers.empty());
  std::ofstream(bin / "MasterDataTransfer.Xml", std::ios::trunc)
      << "<MasterData><TABLE condition='yes' source='CUSTOMERS'>"
         "<ConditionSQL type='APPEND'>DELETE FROM CUSTOMERS</ConditionSQL></TABLE></MasterData>";
  EXPECT_EQ(Shell(bin, "./TQSRemoteCreateMasterData --run --recreate"), 1);
  EXPECT_THAT(ReadAll(bin / "stderr.txt"),
              HasSubstr("(APPEND of table CUSTOMERS for service centre NORTH: DELETE FROM "
                        "CUSTOMERS)"));
  EXPECT_THAT(FileLines(bin / "MasterDataLog.log").back(), HasSubstr("refused"));
  EXPECT_EQ(ClientRows(bin / "ClientDatabase.mdb", "SELECT * FROM CUSTOMERS ORDER BY CUNO"),
            customers);
}

}  // namespace
}  // namespace tqs::masterdata
