#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <pugixml.hpp>
#include <sstream>

#include "admin/installation.h"
#include "admin/users.h"
#include "common/error.h"
#include "erp/store.h"
#include "platform/db/recordset.h"
#include "server/schema/schema_version.h"
#include "server/user_defaults.h"
#include "tests/server/server_database_fixture.h"
#include "tests/support/error_testing.h"
#include "tests/support/temp_dir.h"

namespace tqs::admin {
namespace {

namespace fs = std::filesystem;
using test_support::ErrorDescriptionOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Schema versions, on each backend.
class SchemaVersionTest : public testing::ServerDatabaseTest {
 protected:
  // Makes the test's database what programs of before versions were recorded left: no
  // SCHEMAVERSION table, no USERDEFAULTS.DISABLED.
  void MakeVersionOne() {
    auto connection = Connect();
    connection->Execute("DROP TABLE SCHEMAVERSION");
    connection->Execute("ALTER TABLE USERDEFAULTS DROP COLUMN DISABLED");
    connection->Execute(
        "INSERT INTO USERDEFAULTS (LOGN, EMNO, BUSCOMPONENT, LASTJSID) VALUES ('old', 'E1', "
        "'BC1', 41)");
  }
};

TQS_INSTANTIATE_FOR_BACKENDS(SchemaVersionTest);

TEST_P(SchemaVersionTest, NewDatabaseIsAtTheProgramsVersion) {
  auto connection = Connect();
  EXPECT_EQ(server::ReadSchemaVersion(*connection), server::kServerSchemaVersion);
  const server::SchemaUpgrade again = server::UpgradeServerSchema(*connection);
  EXPECT_TRUE(again.migrations.empty());
  EXPECT_EQ(server::DescribeSchemaUpgrade(again), "Server database schema version 2 (unchanged)");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM SCHEMAVERSION"), "1");
}

TEST_P(SchemaVersionTest, DatabaseWithoutVersionIsVersionOneAndIsMigratedOnce) {
  MakeVersionOne();
  auto connection = Connect();
  EXPECT_EQ(server::ReadSchemaVersion(*connection), 1);
  // Programs of this version need the migration first.
  EXPECT_THAT(ErrorDescriptionOf([&] { ListUsers(*connection); }), HasSubstr("schema version 1"));
  // A login is refused with the same advice, not with the provider's message about a column.
  EXPECT_EQ(ErrorDescriptionOf([&] { server::LookUpLogin(*connection, "old"); }),
            "The server database is at schema version 1, made before logins could be disabled; "
            "bring it up to date first with \"TQSRemoteAdmin upgrade DIR\" (or \"TQSRemoteAdmin "
            "init-db --dsn ...\")");

  const server::SchemaUpgrade upgrade = server::UpgradeServerSchema(*connection);
  EXPECT_EQ(upgrade.from_version, 1);
  EXPECT_EQ(upgrade.to_version, 2);
  EXPECT_THAT(upgrade.migrations, ElementsAre(HasSubstr("USERDEFAULTS.DISABLED")));
  EXPECT_THAT(server::DescribeSchemaUpgrade(upgrade), HasSubstr("version 2 (was 1; applied: "));
  EXPECT_EQ(server::ReadSchemaVersion(*connection), 2);
  EXPECT_EQ(Scalar("SELECT DESCRIPTION FROM SCHEMAVERSION WHERE VERSION = 2"),
            "USERDEFAULTS.DISABLED (logins can be disabled)");
  // The user of before is kept, enabled, with its numbers.
  EXPECT_EQ(Scalar("SELECT LASTJSID FROM USERDEFAULTS WHERE LOGN = 'old'"), "41");
  EXPECT_EQ(server::LookUpLogin(*connection, "old").employee, "E1");
  EXPECT_TRUE(SetUserDisabled(*connection, "old", true, "op"));

  // Again: nothing to do, nothing recorded twice.
  EXPECT_TRUE(server::UpgradeServerSchema(*connection).migrations.empty());
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM SCHEMAVERSION"), "1");
}

// A migration whose change was made but whose version row was not (as on a new database, whose
// script creates the current shape) is recorded without failing.
TEST_P(SchemaVersionTest, MigrationMeetingItsChangeMadeOnlyRecordsTheVersion) {
  Connect()->Execute("DELETE FROM SCHEMAVERSION");
  auto connection = Connect();
  EXPECT_EQ(server::ReadSchemaVersion(*connection), 1);
  EXPECT_EQ(server::UpgradeServerSchema(*connection).migrations.size(), 1u);
  EXPECT_EQ(server::ReadSchemaVersion(*connection), 2);
}

TEST_P(SchemaVersionTest, NewerDatabaseIsRefusedUntouched) {
  auto connection = Connect();
  connection->Execute("INSERT INTO SCHEMAVERSION (VERSION, DESCRIPTION) VALUES (3, 'later')");
  connection->Execute("DELETE FROM I18NText WHERE LABEL = 'SLKRU0503'");
  const std::string refusal = ErrorDescriptionOf([&] { server::UpgradeServerSchema(*connection); });
  EXPECT_THAT(refusal, HasSubstr("schema version 3, newer than the version these programs know "
                                 "(2)"));
  EXPECT_THAT(refusal, HasSubstr("Nothing was changed"));
  EXPECT_THAT(ErrorDescriptionOf([&] { InitializeDatabase(dsn_); }), HasSubstr("version 3"));
  // The missing default text was not added back: nothing ran.
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM I18NText WHERE LABEL = 'SLKRU0503'"), "0");
  EXPECT_EQ(Scalar("SELECT MAX(VERSION) FROM SCHEMAVERSION"), "3");
}

// Installations in a folder, with the server database in it (SQLite).
class UpgradeTest : public ::testing::Test {
 protected:
  using ProgressFn = std::function<void(std::string_view)>;

