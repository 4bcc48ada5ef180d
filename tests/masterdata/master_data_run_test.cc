// Runs of "Create Master Data" in a small installation: the log in run order, the cut-down
// centre databases, the early ends, and runs that stop on an error.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <sstream>

#include "common/conversions.h"
#include "masterdata/console_front_end.h"
#include "masterdata/sample_data.h"
#include "platform/db/connection.h"
#include "tests/masterdata/masterdata_fixture.h"

namespace tqs::masterdata {
namespace {

namespace fs = std::filesystem;
using testing::ClientRows;
using testing::Description;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing::FileLines;
using ::testing::HasSubstr;
using testing::LabelText;
using ::testing::StartsWith;

std::string Replaced(std::string text, const std::string& value) {
  text.replace(text.find("%1"), 2, value);
  return text;
}

constexpr std::string_view kSmallTemplate = R"sql(
CREATE TABLE SERVICECENTERS (COMP TEXT, CWOC TEXT);
INSERT INTO SERVICECENTERS VALUES (' K''S ', ' O''Brien ');
INSERT INTO SERVICECENTERS VALUES ('K''S', 'EAST');
CREATE TABLE CUSTOMERS (CUNO TEXT, NAME TEXT, CWOC TEXT);
INSERT INTO CUSTOMERS VALUES ('C1', 'Harbour', 'O''Brien');
INSERT INTO CUSTOMERS VALUES ('C2', 'Moor', 'O''Brien');
INSERT INTO CUSTOMERS VALUES ('C3', 'Bay', 'EAST');
)sql";

class MasterDataRunTest : public testing::MasterDataTest {};

TEST_F(MasterDataRunTest, SampleRunLogsEveryLabelInOrderAndCutsEachCentreDown) {
  WriteTemplate(SampleTemplateScript());
  WriteTransferDescription(SampleTransferDescription());

  const auto result = Run();
  ASSERT_EQ(result.outcome, RunOutcome::kFinished) << result.error->description();

  std::vector<std::string> expected = {
      LabelText("SLKRU0471"),
      "",
      LabelText("SLKRU1044") + " -> ..\\web",
      LabelText("SLKRU1043") + " -> " + bin_.string() + "\\..\\web\\Varnex\\EndUser\\MasterData",
      "",
      LabelText("SLKRU1039"),
      LabelText("SLKRU1040"),
      LabelText("SLKRU1042"),
      LabelText("SLKRU1030"),
      LabelText("SLKRU0483"),
      LabelText("SLKRU1031"),
      ""};
  for (const char* centre : {"NORTH", "SOUTH", "WEST"}) {
    if (std::string(centre) == "WEST") expected.push_back(LabelText("SLKRU1031"));
    expected.insert(expected.end(), {Replaced(LabelText("SLKRU1032"), centre),
                                     Replaced(LabelText("SLKRU1028"), centre),
                                     LabelText("SLKRU0494"), LabelText("SLKRU1027"), ""});
  }
  expected.push_back(LabelText("SLKRU1029"));
  EXPECT_THAT(window_.status_list(), ElementsAreArray(expected));
  EXPECT_EQ(window_.caption(), LabelText("SLKRU0959"));
  EXPECT_EQ(window_.mouse_pointer(), MousePointer::kDefault);
  EXPECT_FALSE(creator_->log().IsOpen());
  // The file holds the same messages, one record each.
  const std::vector<std::string> lines = FileLines(bin_ / "MasterDataLog.log");
  ASSERT_EQ(lines.size(), expected.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i], expected[i].empty() ? ""
                                            : "\"" + FormatGeneralDate(testing::TestTime()) +
                                                  " -- " + expected[i] + "\"");
  }

  // Two centres of company 100 share its folder; each centre has its database and archive.
  EXPECT_EQ(OutputSnapshot().size(), 2u + 6u);  // two company folders, six files
  const fs::path north = CentreDatabase("100", "NORTH");
  EXPECT_TRUE(fs::exists(CentreArchive("100", "NORTH")));
  EXPECT_TRUE(fs::exists(CentreArchive("100", "SOUTH")));
  EXPECT_TRUE(fs::exists(CentreArchive("200", "WEST")));
  EXPECT_THAT(ClientRows(north, "SELECT * FROM SERVICECENTERS"),
              ElementsAre("100|NORTH|Service centre North"));
  EXPECT_THAT(ClientRows(north, "SELECT EMNO FROM EMPLOYEES ORDER BY 1"),
              ElementsAre("E001", "E002"));
  EXPECT_THAT(
      ClientRows(north, "SELECT * FROM CUSTOMERS ORDER BY 1"),
      ElementsAre("C1001|Harbour Cold Stores|Aberdeen|NORTH", "C1002|Moor Dairy|Inverness|NORTH"));
  EXPECT_THAT(ClientRows(north, "SELECT ITNO, COMP, PRICE FROM ITEMS ORDER BY 1"),
              ElementsAre("CMP-10|100|1250", "FLT-02|100|18.5"));
  // The entry whose condition is "no" leaves its table whole.
  EXPECT_EQ(ClientRows(north, "SELECT * FROM ACTIVITYCODES").size(), 3u);
  EXPECT_THAT(ClientRows(CentreDatabase("200", "WEST"), "SELECT ITNO FROM ITEMS ORDER BY 1"),
              ElementsAre("CMP-10", "VLV-07"));
  EXPECT_THAT(ClientRows(CentreDatabase("200", "WEST"), "SELECT NAME FROM EMPLOYEES"),
              ElementsAre("Dirk O'Neill"));
  // The template itself is untouched by the cuts.
  EXPECT_EQ(ClientRows(template_, "SELECT * FROM CUSTOMERS").size(), 5u);
}

