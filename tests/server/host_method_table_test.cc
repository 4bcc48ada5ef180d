#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "common/error.h"
#include "server/host/method_table.h"
#include "tests/server/server_database_fixture.h"
#include "tests/support/deep_xml.h"

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

struct HostRun {
  bool exited = false;  // false when the process died of a signal
  int exit_status = -1;
  nlohmann::json answer;
};

// One call of the command-line host with `request` on its standard input.
HostRun RunHost(const std::filesystem::path& folder, const std::string& method,
                const nlohmann::json& request) {
  const std::filesystem::path in = folder / "request.json";
  const std::filesystem::path out = folder / "answer.json";
  std::ofstream(in) << request.dump();
  const std::string command = std::string("'") + TQS_HOST_PROGRAM + "' call " + method + " <'" +
                              in.string() + "' >'" + out.string() + "' 2>/dev/null";
  const int status = std::system(command.c_str());
  HostRun run;
  run.exited = WIFEXITED(status);
  run.exit_status = run.exited ? WEXITSTATUS(status) : -1;
  std::ostringstream text;
  text << std::ifstream(out).rdbuf();
  run.answer = nlohmann::json::parse(text.str(), nullptr, false);
  return run;
}

TEST_P(HostTest, CommandLineHostAnswersDeepDocumentsAsMalformed) {
  using test_support::Deep;
  HostRun run = RunHost(folder_, "StoreOutboxContent",
                        {{"i_sOutboxContent",
                          "<businessdocuments><generalhours><hour "
                          "interactionon='A' lineid='L1'><rgdt>" +
                              Deep("20261208") +
                              "</rgdt></hour></generalhours>"
                              "</businessdocuments>"},
                         {"i_sEmployee", "1001"},
                         {"i_sDSNString", dsn_}});
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.answer["o_vResult"], "<uploadfeedback/>");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM CLIENTSERVERINTERACTION"), "0");

  run = RunHost(folder_, "UpdateLastUsedNumbersInServer",
                {{"i_sLogin", "ada"},
                 {"io_sXML", "<recordids><order>" + Deep("1") +
                                 "</order><invoice>1</invoice><quotation>1</quotation>"
                                 "</recordids>"},
                 {"i_sDSNString", dsn_}});
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_TRUE(run.answer.contains("error")) << run.answer.dump();
}

}  // namespace
}  // namespace tqs::server::host