  void SetUp() override {
    fs::create_directories(programs_);
    WriteFile(programs_ / "TQSRemoteBroker", "program 1");
    options_.directory = dir_;
    options_.programs_folder = programs_;
  }

  static void WriteFile(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
  }
  static std::string ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  fs::path ProductConfiguration() const {
    return dir_ / "web" / "config" / "VarnexConfiguration.xml";
  }
  std::string HostSetting(const char* key) const {
    pugi::xml_document document;
    EXPECT_TRUE(document.load_file(ProductConfiguration().c_str()));
    return document.document_element()
        .child("SERVERHOST")
        .find_child_by_attribute("add", "key", key)
        .attribute("value")
        .value();
  }
  // Sets SERVERHOST entries as an operator would, with a comment of their own.
  void EditHostSettings() const {
    pugi::xml_document document;
    ASSERT_TRUE(document.load_file(ProductConfiguration().c_str()));
    pugi::xml_node host = document.document_element().child("SERVERHOST");
    host.find_child_by_attribute("add", "key", "Listen").attribute("value") = "0.0.0.0:9090";
    pugi::xml_node threads = host.append_child("add");
    threads.append_attribute("key") = "WorkerThreads";
    threads.append_attribute("value") = "32";
    host.append_child(pugi::node_comment).set_value(" opened for the web tier, ticket 4711 ");
    ASSERT_TRUE(document.save_file(ProductConfiguration().c_str()));
  }
  std::string dsn() const {
    return "Provider=SQLite;Data Source=" + (dir_ / "data" / "server.db").string();
  }
  std::vector<std::string> Logins() const {
    auto connection = db::Connection::Open(dsn());
    std::vector<std::string> logins;
    for (const User& user : ListUsers(*connection)) logins.push_back(user.login);
    return logins;
  }
  std::string Scalar(const std::string& sql) const {
    auto connection = db::Connection::Open(dsn());
    auto rs = db::Recordset::Open(sql, *connection);
    return rs->Field(0).AsText();
  }
  std::vector<std::string> Run(const std::function<void(const ProgressFn&)>& step) {
    std::vector<std::string> lines;
    step([&](std::string_view line) { lines.emplace_back(line); });
    return lines;
  }

