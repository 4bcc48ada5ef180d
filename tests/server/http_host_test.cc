#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/wait.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <future>
#include <iterator>
#include <regex>
#include <set>
#include <thread>

#include "admin/installation.h"
#include "common/utf8.h"
#include "platform/db/recordset.h"
#include "server/host/host_settings.h"
#include "server/host/http_server.h"
#include "server/host/method_table.h"
#include "tests/server/server_database_fixture.h"
#include "tests/support/deep_xml.h"

namespace tqs::server::host {
namespace {

namespace fs = std::filesystem;

std::string Outbox(const std::string& id) {
  return "<businessdocuments><jobsheets><item interactionon='D1' id='" + id +
         "_0'><jobsheet><serviceorder id='" + id +
         "' actionsperformed='RDP'/></jobsheet></item></jobsheets></businessdocuments>";
}

// The host of an installation on the test's server database, on each backend.
class HttpHostTest : public testing::ServerDatabaseTest {
 protected:
  void SetUp() override {
    ServerDatabaseTest::SetUp();
    if (IsSkipped()) return;
    admin::InstallOptions options;
    options.directory = folder_ / "x";
    options.programs_folder = folder_ / "no-programs";
    options.dsn = dsn_;
    options.demo = true;  // the login ada
    admin::Install(options, [](std::string_view) {});
    settings_ = ReadHostSettings(options.directory / "bin");
    settings_.port = 0;
    server_ = std::make_unique<HttpServer>(settings_, components_);
    port_ = server_->Bind();
    serving_ = std::thread([this] { server_->Serve(); });
  }
  void TearDown() override {
    if (server_) {
      server_->Stop();
      serving_.join();
    }
    ServerDatabaseTest::TearDown();
  }

  httplib::Result Post(const std::string& method, const nlohmann::json& body,
                       const std::string& secret) {
    httplib::Client client("127.0.0.1", port_);
    client.set_read_timeout(std::chrono::seconds(60));  // huge requests in a debug build
    httplib::Headers headers;
    if (!secret.empty()) headers.emplace("Authorization", "Bearer " + secret);
    return client.Post(("/JobSheet/" + method).c_str(), headers, body.dump(), "application/json");
  }

  HostSettings settings_;
  automation::ComponentRegistry components_;
  std::unique_ptr<HttpServer> server_;
  int port_ = 0;
  std::thread serving_;
};

TQS_INSTANTIATE_FOR_BACKENDS(HttpHostTest);

TEST_P(HttpHostTest, AnswersAsTheCommandLineHostDoes) {
  const nlohmann::json upload = {{"i_sOutboxContent", Outbox("4711")}, {"i_sEmployee", "A"}};
  auto response = Post("StoreOutboxContent", upload, settings_.shared_secret);
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status, 200) << response->body;

  JobSheet job_sheet(components_);
  nlohmann::json direct = upload;
  direct["i_sEmployee"] = "B";
  direct["i_sDSNString"] = settings_.connection_string;
  EXPECT_EQ(nlohmann::json::parse(response->body),
            Call(*FindMethod("StoreOutboxContent"), job_sheet, direct));