TEST_F(MasterDataRunTest, UnknownTypeLeavesTheTableAsCopiedAndPositionsPairFields) {
  WriteTemplate(kSmallTemplate);
  WriteTransferDescription(Description({
      {"MERGE", "CUSTOMERS", "DELETE FROM CUSTOMERS"},
      {" append ", "SERVICECENTERS", "SELECT CWOC, COMP FROM SERVICECENTERS WHERE CWOC = {CWOC}"},
  }));
  ASSERT_EQ(Run().outcome, RunOutcome::kFinished);

  const fs::path obrien = CentreDatabase("K'S", "O'Brien");
  EXPECT_EQ(ClientRows(obrien, "SELECT * FROM CUSTOMERS").size(), 3u);
  // The statement selects CWOC first: it lands in the table's first column, COMP.
  EXPECT_THAT(ClientRows(CentreDatabase("K'S", "EAST"), "SELECT COMP, CWOC FROM SERVICECENTERS"),
              ElementsAre("EAST|K'S"));
}

TEST_F(MasterDataRunTest, CentreNamesWithApostrophesAreQuotedAndNameTheirFiles) {
  WriteTemplate(kSmallTemplate);
  WriteTransferDescription(Description({
      {"DELETE", "CUSTOMERS", "DELETE FROM CUSTOMERS WHERE CWOC <> {CWOC}"},
      {"APPEND", "SERVICECENTERS",
       "SELECT COMP, CWOC FROM SERVICECENTERS WHERE TRIM(COMP) = {COMP} AND TRIM(CWOC) = {CWOC}"},
  }));
  const auto result = Run();
  ASSERT_EQ(result.outcome, RunOutcome::kFinished) << result.error->description();

  // Company and centre are trimmed: " K'S " and "K'S" share one folder, created once.
  EXPECT_EQ(std::count(window_.status_list().begin(), window_.status_list().end(),
                       LabelText("SLKRU1031")),
            1);
  const fs::path obrien = CentreDatabase("K'S", "O'Brien");
  EXPECT_THAT(ClientRows(obrien, "SELECT CUNO FROM CUSTOMERS ORDER BY 1"), ElementsAre("C1", "C2"));
  EXPECT_THAT(ClientRows(obrien, "SELECT * FROM SERVICECENTERS"), ElementsAre(" K'S | O'Brien "));
  EXPECT_TRUE(fs::exists(CentreArchive("K'S", "O'Brien")));
  EXPECT_THAT(window_.status_list(),
              ::testing::Contains(Replaced(LabelText("SLKRU1032"), "O'Brien")));
}

