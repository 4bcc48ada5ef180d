#include <gtest/gtest.h>

#include "common/error.h"
#include "server/jobsheet.h"
#include "tests/server/server_database_fixture.h"
#include "tests/support/error_testing.h"

namespace tqs::server {
namespace {

using automation::Variant;
using test_support::ErrorNumberOf;

class LastUsedNumbersTest : public testing::ServerDatabaseTest {
 protected:
  void Store(const char* values) {
    Connect()->Execute(std::string("INSERT INTO USERDEFAULTS (LOGN, EMNO, LASTJSID, "
                                   "LASTINVOICEID, LASTQUOTEID) VALUES ('jdoe', '1001', ") +
                       values + ")");
  }
  std::string Row() {
    return Scalar("SELECT LASTJSID || '/' || LASTINVOICEID || '/' || LASTQUOTEID FROM "
                  "USERDEFAULTS WHERE LOGN='jdoe'");
  }

  automation::ComponentRegistry registry_;
  JobSheet job_sheet_{registry_};
};

TQS_INSTANTIATE_FOR_BACKENDS(LastUsedNumbersTest);

TEST_P(LastUsedNumbersTest, BothSidesEndWithTheLargerOfEachPair) {
  Store("12, 3, 7");
  Variant xml = "<?xml version='1.0'?><recordids><order>10</order><invoice>5</invoice>"
                "<quotation>007</quotation></recordids>";
  EXPECT_TRUE(job_sheet_.UpdateLastUsedNumbersInServer("jdoe", dsn_, xml).IsEmpty());
  EXPECT_EQ(xml.AsText(),
            "<recordids><order>12</order><invoice>5</invoice><quotation>007</quotation>"
            "</recordids>");
  EXPECT_EQ(Row(), "12/5/7");
}

TEST_P(LastUsedNumbersTest, NullColumnsAreReplaced) {
  Store("NULL, NULL, 9");
  Variant xml = "<recordids><order>4</order><invoice>6</invoice><quotation>8</quotation>"
                "</recordids>";
  job_sheet_.UpdateLastUsedNumbersInServer("jdoe", dsn_, xml);
  EXPECT_EQ(xml.AsText(),
            "<recordids><order>4</order><invoice>6</invoice><quotation>9</quotation></recordids>");
  EXPECT_EQ(Row(), "4/6/9");
}

TEST_P(LastUsedNumbersTest, BadDocumentsAndFailuresChangeNothing) {
  Store("1, 2, 3");
  for (const char* text : {"<recordids><order>40000</order><invoice>1</invoice>"
                           "<quotation>1</quotation></recordids>",
                           "<recordids><order>x</order><invoice>1</invoice>"
                           "<quotation>1</quotation></recordids>",
                           "<recordids><order>1</order><quotation>1</quotation></recordids>",
                           "not xml"}) {
    Variant xml = text;
    // The unopenable database shows the document fails before the database is touched.
    EXPECT_TRUE(ErrorNumberOf([&] {
                  job_sheet_.UpdateLastUsedNumbersInServer(
                      "jdoe", "Provider=SQLite;Data Source=/nonexistent/x.db", xml);
                }).has_value())
        << text;
    EXPECT_EQ(xml.AsText(), text);
  }
  EXPECT_EQ(Row(), "1/2/3");

  // A database that cannot be opened answers false and leaves the document.
  Variant xml = "<recordids><order>1</order><invoice>1</invoice><quotation>1</quotation>"
                "</recordids>";
  const Variant result = job_sheet_.UpdateLastUsedNumbersInServer(
      "jdoe", "Provider=SQLite;Data Source=" + (folder_ / "none.db").string(), xml);
  EXPECT_EQ(result, Variant(false));
  EXPECT_EQ(xml.AsText(), "<recordids><order>1</order><invoice>1</invoice><quotation>1</quotation>"
                          "</recordids>");

  // A login without a row fails; a stored counter beyond 16 bits that is larger overflows.
  EXPECT_EQ(ErrorNumberOf([&] { job_sheet_.UpdateLastUsedNumbersInServer("o'hara", dsn_, xml); }),
            error_number::kNoCurrentRecord);
  Connect()->Execute("UPDATE USERDEFAULTS SET LASTINVOICEID = 70000");
  EXPECT_EQ(ErrorNumberOf([&] { job_sheet_.UpdateLastUsedNumbersInServer("jdoe", dsn_, xml); }),
            error_number::kOverflow);
  EXPECT_EQ(Scalar("SELECT LASTJSID FROM USERDEFAULTS"), "1");
}

}  // namespace
}  // namespace tqs::server