  const ProgressFn quiet_ = [](std::string_view) {};
  test_support::ScopedTempDir root_;
  const fs::path dir_ = root_.path() / "tqs";
  const fs::path programs_ = root_.path() / "build";
  InstallOptions options_;
};

TEST_F(UpgradeTest, ProductionInstallHasNoUsersOrOrdersAndTheDemoHasThem) {
  Install(options_, [](std::string_view) {});
  EXPECT_TRUE(Logins().empty());
  EXPECT_EQ(erp::Store::Open(dir_ / "erp" / "erp.db")->CountServiceOrders(), 0);
  EXPECT_FALSE(fs::exists(dir_ / "erp" / "demo-orders.xml"));
  EXPECT_TRUE(fs::exists(dir_ / "bin" / "TQSRemoteComponents.xml"));
  EXPECT_EQ(HostSetting("SharedSecret").size(), 32u);

  options_.directory = root_.path() / "demo";
  options_.demo = true;
  Install(options_, [](std::string_view) {});
  auto connection = db::Connection::Open("Provider=SQLite;Data Source=" +
                                         (options_.directory / "data" / "server.db").string());
  std::vector<std::string> logins;
  for (const User& user : ListUsers(*connection)) logins.push_back(user.login);
  EXPECT_THAT(logins, ElementsAre("ada", "bram", "carla"));
  EXPECT_EQ(erp::Store::Open(options_.directory / "erp" / "erp.db")->CountServiceOrders(), 6);
}

// The operator's settings, components file and users survive an upgrade and an install
// --overwrite alike; the programs are replaced.
TEST_F(UpgradeTest, UpgradeAndOverwriteKeepEveryLocalSetting) {
  options_.demo = true;
  Install(options_, [](std::string_view) {});
  const std::string secret = HostSetting("SharedSecret");
  EditHostSettings();
  const std::string components =
      "<components><component prefix=\"Q72dVXRsvordJobSheets.\" library=\"libOurErp.so\"/>"
      "</components>\n";
  WriteFile(dir_ / "bin" / "TQSRemoteComponents.xml", components);
  AddUser(dsn(), "jdoe", "1001", "SERVICE01");
  {
    auto connection = db::Connection::Open(dsn());
    RemoveUser(*connection, "bram", false, "op");
  }
  WriteFile(programs_ / "TQSRemoteBroker", "program 2");

  const std::vector<std::string> lines =
      Run([&](const ProgressFn& progress) { Upgrade(dir_, programs_, progress); });
  EXPECT_THAT(lines.front(), HasSubstr("schema version 2 (unchanged)"));
  const auto check_kept = [&](const char* after) {
    SCOPED_TRACE(after);
    EXPECT_EQ(HostSetting("Listen"), "0.0.0.0:9090");
    EXPECT_EQ(HostSetting("WorkerThreads"), "32");
    EXPECT_EQ(HostSetting("SharedSecret"), secret);
    EXPECT_THAT(ReadFile(ProductConfiguration()), HasSubstr("ticket 4711"));
    EXPECT_EQ(ReadFile(dir_ / "bin" / "TQSRemoteComponents.xml"), components);
    EXPECT_THAT(Logins(), ElementsAre("ada", "carla", "jdoe"));
    EXPECT_EQ(Scalar("SELECT EMNO FROM USERDEFAULTS WHERE LOGN = 'jdoe'"), "1001");
    EXPECT_EQ(fs::status(ProductConfiguration()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
  };
  check_kept("upgrade");
  EXPECT_EQ(ReadFile(dir_ / "bin" / "TQSRemoteBroker"), "program 2");

  WriteFile(programs_ / "TQSRemoteBroker", "program 3");
  options_.overwrite = true;
  options_.demo = false;
  Install(options_, [](std::string_view) {});
  check_kept("install --overwrite");
  EXPECT_EQ(ReadFile(dir_ / "bin" / "TQSRemoteBroker"), "program 3");
}

TEST_F(UpgradeTest, UpgradeOfAVersionOneInstallationMigratesItsDatabase) {
  Install(options_, [](std::string_view) {});
  {
    auto connection = db::Connection::Open(dsn());
    connection->Execute("DROP TABLE SCHEMAVERSION");
    connection->Execute("ALTER TABLE USERDEFAULTS DROP COLUMN DISABLED");
  }
  const std::vector<std::string> lines =
      Run([&](const ProgressFn& progress) { Upgrade(dir_, programs_, progress); });
  EXPECT_THAT(lines.front(), HasSubstr("schema version 2 (was 1; applied: USERDEFAULTS.DISABLED"));
  EXPECT_EQ(Scalar("SELECT MAX(VERSION) FROM SCHEMAVERSION"), "2");
}

TEST_F(UpgradeTest, RefusalsChangeNothing) {
  // A folder that is not an installation.
  fs::create_directories(root_.path() / "other");
  WriteFile(root_.path() / "other" / "notes.txt", "x");
  EXPECT_THAT(ErrorDescriptionOf([&] { Upgrade(root_.path() / "other", programs_, quiet_); }),
              HasSubstr("is not a TQSRemote installation"));
  EXPECT_FALSE(fs::exists(root_.path() / "other" / "bin"));
  EXPECT_FALSE(fs::exists(root_.path() / "other" / "data"));

  // A database of a newer version: neither the programs nor the files change.
  Install(options_, [](std::string_view) {});
  db::Connection::Open(dsn())->Execute(
      "INSERT INTO SCHEMAVERSION (VERSION, DESCRIPTION) VALUES (99, 'later')");
  WriteFile(programs_ / "TQSRemoteBroker", "program 2");
  fs::remove(dir_ / "bin" / "TQSRemoteComponents.xml");
  EXPECT_THAT(ErrorDescriptionOf([&] { Upgrade(dir_, programs_, quiet_); }),
              HasSubstr("schema version 99"));
  options_.overwrite = true;
  EXPECT_THAT(ErrorDescriptionOf([&] { Install(options_, quiet_); }),
              HasSubstr("schema version 99"));
  EXPECT_EQ(ReadFile(dir_ / "bin" / "TQSRemoteBroker"), "program 1");
  EXPECT_FALSE(fs::exists(dir_ / "bin" / "TQSRemoteComponents.xml"));

  // A lost database is not replaced by an empty one.
  fs::remove(dir_ / "data" / "server.db");
  EXPECT_THAT(ErrorDescriptionOf([&] { Upgrade(dir_, programs_, quiet_); }),
              HasSubstr("server.db does not exist; nothing was changed"));
  EXPECT_FALSE(fs::exists(dir_ / "data" / "server.db"));
}

}  // namespace
}  // namespace tqs::admin