TEST_F(MasterDataRunTest, ExistingOutputWithoutRecreateWritesNothing) {
  WriteTemplate(SampleTemplateScript());
  WriteTransferDescription(SampleTransferDescription());
  ASSERT_EQ(Run().outcome, RunOutcome::kFinished);
  const std::vector<std::string> before = OutputSnapshot();

  EXPECT_EQ(Run(/*recreate=*/false).outcome, RunOutcome::kOutputExists);
  EXPECT_EQ(OutputSnapshot(), before);
  const std::vector<std::string> lines = FileLines(bin_ / "MasterDataLog.log");
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "");
  EXPECT_THAT(lines.back(), HasSubstr(" -- " + LabelText("SLKRU1037") + "\""));
  EXPECT_EQ(window_.status_list().back(), LabelText("SLKRU1037"));
  EXPECT_EQ(window_.mouse_pointer(), MousePointer::kDefault);

  // Ticked, the run goes on over the existing output.
  fs::remove(CentreArchive("200", "WEST"));
  EXPECT_EQ(Run(/*recreate=*/true).outcome, RunOutcome::kFinished);
  EXPECT_TRUE(fs::exists(CentreArchive("200", "WEST")));
}

TEST_F(MasterDataRunTest, NoServiceCentresEndsTheRunWithoutOutput) {
  WriteTemplate("CREATE TABLE SERVICECENTERS (COMP TEXT, CWOC TEXT);");
  WriteTransferDescription(SampleTransferDescription());
  EXPECT_EQ(Run().outcome, RunOutcome::kNoServiceCentres);
  EXPECT_THAT(
      std::vector<std::string>(window_.status_list().end() - 3, window_.status_list().end()),
      ElementsAre(LabelText("SLKRU0483"), "", LabelText("SLKRU1026")));
  EXPECT_TRUE(OutputSnapshot().empty());
  EXPECT_FALSE(creator_->log().IsOpen());
}

class UnavailableArchiver final : public archive::Archiver {
 public:
  bool IsAvailable() const override { return false; }
  fs::path CreateSelfExtracting(const fs::path&, const fs::path&) override {
    ADD_FAILURE() << "an unavailable archiver was asked to pack";
    return {};
  }
};

TEST_F(MasterDataRunTest, WithoutArchiverTheRunEndsBeforeCompacting) {
  WriteTemplate(SampleTemplateScript());
  const auto template_size = fs::file_size(template_);
  UnavailableArchiver archiver;
  MasterDataCreator creator(window_, archiver, events_,
                            CreatorEnvironment{bin_.string(), bin_, &clock_});
  EXPECT_EQ(creator.CreateMasterData().outcome, RunOutcome::kArchiverMissing);
  // The label code carries a trailing blank and so finds no text: an empty line.
  EXPECT_EQ(creator.GetLabel("SLKRU1045 "), "");
  EXPECT_EQ(creator.GetLabel("SLKRU1045"), LabelText("SLKRU1045"));
  EXPECT_EQ(window_.status_list().size(), 6u);
  EXPECT_EQ(window_.status_list().back(), "");
  EXPECT_EQ(FileLines(bin_ / "MasterDataLog.log").back(), "");
  EXPECT_EQ(fs::file_size(template_), template_size);
  EXPECT_TRUE(OutputSnapshot().empty());
}

TEST_F(MasterDataRunTest, AnSqlErrorStopsTheRunAndKeepsWhatWasWritten) {
  WriteTemplate(SampleTemplateScript());
  WriteTransferDescription(SampleTransferDescription());
  ASSERT_EQ(Run().outcome, RunOutcome::kFinished);
  const std::vector<std::string> before = OutputSnapshot();

  WriteTransferDescription(Description({{"DELETE", "EMPLOYEES", "DELETE FROM NOSUCHTABLE"}}));
  const auto result = Run(/*recreate=*/true);
  EXPECT_EQ(result.outcome, RunOutcome::kFailed);
  ASSERT_TRUE(result.error.has_value());
  EXPECT_THAT(result.error->description(), HasSubstr("no such table: NOSUCHTABLE"));
  EXPECT_THAT(result.error->description(),
              HasSubstr("DELETE of table EMPLOYEES for service centre NORTH"));
  EXPECT_THAT(window_.status_list().back(), StartsWith("Run-time error '-2147467259': "));
  EXPECT_THAT(FileLines(bin_ / "MasterDataLog.log").back(), HasSubstr("Run-time error"));
  EXPECT_FALSE(creator_->log().IsOpen());
  EXPECT_EQ(window_.mouse_pointer(), MousePointer::kDefault);
  // The run stopped at the first centre: the archives of the others are still there.
  EXPECT_TRUE(fs::exists(CentreArchive("100", "SOUTH")));
  EXPECT_TRUE(fs::exists(CentreArchive("200", "WEST")));
  EXPECT_EQ(OutputSnapshot().size(), before.size());
}