  EXPECT_EQ(settings_.connection_string, dsn_);
  auto connection = Connect();
  connection->Execute(
      "UPDATE CLIENTSERVERINTERACTION SET INTERACTIONSTATUS=10, "
      "INTERACTIONRESULT='<jobsheet id=''4711''/>' WHERE EMPLOYEEID='A'");
  response = Post("GetProcessResult",
                  {{"i_sResultFor",
                    "<processresultrequest><jobsheets><j interactionon='D1' "
                    "interactionid='1'/></jobsheets></processresultrequest>"},
                   {"i_sEmployee", "A"}},
                  settings_.shared_secret);
  ASSERT_TRUE(response);
  EXPECT_EQ(nlohmann::json::parse(response->body)["o_vResult"],
            "<businessdocuments><jobsheets><jobsheet id='4711'/></jobsheets></businessdocuments>");
}

// While the host serves, the write-ahead log of an SQLite server database stays beside it: the
// calls' own connections never are the last one, so their closes do not copy the log into the
// database file (several syncs per call). When the host stops, the log is taken in and removed,
// and the database holds every upload.
TEST_P(HttpHostTest, KeepsTheWriteAheadLogWhileServingAndTakesItInWhenStopped) {
  if (OnPostgres()) GTEST_SKIP() << "a PostgreSQL server keeps its own log";
  const std::string source = "Data Source=";
  const std::filesystem::path database = dsn_.substr(dsn_.find(source) + source.size());
  const std::filesystem::path log = database.string() + "-wal";
  for (const char* order : {"4711", "4712"}) {
    const auto response =
        Post("StoreOutboxContent", {{"i_sOutboxContent", Outbox(order)}, {"i_sEmployee", "A"}},
             settings_.shared_secret);
    ASSERT_TRUE(response);
    ASSERT_EQ(response->status, 200) << response->body;
    EXPECT_EQ(response->body.find("normal"), std::string::npos) << response->body;
  }
  const auto results = Post("GetProcessResult",
                            {{"i_sResultFor",
                              "<processresultrequest><jobsheets><j interactionon='D1' "
                              "interactionid='1'/></jobsheets></processresultrequest>"},
                             {"i_sEmployee", "A"}},
                            settings_.shared_secret);
  ASSERT_TRUE(results);
  ASSERT_EQ(results->status, 200) << results->body;
  ASSERT_TRUE(std::filesystem::exists(log));
  EXPECT_GT(std::filesystem::file_size(log), 0u);
  // The connections the workers keep between calls hold no read transaction: the whole log can
  // be copied into the database and emptied meanwhile (it would grow without end otherwise).
  EXPECT_EQ(Scalar("PRAGMA wal_checkpoint(TRUNCATE)"), "0");
  EXPECT_EQ(std::filesystem::file_size(log), 0u);

  server_->Stop();
  serving_.join();
  server_.reset();
  EXPECT_FALSE(std::filesystem::exists(log));
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM CLIENTSERVERINTERACTION"), "2");
}

TEST_P(HttpHostTest, RefusesWhatItMustNotServe) {
  const nlohmann::json upload = {{"i_sOutboxContent", Outbox("1")}, {"i_sEmployee", "A"}};
  EXPECT_EQ(Post("StoreOutboxContent", upload, "")->status, 401);
  EXPECT_EQ(Post("StoreOutboxContent", upload, settings_.shared_secret + "x")->status, 401);
  EXPECT_EQ(Post("StoreOutboxContent", upload, settings_.shared_secret.substr(1))->status, 401);

  nlohmann::json other_database = upload;
  other_database["i_sDSNString"] = "Provider=SQLite;Data Source=" + (folder_ / "other.db").string();
  auto response = Post("StoreOutboxContent", other_database, settings_.shared_secret);
  EXPECT_EQ(response->status, 400);
  EXPECT_NE(response->body.find("i_sDSNString"), std::string::npos);
  EXPECT_FALSE(fs::exists(folder_ / "other.db"));

  EXPECT_EQ(Post("NoSuchMethod", upload, settings_.shared_secret)->status, 404);
  response = Post("StoreOutboxContent", {{"i_sEmployee", "A"}}, settings_.shared_secret);
  EXPECT_EQ(response->status, 400);
  EXPECT_NE(response->body.find("i_sOutboxContent"), std::string::npos);
  httplib::Client client("127.0.0.1", port_);
  EXPECT_EQ(client
                .Post("/JobSheet/StoreOutboxContent",
                      {{"Authorization", "Bearer " + settings_.shared_secret}}, "{not json",
                      "application/json")
                ->status,
            400);
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM CLIENTSERVERINTERACTION"), "0");

  // Health: liveness for anyone, the queue only with the secret.
  auto health = client.Get("/health");
  EXPECT_EQ(nlohmann::json::parse(health->body), nlohmann::json({{"status", "ok"}}));
  Post("StoreOutboxContent", upload, settings_.shared_secret);
  health = client.Get("/health", {{"Authorization", "Bearer " + settings_.shared_secret}});
  const auto queue = nlohmann::json::parse(health->body)["queue"];
  EXPECT_EQ(queue["types"][0]["pending"], 1);
  EXPECT_EQ(queue["busiest_employees"][0]["employee"], "A");
  EXPECT_GE(queue["types"][0]["oldest_pending"]["age_seconds"], 0);
  EXPECT_TRUE(queue["types"][0]["oldest_pending"]["received_on"].is_string());
}

// /metrics reports the upload queue from the query /health uses: documents per type and status
// and the age of the oldest pending one.
TEST_P(HttpHostTest, MetricsReportTheUploadQueue) {
  ASSERT_EQ(Post("StoreOutboxContent", {{"i_sOutboxContent", Outbox("7")}, {"i_sEmployee", "A"}},
                 settings_.shared_secret)
                ->status,
            200);
  Connect()->Execute("UPDATE CLIENTSERVERINTERACTION SET INTERACTIONSTATUS=15");
  ASSERT_EQ(Post("StoreOutboxContent", {{"i_sOutboxContent", Outbox("8")}, {"i_sEmployee", "A"}},
                 settings_.shared_secret)
                ->status,
            200);
  // A re-sent document and one the upload cannot read are counted by their feedback.
  const std::string unreadable =
      "<businessdocuments><jobsheets><item interactionon='D1'><jobsheet/></item></jobsheets>"
      "</businessdocuments>";
  for (const std::string& outbox : {Outbox("8"), unreadable}) {
    ASSERT_EQ(Post("StoreOutboxContent", {{"i_sOutboxContent", outbox}, {"i_sEmployee", "A"}},
                   settings_.shared_secret)
                  ->status,
              200);
  }
  httplib::Client client("127.0.0.1", port_);
  const auto answer =
      client.Get("/metrics", {{"Authorization", "Bearer " + settings_.shared_secret}});
  ASSERT_TRUE(answer);
  ASSERT_EQ(answer->status, 200);
  const std::string& text = answer->body;
  for (const char* line :
       {"\ntqsremote_database_up 1\n",
        "\ntqsremote_upload_queue_documents{type=\"job sheet\",status=\"pending\"} 1\n",
        "\ntqsremote_upload_queue_documents{type=\"job sheet\",status=\"failed\"} 1\n",
        "\ntqsremote_upload_queue_documents{type=\"job sheet\",status=\"processed\"} 0\n",
        "\ntqsremote_upload_documents_total{outcome=\"stored\"} 2\n",
        "\ntqsremote_upload_documents_total{outcome=\"conflict\"} 1\n",
        "\ntqsremote_upload_documents_total{outcome=\"failed\"} 1\n",
        "\ntqsremote_http_requests_total{method=\"POST\",status=\"200\"} 4\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << "in\n" << text;
  }
  std::smatch age;
  ASSERT_TRUE(std::regex_search(
      text, age,
      std::regex(R"(\ntqsremote_upload_queue_oldest_pending_seconds\{type="job sheet"\} (\d+)\n)")))
      << text;
  EXPECT_LT(std::stoi(age[1]), 600);
}

// Documents nested far too deep reach the methods as malformed ones; the host lives on.
TEST_P(HttpHostTest, AnswersDeepDocumentsAsMalformedAndServesOn) {
  using test_support::Deep;
  auto response = Post(
      "StoreOutboxContent",
      {{"i_sOutboxContent", "<businessdocuments>" + Deep("<jobsheets/>") + "</businessdocuments>"},
       {"i_sEmployee", "A"}},
      settings_.shared_secret);
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status, 200);
  EXPECT_EQ(nlohmann::json::parse(response->body)["o_vResult"], "<uploadfeedback/>");

  response = Post("UpdateLastUsedNumbersInServer",
                  {{"i_sLogin", "ada"},
                   {"io_sXML", "<recordids><order>" + Deep("1") +
                                   "</order><invoice>1</invoice><quotation>1</quotation>"
                                   "</recordids>"}},
                  settings_.shared_secret);
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status, 500);
  EXPECT_TRUE(nlohmann::json::parse(response->body).contains("error")) << response->body;

