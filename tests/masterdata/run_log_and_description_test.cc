// The run log's file format and window effects, the transfer description's rules, the
// substitution of centre and company, and the compaction's temporary file name.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <pugixml.hpp>

#include "common/conversions.h"
#include "masterdata/master_data_creator.h"
#include "masterdata/run_log.h"
#include "masterdata/table_transfer.h"
#include "masterdata/transfer_description.h"
#include "tests/masterdata/masterdata_fixture.h"
#include "tests/support/error_testing.h"
#include "tests/support/temp_dir.h"

namespace tqs::masterdata {
namespace {

namespace fs = std::filesystem;
using test_support::ErrorDescriptionOf;
using test_support::ErrorNumberOf;
using test_support::ScopedTempDir;
using ::testing::ElementsAre;
using testing::FileLines;
using testing::FixedClock;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using testing::TestTime;

TEST(RunLogTest, QuotedRecordsEmptyLinesForBlankMessagesAndTheWindowFollows) {
  ScopedTempDir dir;
  MainWindow window;
  FixedClock clock(TestTime());
  RunLog log(window, clock, dir.path());
  window.SetMousePointer(MousePointer::kHourglass);

  log.OpenLog();
  log.WriteLog("Master data creation started.");
  log.WriteLog("");
  log.WriteLog("   ");
  log.WriteLog("Path -> ..\\web \"quoted\"");
  window.SetMousePointer(MousePointer::kHourglass);
  log.CloseLog();

  const std::string stamp = FormatGeneralDate(TestTime());
  EXPECT_THAT(FileLines(dir.path() / "MasterDataLog.log"),
              ElementsAre("\"" + stamp + " -- Master data creation started.\"", "", "",
                          "\"" + stamp + " -- Path -> ..\\web \"quoted\"\""));
  // The list takes every message as it is, blanks included; the last entry is selected.
  EXPECT_THAT(window.status_list(), ElementsAre("Master data creation started.", "", "   ",
                                                "Path -> ..\\web \"quoted\""));
  EXPECT_EQ(window.list_index(), 3);
  EXPECT_EQ(window.status_label(), "Path -> ..\\web \"quoted\"");
  // Writing resets the pointer; nothing else does.
  EXPECT_EQ(window.mouse_pointer(), MousePointer::kHourglass);

  // A new run rewrites the log and clears the list.
  log.OpenLog();
  EXPECT_TRUE(window.status_list().empty());
  log.WriteLog("again");
  EXPECT_EQ(window.mouse_pointer(), MousePointer::kDefault);
  log.CloseLog();
  EXPECT_THAT(FileLines(dir.path() / "MasterDataLog.log"),
              ElementsAre("\"" + stamp + " -- again\""));

  EXPECT_EQ(ErrorNumberOf([&] { log.WriteLog("closed"); }), 52);
}

struct ConditionCase {
  const char* condition;
  bool used;
};

TEST(TransferDescriptionTest, ConditionIsTrimmedUpperCasedYes) {
  const ConditionCase cases[] = {{"yes", true},         {" yes ", true}, {"YES", true},
                                 {"yEs\t", false},      {"no", false},   {"", false},
                                 {"yes please", false}, {"y", false}};
  for (const ConditionCase& c : cases) {
    pugi::xml_document document;
    pugi::xml_node table = document.append_child("MasterData").append_child("TABLE");
    table.append_attribute("condition") = c.condition;
    table.append_attribute("source") = "T";
    pugi::xml_node sql = table.append_child("ConditionSQL");
    sql.append_attribute("type") = "DELETE";
    sql.text() = "DELETE FROM T";
    EXPECT_EQ(ReadTransferEntries(document).size(), c.used ? 1u : 0u)
        << "condition '" << c.condition << "'";
  }
}

TEST(TransferDescriptionTest, EntriesInDocumentOrderWithTypesAndStatementText) {
  pugi::xml_document document;
  ASSERT_TRUE(document.load_string(R"(
    <MasterData>
      <TABLE condition="yes" source="A"><ConditionSQL type=" delete ">DELETE FROM A WHERE X &lt;&gt; {CWOC}</ConditionSQL></TABLE>
      <OTHER condition="yes" source="Z"/>
      <TABLE condition="no"/>
      <TABLE condition="Yes" source="B"><Note/><ConditionSQL type="Append">SELECT * FROM B</ConditionSQL></TABLE>
      <TABLE condition="YES" source="C"><ConditionSQL type="MERGE">x</ConditionSQL></TABLE>
    </MasterData>)"));
  const std::vector<TransferEntry> entries = ReadTransferEntries(document);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].source, "A");
  EXPECT_EQ(entries[0].statement, "DELETE FROM A WHERE X <> {CWOC}");
  EXPECT_EQ(entries[0].type, TransferType::kDelete);
  EXPECT_EQ(entries[1].source, "B");
  EXPECT_EQ(entries[1].type, TransferType::kAppend);
  EXPECT_EQ(entries[2].type, TransferType::kOther);
}

TEST(TransferDescriptionTest, MissingItemsOfUsedEntriesStopWithTheirName) {
  const struct {
    const char* xml;
    const char* message;
  } cases[] = {
      {R"(<MasterData><TABLE condition="no"/><TABLE source="B"/></MasterData>)",
       "TABLE element 2 (source 'B') of MasterDataTransfer.Xml has no condition attribute"},
      {R"(<MasterData><TABLE condition="yes"><ConditionSQL type="DELETE">x</ConditionSQL></TABLE></MasterData>)",
       "TABLE element 1 of MasterDataTransfer.Xml has no source attribute"},
      {R"(<MasterData><TABLE condition="yes" source="A"/></MasterData>)",
       "no ConditionSQL element"},
      {R"(<MasterData><TABLE condition="yes" source="A"><ConditionSQL>x</ConditionSQL></TABLE></MasterData>)",
       "no type attribute"},
  };
  for (const auto& c : cases) {
    pugi::xml_document document;
    ASSERT_TRUE(document.load_string(c.xml));
    EXPECT_THAT(ErrorDescriptionOf([&] { ReadTransferEntries(document); }), HasSubstr(c.message))
        << c.xml;
    EXPECT_EQ(ErrorNumberOf([&] { ReadTransferEntries(document); }), error_number::kObjectNotSet);
  }
  // An entry that is not used is not examined further.
  pugi::xml_document unused;
  ASSERT_TRUE(unused.load_string(R"(<MasterData><TABLE condition="no"/></MasterData>)"));
  EXPECT_TRUE(ReadTransferEntries(unused).empty());
}

TEST(TransferDescriptionTest, ADescriptionThatCannotBeLoadedIsAnErrorNamingFileAndFault) {
  ScopedTempDir dir;
  const std::string missing = (dir.path() / "missing.xml").string();
  EXPECT_EQ(ErrorDescriptionOf([&] { LoadTransferDescription(missing); }),
            "The transfer description '" + missing + "' does not exist");
  EXPECT_EQ(ErrorNumberOf([&] { LoadTransferDescription(missing); }), error_number::kFileNotFound);
  const fs::path bad = dir.WriteFile("bad.xml", "<MasterData><TABLE");
  EXPECT_THAT(ErrorDescriptionOf([&] { LoadTransferDescription(bad); }),
              StartsWith("The transfer description '" + bad.string() + "' cannot be read: "));
  const fs::path other = dir.WriteFile("other.xml", "<masterdata><TABLE/></masterdata>");
  EXPECT_EQ(ErrorDescriptionOf([&] { LoadTransferDescription(other); }),
            "The transfer description '" + other.string() +
                "' has the root element <masterdata>, not <MasterData>");
  // A description without entries is a description: nothing is cut.
  EXPECT_TRUE(LoadTransferDescription(dir.WriteFile("empty.xml", "<MasterData/>")).empty());
}

TEST(SubstituteCentreTest, QuotedValuesCentreFirstApostrophesDoubled) {
  EXPECT_EQ(SubstituteCentre("DELETE FROM T WHERE CWOC <> {CWOC} OR COMP <> {COMP} OR X={CWOC}",
                             ServiceCentre{"K'S", "O'Brien"}),
            "DELETE FROM T WHERE CWOC <> 'O''Brien' OR COMP <> 'K''S' OR X='O''Brien'");
  // The centre goes in first: a centre value naming the company's placeholder gets it too.
  EXPECT_EQ(SubstituteCentre("{CWOC}", ServiceCentre{"100", "A{COMP}"}), "'A'100''");
  // Placeholders are matched exactly.
  EXPECT_EQ(SubstituteCentre("{cwoc} {CWOC", ServiceCentre{"1", "2"}), "{cwoc} {CWOC");
}

TEST(CompactionFileNameTest, LastFiveDigitsOfHundredthsSinceMidnight) {
  using namespace std::chrono;
  const local_days day = local_days{year{2026} / 12 / 8};
  EXPECT_EQ(MasterDataCreator::CompactionFileName(day + hours{14} + minutes{5} + seconds{9}),
            "70900.mdb");  // 50709 s
  EXPECT_EQ(MasterDataCreator::CompactionFileName(day + seconds{5}), "500.mdb");
  EXPECT_EQ(MasterDataCreator::CompactionFileName(day + hours{23} + minutes{59} + seconds{59}),
            "39900.mdb");  // 86399 s
}

}  // namespace
}  // namespace tqs::masterdata
