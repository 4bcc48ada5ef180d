#include <gtest/gtest.h>

#include "common/error.h"
#include "common/text.h"
#include "server/jobsheet.h"
#include "tests/server/server_database_fixture.h"
#include "tests/support/deep_xml.h"

namespace tqs::server {
namespace {

using automation::Variant;

class ProcessResultTest : public testing::ServerDatabaseTest {
 protected:
  void SetUp() override {
    ServerDatabaseTest::SetUp();
    if (IsSkipped()) return;
    auto connection = Connect();
    // (employee, type, on, id, status, result)
    const char* rows[] = {
        "'1001', 5, 'D1', 1, 10, '<jobsheet id=''1''/>'",
        "'1001', 5, 'D1', 2, 5, '<pending/>'",
        "'1001', 5, 'D1', 3, 15, '<jobsheet id=''3''/>'",
        "'1001', 10, 'D1', 1, 10, '<hour id=''H''/>'",
        "'1001', 15, 'D1', 1, 15, '<si id=''S''/>'",
        "'1002', 5, 'D1', 4, 10, '<other/>'",
        "'1001', 5, 'D1', 40000, 10, '<big/>'",
    };
    for (const char* row : rows) {
      connection->Execute(std::string("INSERT INTO CLIENTSERVERINTERACTION (EMPLOYEEID, "
                                      "BUSINESSDOCUMENTTYPE, INTERACTIONON, INTERACTIONID, "
                                      "INTERACTIONSTATUS, INTERACTIONRESULT) VALUES (") +
                          row + ")");
    }
  }

  std::string Results(const std::string& request, const std::string& employee = "1001") {
    Variant result;
    EXPECT_TRUE(job_sheet_.GetProcessResult(request, employee, dsn_, result));
    return result.AsText();
  }

  automation::ComponentRegistry components_;
  JobSheet job_sheet_{components_};
};

TQS_INSTANTIATE_FOR_BACKENDS(ProcessResultTest);

TEST_P(ProcessResultTest, FinishedResultsInFixedSectionOrderAndRequestOrder) {
  EXPECT_EQ(Results("<processresultrequest>"
                    "<SERVICEINSPECTIONS><i interactionon='D1' interactionid='1'/>"
                    "</SERVICEINSPECTIONS>"
                    "<jobsheets><j interactionon='D1' interactionid='3'/>"
                    "<j interactionon='D1' interactionid='2'/>"
                    "<j interactionon='D1' interactionid='1'/>"
                    "<j interactionon='D1' interactionid='4'/>"
                    "<j interactionon='D2' interactionid='1'/>"
                    "<j interactionon='D1' interactionid='abc'/>"
                    "<j interactionon='D1' interactionid='40000'/></jobsheets>"
                    "<generalhours/>"
                    "<serviceinspections><i interactionon='D1' interactionid='1'/>"
                    "</serviceinspections>"
                    "</processresultrequest>"),
            "<businessdocuments><jobsheets><jobsheet id='3'/><jobsheet id='1'/><big/></jobsheets>"
            "<generalhours></generalhours><SERVICEINSPECTIONS><si id='S'/></SERVICEINSPECTIONS>"
            "</businessdocuments>");
  // Another employee's interaction is not answered.
  EXPECT_EQ(Results("<processresultrequest><jobsheets><j interactionon='D1' interactionid='1'/>"
                    "</jobsheets></processresultrequest>",
                    "1002"),
            "<businessdocuments><jobsheets></jobsheets></businessdocuments>");
}

TEST_P(ProcessResultTest, StoredResultsWithCharactersXmlCannotCarryAreAnsweredWellFormed) {
  Connect()->Execute(
      "INSERT INTO CLIENTSERVERINTERACTION (EMPLOYEEID, BUSINESSDOCUMENTTYPE, INTERACTIONON, "
      "INTERACTIONID, INTERACTIONSTATUS, INTERACTIONRESULT) VALUES "
      "('1001', 5, 'D1', 5, 10, '<jobsheet error=''a\x01"
      "b\x0B''/>')");
  const std::string r(kReplacementCharacter);
  EXPECT_EQ(Results("<processresultrequest><jobsheets><j interactionon='D1' interactionid='5'/>"
                    "</jobsheets></processresultrequest>"),
            "<businessdocuments><jobsheets><jobsheet error='a" + r + "b" + r +
                "'/></jobsheets></businessdocuments>");
}

TEST_P(ProcessResultTest, RequestsWithoutSectionsOrNotWellFormed) {
  EXPECT_EQ(Results("<processresultrequest><other/></processresultrequest>"),
            "<businessdocuments></businessdocuments>");
  EXPECT_EQ(Results("<processresultrequest><jobsheets>"),
            "<businessdocuments></businessdocuments>");
  // A request for a finished interaction that a strict parser refuses is answered as empty.
  for (const std::string& spoiler : {test_support::Deep(""), std::string("&nbsp;"),
                                     std::string("<x a='1' a='2'/>"), std::string("\x01")}) {
    EXPECT_EQ(Results("<processresultrequest><jobsheets><j interactionon='D1' interactionid='1'>" +
                      spoiler + "</j></jobsheets></processresultrequest>"),
              "<businessdocuments></businessdocuments>")
        << spoiler.substr(0, 20);
  }
}

TEST_P(ProcessResultTest, BadInteractionsFailTheCallWithTheTextSoFar) {
  Variant result;
  EXPECT_THROW(job_sheet_.GetProcessResult(
                   "<processresultrequest><jobsheets><j interactionon='D1' interactionid='1'/>"
                   "<j interactionid='3'/></jobsheets></processresultrequest>",
                   "1001", dsn_, result),
               Error);
  EXPECT_EQ(result.AsText(), "<businessdocuments><jobsheets><jobsheet id='1'/>");

  try {
    job_sheet_.GetProcessResult("<processresultrequest><jobsheets><j interactionon='D1' "
                                "interactionid='3000000000'/></jobsheets></processresultrequest>",
                                "1001", dsn_, result);
    FAIL() << "a number beyond 32 bits must overflow";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), error_number::kOverflow);
  }

  const std::string missing = "Provider=SQLite;Data Source=" + (folder_ / "nope.db").string();
  EXPECT_THROW(job_sheet_.GetProcessResult("<processresultrequest><jobsheets/>"
                                           "</processresultrequest>",
                                           "1001", missing, result),
               Error);
}

}  // namespace
}  // namespace tqs::server
