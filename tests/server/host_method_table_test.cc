#include "server/host/method_table.h"

#include <gtest/gtest.h>

#include "common/error.h"
#include "tests/server/server_database_fixture.h"

namespace tqs::server::host {
namespace {

using HostTest = testing::ServerDatabaseTest;

TQS_INSTANTIATE_FOR_BACKENDS(HostTest);

TEST_P(HostTest, CallsByParameterNameAndAnswersOutParameters) {
  automation::ComponentRegistry components;
  JobSheet job_sheet(components);
  const Method* store = FindMethod("StoreOutboxContent");
  ASSERT_NE(store, nullptr);

  const nlohmann::json response = Call(
      *store, job_sheet,
      {{"i_sOutboxContent",
        "<businessdocuments><generalhours><hour interactionon='A' lineid='L1'/></generalhours>"
        "</businessdocuments>"},
       {"i_sEmployee", "1001"},
       {"i_sDSNString", dsn_}});
  EXPECT_EQ(response["result"], true);
  EXPECT_EQ(response["o_vResult"],
            "<uploadfeedback><generalhours><hour interactionon=\"A\" interactionid=\"1\" "
            "headerid=\"L1\" errortype=\"\" errordesc=\"\"/></generalhours></uploadfeedback>");

  // A missing in-parameter or an unknown one is refused before the call, naming it.
  try {
    Call(*store, job_sheet, {{"i_sEmployee", "1001"}, {"i_sDSNString", dsn_}});
    FAIL();
  } catch (const Error& error) {
    EXPECT_NE(error.description().find("i_sOutboxContent"), std::string::npos);
  }
  try {
    Call(*store, job_sheet,
         {{"i_sOutboxContent", ""}, {"i_sEmployee", "1"}, {"i_sDSNString", dsn_}, {"i_sX", 1}});
    FAIL();
  } catch (const Error& error) {
    EXPECT_NE(error.description().find("i_sX"), std::string::npos);
  }
  EXPECT_EQ(FindMethod("NoSuchMethod"), nullptr);
}

}  // namespace
}  // namespace tqs::server::host