  // An assignments text the host cannot make a document of is the request's fault: 400, as a
  // parameter of the wrong kind, with what is wrong with it.
  for (const std::string& assignments : {Deep("<a/>"), std::string("not XML")}) {
    response = Post("updateAssignments", {{"i_sLogin", "ada"}, {"i_oAssignments", assignments}},
                    settings_.shared_secret);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 400);
    EXPECT_NE(response->body.find("'i_oAssignments' is not an XML document"), std::string::npos)
        << response->body;
  }
  response = Post("updateAssignments",
                  {{"i_sLogin", "ada"}, {"i_oAssignments", std::string("<a>\0</a>", 8)}},
                  settings_.shared_secret);
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status, 400);
  EXPECT_NE(response->body.find("i_oAssignments holds a NUL character"), std::string::npos)
      << response->body;

  EXPECT_EQ(Post("StoreOutboxContent", {{"i_sOutboxContent", Outbox("1")}, {"i_sEmployee", "A"}},
                 settings_.shared_secret)
                ->status,
            200);
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM CLIENTSERVERINTERACTION"), "1");
}

// A result stored with a character cut in half (by a broker that cut by bytes) is answered as
// valid JSON with U+FFFD in its place, by both hosts, and the good results come with it. Only
// SQLite keeps such bytes; PostgreSQL refuses to store them.
TEST_P(HttpHostTest, ResultsThatAreNotUtf8AreAnsweredWithReplacementCharacters) {
  const std::string hours =
      "<businessdocuments><generalhours><hour interactionon='A' lineid='L1'/>"
      "<hour interactionon='A' lineid='L2'/></generalhours></businessdocuments>";
  ASSERT_EQ(Post("StoreOutboxContent", {{"i_sOutboxContent", hours}, {"i_sEmployee", "E"}},
                 settings_.shared_secret)
                ->status,
            200);
  if (OnPostgres()) GTEST_SKIP() << "PostgreSQL stores no text that is not UTF-8";
  auto connection = Connect();
  connection->Execute(
      "UPDATE CLIENTSERVERINTERACTION SET INTERACTIONSTATUS=10, "
      "INTERACTIONRESULT='<hour lineid=''L1'' result=''5'' error='''' new=''42'' />' "
      "WHERE BUSINESSDOCUMENTID='L1'");
  // <hour lineid='L2' result='10' error='Fa\xC3' new='0' />
  connection->Execute(
      "UPDATE CLIENTSERVERINTERACTION SET INTERACTIONSTATUS=15, INTERACTIONRESULT=CAST("
      "X'3C686F7572206C696E6569643D274C322720726573756C743D2731302720"
      "6572726F723D274661C327206E65773D273027202F3E' AS TEXT) WHERE BUSINESSDOCUMENTID='L2'");
  const nlohmann::json request = {
      {"i_sResultFor",
       "<processresultrequest><generalhours><h interactionon='A' interactionid='1'/>"
       "<h interactionon='A' interactionid='2'/></generalhours></processresultrequest>"},
      {"i_sEmployee", "E"}};
  const std::string expected =
      "<businessdocuments><generalhours><hour lineid='L1' result='5' error='' new='42' />"
      "<hour lineid='L2' result='10' error='Fa\xEF\xBF\xBD' new='0' /></generalhours>"
      "</businessdocuments>";

  const auto response = Post("GetProcessResult", request, settings_.shared_secret);
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status, 200) << response->body;
  const nlohmann::json http_answer = nlohmann::json::parse(response->body, nullptr, false);
  ASSERT_FALSE(http_answer.is_discarded()) << response->body;
  EXPECT_EQ(http_answer["o_vResult"], expected);

  nlohmann::json direct = request;
  direct["i_sDSNString"] = dsn_;
  const fs::path request_file = folder_ / "request.json";
  std::ofstream(request_file) << direct.dump();
  const fs::path answer_file = folder_ / "answer.json";
  const std::string command = std::string(TQS_HOST_PROGRAM) + " call GetProcessResult" +
                              " --components '" + (folder_ / "none.xml").string() + "' <'" +
                              request_file.string() + "' >'" + answer_file.string() + "'";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::ifstream answer_stream(answer_file);
  const std::string answer_text{std::istreambuf_iterator<char>(answer_stream), {}};
  const nlohmann::json host_answer = nlohmann::json::parse(answer_text, nullptr, false);
  ASSERT_FALSE(host_answer.is_discarded()) << answer_text;
  EXPECT_EQ(host_answer["o_vResult"], expected);
}