TEST_F(MasterDataRunTest, AFailedAppendLeavesTheTableAsCopied) {
  WriteTemplate(kSmallTemplate);
  // Four selected fields for a table of three columns.
  WriteTransferDescription(
      Description({{"APPEND", "CUSTOMERS",
                    "SELECT CUNO, NAME, CWOC, CWOC FROM CUSTOMERS WHERE CWOC = {CWOC}"}}));
  const auto result = Run();
  ASSERT_EQ(result.outcome, RunOutcome::kFailed);
  EXPECT_THAT(result.error->description(), HasSubstr("APPEND of table CUSTOMERS"));
  EXPECT_EQ(ClientRows(CentreDatabase("K'S", "O'Brien"), "SELECT * FROM CUSTOMERS").size(), 3u);
}

// Progress every 5000 rows while more follow; the end once, a single row in the singular.
TEST_F(MasterDataRunTest, LongAppendCopiesReportProgressEvery5000Rows) {
  const struct {
    int rows;
    std::vector<std::string> progress;
    std::string console;
  } cases[] = {
      {12001,
       {"W/NUMBERS:5000", "W/NUMBERS:10000", "W/NUMBERS:12001 done"},
       "    W / NUMBERS: 5000 rows copied so far ...\n"
       "    W / NUMBERS: 10000 rows copied so far ...\n"
       "    W / NUMBERS: 12001 rows copied\n"},
      {10000,
       {"W/NUMBERS:5000", "W/NUMBERS:10000 done"},
       "    W / NUMBERS: 5000 rows copied so far ...\n"
       "    W / NUMBERS: 10000 rows copied\n"},
      {5000, {"W/NUMBERS:5000 done"}, "    W / NUMBERS: 5000 rows copied\n"},
      {1, {"W/NUMBERS:1 done"}, "    W / NUMBERS: 1 row copied\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rows);
    WriteTemplate(R"sql(
      CREATE TABLE SERVICECENTERS (COMP TEXT, CWOC TEXT);
      INSERT INTO SERVICECENTERS VALUES ('1', 'W');
      CREATE TABLE NUMBERS (N INTEGER, TEXTVALUE TEXT, EMPTYVALUE TEXT);
      WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < )sql" +
                  std::to_string(c.rows) + R"sql()
        INSERT INTO NUMBERS SELECT n, 'row ' || n, NULL FROM c;
    )sql");
    WriteTransferDescription(Description({{"APPEND", "NUMBERS", "SELECT * FROM NUMBERS"}}));
    events_.progress.clear();
    events_.console.str("");
    ASSERT_EQ(Run(/*recreate=*/true).outcome, RunOutcome::kFinished);
    EXPECT_EQ(events_.progress, c.progress);
    EXPECT_EQ(events_.console.str(), c.console);
    const fs::path centre = CentreDatabase("1", "W");
    const std::int64_t n = c.rows;
    EXPECT_THAT(ClientRows(centre, "SELECT COUNT(*), SUM(N), COUNT(EMPTYVALUE) FROM NUMBERS"),
                ElementsAre(std::to_string(n) + "|" + std::to_string(n * (n + 1) / 2) + "|0"));
    EXPECT_THAT(ClientRows(centre, "SELECT * FROM NUMBERS WHERE N = " + std::to_string(n)),
                ElementsAre(std::to_string(n) + "|row " + std::to_string(n) + "|<null>"));
  }
}

// An APPEND statement that would change the template is refused before it runs: the run stops
// on the error (exit status 1), the log names the entry, and the template keeps its rows.
TEST_F(MasterDataRunTest, AppendStatementsThatWriteAreRefusedAndTheTemplateKeepsItsRows) {
  WriteTemplate(kSmallTemplate);
  for (const char* statement :
       {"DELETE FROM CUSTOMERS", "SELECT * FROM CUSTOMERS; DELETE FROM CUSTOMERS",
        "UPDATE CUSTOMERS SET NAME = 'x'", "PRAGMA user_version = 7"}) {
    SCOPED_TRACE(statement);
    WriteTransferDescription(Description({{"APPEND", "CUSTOMERS", statement}}));
    window_.SetRecreateMasterData(true);
    std::ostringstream out;
    std::ostringstream errors;
    EXPECT_EQ(ConsoleFrontEnd(out, errors).RunOnce(*creator_), 1);
    const std::string entry =
        std::string("(APPEND of table CUSTOMERS for service centre O'Brien: ") + statement + ")";
    EXPECT_THAT(errors.str(), HasSubstr("refused and nothing of it was run"));
    EXPECT_THAT(errors.str(), HasSubstr(entry));
    const std::string last_logged = FileLines(bin_ / "MasterDataLog.log").back();
    EXPECT_THAT(last_logged, HasSubstr("Run-time error"));
    EXPECT_THAT(last_logged, HasSubstr(entry));
    EXPECT_THAT(ClientRows(template_, "SELECT CUNO, NAME FROM CUSTOMERS ORDER BY CUNO"),
                ElementsAre("C1|Harbour", "C2|Moor", "C3|Bay"));
    EXPECT_THAT(ClientRows(template_, "PRAGMA user_version"), ElementsAre("0"));
    // The centre's table was not emptied either.
    EXPECT_EQ(ClientRows(CentreDatabase("K'S", "O'Brien"), "SELECT * FROM CUSTOMERS").size(), 3u);
  }
}

