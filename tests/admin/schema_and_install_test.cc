#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <pugixml.hpp>

#include "admin/installation.h"
#include "admin/users.h"
#include "common/error.h"
#include "platform/db/recordset.h"
#include "server/schema/server_schema.h"
#include "tests/server/server_database_fixture.h"

namespace tqs::admin {
namespace {

namespace fs = std::filesystem;

using SchemaTest = testing::ServerDatabaseTest;

TQS_INSTANTIATE_FOR_BACKENDS(SchemaTest);

TEST_P(SchemaTest, BrokerLabelQueryFillsEighteenSlotsInCodeOrder) {
  auto connection = Connect();
  // The broker's own query, with the locale id placed unquoted.
  auto rs = db::Recordset::Open(
      "select LOCALEID, LABEL, TEXT from I18NText where LOCALEID = " +
          Scalar("select PARAMVALUE from PARAMETERS where PARAMNAME = 'DEFAULTLANGUAGE'") +
          " and LABEL BETWEEN 'SLKRU0500' and 'SLKRU0517' ORDER BY LABEL ",
      *connection, db::CursorType::kKeyset, db::LockType::kOptimistic);
  ASSERT_EQ(rs->RecordCount(), 18);
  for (int slot = 0; slot < 18; ++slot, rs->MoveNext()) {
    char code[16];
    std::snprintf(code, sizeof code, "SLKRU05%02d", slot);
    EXPECT_EQ(rs->Field("LABEL").AsText(), code);
    EXPECT_FALSE(rs->Field("TEXT").AsText().empty()) << code;
  }
  // The opening banner text ends with a blank: the date follows it directly.
  EXPECT_EQ(Scalar("SELECT TEXT FROM I18NText WHERE LABEL='SLKRU0505'").back(), ' ');
}

TEST_P(SchemaTest, DefaultParametersAndMasterDataLabels) {
  EXPECT_EQ(Scalar("select PARAMVALUE from PARAMETERS WHERE PARAMNAME = 'ProcessToKorvo'"), "Auto");
  EXPECT_EQ(Scalar("select PARAMVALUE from PARAMETERS where PARAMNAME = N'DefaultLanguage'"),
            "1033");
  // The master data program's label query quotes the locale id.
  EXPECT_EQ(Scalar("SELECT  COUNT(*) FROM i18nText WHERE  pagecontext='TQSRemoteCreateMasterData' "
                   "AND  localeid='1033'"),
            "18");
  EXPECT_EQ(
      Scalar("SELECT TEXT FROM I18NText WHERE LABEL='SLKRU1032'").find("%1") != std::string::npos,
      true);
}

TEST_P(SchemaTest, RunningAgainAddsOnlyWhatIsMissingAndKeepsEditedRows) {
  auto connection = Connect();
  connection->Execute("UPDATE I18NText SET TEXT='Fertig' WHERE LABEL='SLKRU0511'");
  connection->Execute("UPDATE PARAMETERS SET PARAMVALUE='Manual' WHERE PARAMNAME='ProcessToKorvo'");
  connection->Execute("DELETE FROM I18NText WHERE LABEL='SLKRU0503'");
  connection->Execute("INSERT INTO USERDEFAULTS (LOGN, EMNO) VALUES ('u', '1')");

  const server::SchemaReport report = server::CreateServerSchema(*connection);
  EXPECT_EQ(report.labels_added, 1);
  EXPECT_EQ(report.labels_present, static_cast<int>(server::DefaultLabels().size()) - 1);
  EXPECT_EQ(Scalar("SELECT TEXT FROM I18NText WHERE LABEL='SLKRU0511'"), "Fertig");
  EXPECT_EQ(Scalar("SELECT PARAMVALUE FROM PARAMETERS WHERE PARAMNAME='ProcessToKorvo'"), "Manual");
  // The three settings and the installation id.
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM PARAMETERS"), "4");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM I18NText"),
            std::to_string(server::DefaultLabels().size()));
  EXPECT_EQ(Scalar("SELECT EMNO FROM USERDEFAULTS"), "1");
}

TEST_P(SchemaTest, InstallsOntoTheGivenDatabaseAndKeepsItsRows) {
  AddUser(dsn_, "keep", "1", "BC");
  InstallOptions options;
  options.directory = folder_ / "installation";
  options.dsn = dsn_;
  options.programs_folder = folder_ / "no-programs";
  Install(options, [](std::string_view) {});
  pugi::xml_document config;
  ASSERT_TRUE(
      config.load_file((options.directory / "web" / "config" / "VarnexConfiguration.xml").c_str()));
  EXPECT_EQ(
      std::string(config.document_element()
                      .child("CONNECTIONS")
                      .find_child_by_attribute("add", "key", "VarnexConnection_ConnectionString")
                      .attribute("value")
                      .value()),
      dsn_);
  EXPECT_FALSE(fs::exists(options.directory / "data"));  // no embedded database laid out
  EXPECT_EQ(Scalar("SELECT EMNO FROM USERDEFAULTS WHERE LOGN = 'keep'"), "1");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM I18NText"),
            std::to_string(server::DefaultLabels().size()));
}

class InstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("tqs-install-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "build");
    std::ofstream(root_ / "build" / "TQSRemoteBroker") << "program";
    options_.directory = root_ / "x";
    options_.programs_folder = root_ / "build";
  }
  void TearDown() override { fs::remove_all(root_); }

  std::string ConfigValue(const fs::path& file, const char* section, const char* key) {
    pugi::xml_document document;
    EXPECT_TRUE(document.load_file(file.c_str())) << file;
    return document.document_element()
        .child(section)
        .find_child_by_attribute("add", "key", key)
        .attribute("value")
        .value();
  }

  fs::path root_;
  InstallOptions options_;
};

TEST_F(InstallTest, LaysOutAWorkingInstallation) {
  Install(options_, [](std::string_view) {});
  const fs::path dir = options_.directory;
  EXPECT_EQ(ConfigValue(dir / "Configuration.xml", "DEFAULTS", "WebRelativePath"), "..\\web");
  const std::string dsn = ConfigValue(dir / "web" / "config" / "VarnexConfiguration.xml",
                                      "CONNECTIONS", "VarnexConnection_ConnectionString");
  EXPECT_EQ(dsn, "Provider=SQLite;Data Source=" + (dir / "data" / "server.db").string());
  EXPECT_TRUE(fs::is_regular_file(dir / "bin" / "TQSRemoteBroker"));
  EXPECT_TRUE(fs::is_regular_file(dir / "bin" / "TQSRemoteComponents.xml"));
  EXPECT_TRUE(fs::is_directory(dir / "web" / "Varnex" / "EndUser" / "MasterData"));

  auto connection = db::Connection::Open(dsn);
  for (const char* table : {"CLIENTSERVERINTERACTION", "USERDEFAULTS", "PARAMETERS", "I18NText"}) {
    auto rs = db::Recordset::Open(std::string("SELECT COUNT(*) FROM ") + table, *connection);
    EXPECT_FALSE(rs->IsEOF()) << table;
  }
}

TEST_F(InstallTest, RefusesAFolderInUseAndKeepsTheDatabaseWhenOverwriting) {
  Install(options_, [](std::string_view) {});
  const std::string dsn =
      "Provider=SQLite;Data Source=" + (options_.directory / "data" / "server.db").string();
  AddUser(dsn, "keep", "1", "BC");

  EXPECT_THROW(Install(options_, [](std::string_view) {}), Error);

  options_.overwrite = true;
  Install(options_, [](std::string_view) {});
  auto connection = db::Connection::Open(dsn);
  auto rs = db::Recordset::Open("SELECT EMNO FROM USERDEFAULTS WHERE LOGN='keep'", *connection);
  ASSERT_FALSE(rs->IsEOF());
  EXPECT_EQ(rs->Field(0).AsText(), "1");
}

// The file with the secrets and the databases are the owner's alone whatever the umask, also
// after overwriting an installation that left them wider; other files keep what the umask gives.
TEST_F(InstallTest, SecretsAndDatabasesAreTheOwnersAloneWhateverTheUmask) {
  const auto mode = [](const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
  };
  const fs::path dir = options_.directory;
  const fs::path secrets = dir / "web" / "config" / "VarnexConfiguration.xml";
  const fs::path database = dir / "data" / "server.db";
  const fs::path erp_store = dir / "erp" / "erp.db";
  for (const mode_t umask : {mode_t{022}, mode_t{000}}) {
    if (options_.overwrite) {
      // As an older installation left them.
      for (const fs::path& file : {secrets, database, erp_store}) {
        fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write |
                                  fs::perms::group_read | fs::perms::others_read);
      }
      fs::permissions(dir / "data", fs::perms::all);
    }
    const mode_t saved = ::umask(umask);
    Install(options_, [](std::string_view) {});
    ::umask(saved);
    EXPECT_EQ(mode(secrets), 0600u) << std::oct << umask;
    EXPECT_EQ(mode(database), 0600u) << std::oct << umask;
    EXPECT_EQ(mode(erp_store), 0600u) << std::oct << umask;
    EXPECT_EQ(mode(dir / "data"), 0700u) << std::oct << umask;
    EXPECT_EQ(mode(dir / "erp"), 0700u) << std::oct << umask;
    if (umask == 022) {
      EXPECT_EQ(mode(dir / "Configuration.xml"), 0644u);
    }

    options_.overwrite = true;
  }
  // The secret written the first time is kept and still read.
  EXPECT_EQ(ConfigValue(secrets, "SERVERHOST", "SharedSecret").size(), 32u);

  // The journal files SQLite makes later take the database's mode, whatever the umask.
  const mode_t saved = ::umask(0);
  {
    auto connection = db::Connection::Open("Provider=SQLite;Data Source=" + database.string());
    connection->Execute("CREATE TABLE LATER (X integer)");
    EXPECT_EQ(mode(fs::path(database) += "-wal"), 0600u);
    EXPECT_EQ(mode(fs::path(database) += "-shm"), 0600u);
  }
  ::umask(saved);
}

TEST_F(InstallTest, UnusableDatabaseIsReportedWithTheProvidersMessage) {
  options_.dsn = "Provider=Oracle;Data Source=x";
  try {
    Install(options_, [](std::string_view) {});
    FAIL() << "an unknown provider must fail";
  } catch (const Error& error) {
    EXPECT_NE(error.description().find("Oracle"), std::string::npos) << error.description();
  }
}

}  // namespace
}  // namespace tqs::admin