// A huge value quoted back in an error comes back as an excerpt of whole characters: the
// answers stay a few hundred bytes whatever the request held.
TEST_P(HttpHostTest, ErrorsQuoteAnExcerptOfAHugeValue) {
  std::string huge = "a";
  while (huge.size() < (10u << 20)) huge += "\xE2\x82\xAC";  // the euro sign
  ASSERT_EQ(huge.size(), 10u << 20);
  const std::string kept = "a" + std::string(huge, 1, 66 * 3);  // 199 bytes: no sign cut
  const std::string marker = "... (10485760 bytes)";

  // The method's own answer (no such login): o_vErrorDetails.
  auto response =
      Post("getJobSheets", {{"i_sLogin", huge}, {"i_sJobSheets", "<x/>"}}, settings_.shared_secret);
  ASSERT_TRUE(response);
  EXPECT_LT(response->body.size(), 1000u);
  const std::string details = nlohmann::json::parse(response->body)["o_vErrorDetails"];
  EXPECT_NE(details.find("'" + kept + marker + "'"), std::string::npos) << details;
  EXPECT_TRUE(IsValidUtf8(details));

  // A raised error: the JSON error answer.
  response = Post("returnDate", {{"i_sDate", huge}}, settings_.shared_secret);
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status, 500);
  EXPECT_LT(response->body.size(), 1000u);
  const std::string description = nlohmann::json::parse(response->body)["error"]["description"];
  EXPECT_NE(description.find(kept + marker), std::string::npos) << description;

  // A request the host refuses before calling: an unknown parameter named by the caller.
  response =
      Post("returnDate", {{"i_sDate", "20261208T120000"}, {huge, 1}}, settings_.shared_secret);
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status, 400);
  EXPECT_LT(response->body.size(), 1000u);
  EXPECT_NE(response->body.find(marker), std::string::npos) << response->body;

  // A short value is quoted whole, as before.
  response = Post("returnDate", {{"i_sDate", "2026x208T120000"}}, settings_.shared_secret);
  ASSERT_TRUE(response);
  EXPECT_NE(response->body.find("'2026x208T120000'"), std::string::npos) << response->body;
  EXPECT_EQ(response->body.find("bytes)"), std::string::npos) << response->body;
}