TEST_F(MasterDataRunTest, SettingsFollowTheConfigurationChainAndTheDefaultLanguage) {
  WriteTemplate(SampleTemplateScript());
  {
    auto server = db::Connection::Open(server_dsn_);
    server->Execute(
        "UPDATE PARAMETERS SET PARAMVALUE = '1031' WHERE PARAMNAME = 'DefaultLanguage'");
    server->Execute(
        "INSERT INTO I18NText (LOCALEID, LABEL, TEXT, pagecontext) VALUES "
        "(1031, 'SLKRU0471', 'Stammdaten werden erstellt.', 'TQSRemoteCreateMasterData'), "
        "(1031, 'SLKRU0472', 'Andere Seite', 'TQSRemoteBroker')");
  }
  creator_->LoadSettings();
  const Settings& settings = creator_->settings();
  EXPECT_EQ(settings.web_relative_path, "..\\web");
  EXPECT_EQ(settings.server_connection_string, server_dsn_);
  EXPECT_EQ(settings.master_data_folder, bin_.string() + "\\..\\web\\Varnex\\EndUser\\MasterData");
  EXPECT_EQ(settings.template_database_path, bin_.string() + "\\ClientDatabase.mdb");
  EXPECT_EQ(settings.template_connection_string,
            "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;Data Source=" +
                template_.string());
  EXPECT_EQ(settings.language, "1031");
  EXPECT_EQ(creator_->GetLabel("SLKRU0471"), "Stammdaten werden erstellt.");
  EXPECT_EQ(creator_->GetLabel("SLKRU1029"), "");  // English only
  EXPECT_EQ(creator_->GetLabel("SLKRU0472"), "");  // another program's page

  // Without the product configuration the run stops with the path in the report.
  fs::remove(bin_.parent_path() / "web" / "config" / "VarnexConfiguration.xml");
  const auto result = Run();
  EXPECT_EQ(result.outcome, RunOutcome::kFailed);
  EXPECT_THAT(result.error->description(), HasSubstr("VarnexConfiguration.xml"));
}

TEST_F(MasterDataRunTest, CompactionOfADatabaseHeldOpenFailsAndLeavesIt) {
  WriteTemplate(SampleTemplateScript());
  creator_->log().OpenLog();
  auto holder = db::Connection::Open(
      "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;Data Source=" +
      template_.string());
  const std::string before = ClientRows(template_, "SELECT COUNT(*) FROM CUSTOMERS").front();
  const auto size = fs::file_size(template_);

  EXPECT_FALSE(creator_->CompactDataBase(bin_.string() + "\\ClientDatabase.mdb", "", ""));
  EXPECT_THAT(
      window_.status_list().back(),
      StartsWith("CompactDataBase : While compacting the database the following error "
                 "occurs: Cannot compact the database '" +
                 template_.string() + "': it is open in another connection of this program"));
  EXPECT_EQ(fs::file_size(template_), size);
  EXPECT_EQ(ClientRows(template_, "SELECT COUNT(*) FROM CUSTOMERS").front(), before);
  EXPECT_FALSE(fs::exists(bin_ / MasterDataCreator::CompactionFileName(testing::TestTime())));

  // Closed, the same database compacts.
  holder->Close();
  EXPECT_TRUE(creator_->CompactDataBase(bin_.string() + "\\ClientDatabase.mdb", "", ""));
  creator_->log().CloseLog();
}

}  // namespace
}  // namespace tqs::masterdata