// Stopping is never lost: asked for before the server serves, or while it starts on another
// thread, Serve() returns at once. Each round must end within the limit; a lost stop would
// leave Serve() waiting for connections.
TEST(HttpServerStopTest, AStopBeforeOrDuringStartUpEndsServe) {
  HostSettings settings;
  settings.port = 0;
  settings.shared_secret = "0123456789abcdef";
  automation::ComponentRegistry components;
  const auto serve_ends = [](HttpServer& server) {
    auto served = std::async(std::launch::async, [&] { server.Serve(); });
    const bool ended = served.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    if (!ended) server.Stop();  // the library's own stop, so that the test can end
    return ended;
  };

  {
    HttpServer server(settings, components);
    server.Stop();
    const int port = server.Bind();
    EXPECT_TRUE(serve_ends(server));
    // The socket of a server stopped before serving is closed, not left taking connections.
    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(std::chrono::seconds(2));
    EXPECT_FALSE(client.Get("/health"));
  }
  for (int round = 0; round < 50; ++round) {
    HttpServer server(settings, components);
    server.Bind();
    std::thread stopper([&] {
      if (round % 2 == 1) std::this_thread::sleep_for(std::chrono::microseconds(50 * round));
      server.Stop();
    });
    EXPECT_TRUE(serve_ends(server)) << "round " << round;
    stopper.join();
  }
  {
    HttpServer server(settings, components);
    const int port = server.Bind();
    std::thread serving([&] { server.Serve(); });
    httplib::Client client("127.0.0.1", port);
    // Serving until stopped (on no database: the health check answers 503).
    EXPECT_EQ(client.Get("/health")->status, 503);
    server.Stop();
    server.Stop();  // a second stop changes nothing
    serving.join();
  }
}

// A host started on the address another one serves on is refused with a clear reason instead
// of sharing the address.
TEST(HttpServerStopTest, AnAddressInUseIsRefused) {
  HostSettings settings;
  settings.port = 0;
  settings.shared_secret = "0123456789abcdef";
  automation::ComponentRegistry components;
  HttpServer first(settings, components);
  settings.port = first.Bind();
  std::thread serving([&] { first.Serve(); });
  HttpServer second(settings, components);
  try {
    second.Bind();
    ADD_FAILURE() << "a second server bound the address in use";
  } catch (const Error& error) {
    EXPECT_NE(std::string(error.description()).find("in use"), std::string::npos)
        << error.description();
  }
  first.Stop();
  serving.join();
  // Once the first has stopped, the address is free again (connections in TIME_WAIT aside).
  HttpServer third(settings, components);
  EXPECT_EQ(third.Bind(), settings.port);
  third.Stop();
  third.Serve();
}

// Bounded load on loopback: concurrent uploads (with re-sent documents) and result requests;
// every request is answered without error, and afterwards every document is stored exactly once
// with numbers 1..n per employee.
TEST_P(HttpHostTest, ConcurrentRequestsLoseAndDuplicateNothing) {
  constexpr int kClients = 8;
  constexpr int kRequestsPerClient = 15;
  std::atomic<int> failures = 0;
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      const std::string employee = "E" + std::to_string(c % 4);
      for (int i = 0; i < kRequestsPerClient; ++i) {
        // Clients c and c+4 share an employee and send the same documents: conflicts, not rows.
        auto response =
            Post("StoreOutboxContent",
                 {{"i_sOutboxContent", Outbox(std::to_string(i))}, {"i_sEmployee", employee}},
                 settings_.shared_secret);
        // A document that could not be stored says so in its feedback (errortype "normal");
        // a re-sent one is a "conflict" and fine.
        if (!response || response->status != 200 ||
            response->body.find("normal") != std::string::npos) {
          ++failures;
        }
        response = Post("GetProcessResult",
                        {{"i_sResultFor",
                          "<processresultrequest><jobsheets><j interactionon='D1' "
                          "interactionid='1'/></jobsheets></processresultrequest>"},
                         {"i_sEmployee", employee}},
                        settings_.shared_secret);
        if (!response || response->status != 200) ++failures;
      }
    });
  }
  for (auto& client : clients) client.join();
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM CLIENTSERVERINTERACTION"),
            std::to_string(4 * kRequestsPerClient));
  EXPECT_EQ(Scalar("SELECT COUNT(DISTINCT EMPLOYEEID || '/' || BUSINESSDOCUMENTID) FROM "
                   "CLIENTSERVERINTERACTION"),
            std::to_string(4 * kRequestsPerClient));
  EXPECT_EQ(Scalar("SELECT COUNT(DISTINCT EMPLOYEEID) FROM CLIENTSERVERINTERACTION"), "4");
  // Gap-free: per employee the numbers are exactly 1..count.
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM (SELECT EMPLOYEEID FROM CLIENTSERVERINTERACTION "
                   "GROUP BY EMPLOYEEID HAVING MIN(INTERACTIONID) <> 1 OR "
                   "MAX(INTERACTIONID) <> COUNT(*) OR COUNT(DISTINCT INTERACTIONID) <> COUNT(*) "
                   "OR COUNT(*) <> " +
                   std::to_string(kRequestsPerClient) + ") AS faulty"),
            "0");
}

}  // namespace
}  // namespace tqs::server::host
