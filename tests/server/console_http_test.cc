// The operator console through the HTTP host of an installation, on each backend: switched off
// without a secret, the login, the session and CSRF checks, the security headers, and an action
// that changes the row, OPERATORACTIONS and the audit log.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>

#include <fstream>
#include <iterator>
#include <thread>

#include "admin/installation.h"
#include "server/host/console/operator_secret.h"
#include "server/host/host_settings.h"
#include "server/host/http_server.h"
#include "server/host/method_table.h"
#include "server/jobsheet.h"
#include "tests/server/server_database_fixture.h"

namespace tqs::server::host {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr char kSecret[] = "the console's operator secret";
constexpr char kPolicy[] =
    "default-src 'self'; script-src 'self'; style-src 'self'; object-src 'none'; "
    "frame-ancestors 'none'; base-uri 'none'; form-action 'self'";

class ConsoleHttpTest : public testing::ServerDatabaseTest {
 protected:
  void SetUp() override {
    ServerDatabaseTest::SetUp();
    if (IsSkipped()) return;
    admin::InstallOptions options;
    options.directory = folder_ / "x";
    options.programs_folder = folder_ / "no-programs";
    options.dsn = dsn_;
    admin::Install(options, [](std::string_view) {});
    settings_ = ReadHostSettings(options.directory / "bin");
    settings_.port = 0;
    audit_log_ = folder_ / "console-audit.log";
  }
  void TearDown() override {
    if (server_) {
      server_->Stop();
      serving_.join();
    }
    ServerDatabaseTest::TearDown();
  }

  void Start(bool console_on) {
    if (console_on) settings_.console.secret_hash = console::HashOperatorSecret(kSecret, 1000);
    settings_.console.audit_log = audit_log_;
    server_ = std::make_unique<HttpServer>(settings_, components_);
    port_ = server_->Bind();
    serving_ = std::thread([this] { server_->Serve(); });
  }

  httplib::Client Client() const {
    httplib::Client client("127.0.0.1", port_);
    client.set_read_timeout(std::chrono::seconds(30));
    return client;
  }

  // Logs in; the session cookie ("tqs_console=...") or empty when refused.
  std::string LogIn(const std::string& secret) {
    auto response =
        Client().Post("/console/login", "secret=" + secret, "application/x-www-form-urlencoded");
    if (!response || response->status != 303) return "";
    const std::string cookie = response->get_header_value("Set-Cookie");
    return cookie.substr(0, cookie.find(';'));
  }

  // The CSRF token of the session's pages.
  std::string Token(const std::string& cookie) {
    auto page = Client().Get("/console/", {{"Cookie", cookie}});
    const std::string marker = "name=\"csrf\" value=\"";
    const std::size_t at = page->body.find(marker);
    return at == std::string::npos ? "" : page->body.substr(at + marker.size(), 64);
  }

  // A document of employee E1, pending and in doubt; its key.
  std::string DocumentInDoubt() {
    JobSheet job_sheet(components_);
    Call(*FindMethod("StoreOutboxContent"), job_sheet,
         {{"i_sOutboxContent",
           "<businessdocuments><generalhours><hour interactionon='D1' lineid='H1'><ctsk>T</ctsk>"
           "</hour></generalhours></businessdocuments>"},
          {"i_sEmployee", "E1"},
          {"i_sDSNString", dsn_}});
    Connect()->Execute(
        "UPDATE CLIENTSERVERINTERACTION SET ATTEMPTCOUNT = 1, ATTEMPTOPEN = 1, "
        "LASTERROR = 'killed <b>mid-call</b>' WHERE EMPLOYEEID = 'E1'");
    return Scalar("SELECT INTERACTIONKEY FROM CLIENTSERVERINTERACTION WHERE EMPLOYEEID = 'E1'");
  }

  std::string AuditText() const {
    std::ifstream in(audit_log_);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  HostSettings settings_;
  automation::ComponentRegistry components_;
  std::filesystem::path audit_log_;
  std::unique_ptr<HttpServer> server_;
  int port_ = 0;
  std::thread serving_;
};

TQS_INSTANTIATE_FOR_BACKENDS(ConsoleHttpTest);

TEST_P(ConsoleHttpTest, IsOffWithoutAnOperatorSecret) {
  Start(false);
  for (const char* path :
       {"/console", "/console/", "/console/login", "/console/assets/console.js"}) {
    auto response = Client().Get(path);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 404) << path;
  }
  EXPECT_EQ(
      Client().Post("/console/login", "secret=x", "application/x-www-form-urlencoded")->status,
      404);
  // Nothing else of the host changed.
  EXPECT_EQ(Client().Get("/health")->status, 200);
  EXPECT_EQ(Client().Get("/consoles")->status, 404);
}

TEST_P(ConsoleHttpTest, OnlyALoggedInSessionSeesThePages) {
  Start(true);
  auto response = Client().Get("/console/documents?kind=failing");
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status, 303);
  EXPECT_EQ(response->get_header_value("Location"), "/console/login");
  EXPECT_EQ(response->get_header_value("Content-Security-Policy"), kPolicy);
  EXPECT_EQ(response->get_header_value("X-Content-Type-Options"), "nosniff");
  EXPECT_EQ(response->get_header_value("Referrer-Policy"), "no-referrer");
  EXPECT_EQ(response->get_header_value("Cache-Control"), "no-store");
  EXPECT_EQ(Client().Get("/console/api/overview")->status, 401);
  EXPECT_EQ(Client().Get("/console/api/overview", {{"Cookie", "tqs_console=forged"}})->status, 401);
  // The web tier's secret is not the operator's.
  EXPECT_EQ(LogIn(settings_.shared_secret), "");
  EXPECT_EQ(Client().Put("/console/", "", "text/plain")->status, 405);

  auto refused =
      Client().Post("/console/login", "secret=wrong", "application/x-www-form-urlencoded");
  EXPECT_EQ(refused->status, 401);
  EXPECT_THAT(refused->body, HasSubstr("The operator secret is not right."));
  EXPECT_FALSE(refused->has_header("Set-Cookie"));

  auto accepted = Client().Post("/console/login", "secret=the+console%27s+operator+secret",
                                "application/x-www-form-urlencoded");
  ASSERT_EQ(accepted->status, 303);
  EXPECT_EQ(accepted->get_header_value("Location"), "/console/");
  EXPECT_THAT(accepted->get_header_value("Set-Cookie"),
              ::testing::MatchesRegex(
                  "tqs_console=[0-9a-f]{64}; Path=/console; HttpOnly; SameSite=Strict"));
  const std::string cookie = accepted->get_header_value("Set-Cookie").substr(0, 76);

  auto overview = Client().Get("/console/", {{"Cookie", cookie}});
  EXPECT_EQ(overview->status, 200);
  EXPECT_EQ(overview->get_header_value("Content-Type"), "text/html; charset=utf-8");
  EXPECT_EQ(overview->get_header_value("Content-Security-Policy"), kPolicy);
  EXPECT_THAT(overview->body, HasSubstr("Upload queue"));
  auto api = Client().Get("/console/api/overview", {{"Cookie", cookie}});
  EXPECT_EQ(api->status, 200);
  EXPECT_EQ(nlohmann::json::parse(api->body)["queue"]["in_doubt"], 0);
  EXPECT_EQ(Client().Get("/console/documents?kind=sideways", {{"Cookie", cookie}})->status, 400);
  EXPECT_EQ(Client().Get("/console/documents/999999", {{"Cookie", cookie}})->status, 404);
  EXPECT_EQ(Client().Get("/console/documents/x", {{"Cookie", cookie}})->status, 404);

  // Behind a TLS proxy the cookie is sent over TLS only.
  auto behind_tls = Client().Post("/console/login", {{"X-Forwarded-Proto", "https"}},
                                  std::string("secret=") + "the+console%27s+operator+secret",
                                  "application/x-www-form-urlencoded");
  EXPECT_THAT(behind_tls->get_header_value("Set-Cookie"), HasSubstr("; Secure"));

  // Logout ends the session.
  const std::string token = Token(cookie);
  EXPECT_EQ(Client()
                .Post("/console/logout", {{"Cookie", cookie}}, "csrf=" + token,
                      "application/x-www-form-urlencoded")
                ->status,
            303);
  EXPECT_EQ(Client().Get("/console/api/overview", {{"Cookie", cookie}})->status, 401);
  EXPECT_THAT(AuditText(), HasSubstr(" login-refused key=- wrong operator secret\n"));
  EXPECT_THAT(AuditText(), HasSubstr(" logout key=- logged out\n"));
  EXPECT_THAT(AuditText(), ::testing::Not(HasSubstr(cookie.substr(12))));
}

TEST_P(ConsoleHttpTest, ActionsNeedTheSessionsTokenAndAreAudited) {
  Start(true);
  const std::string key = DocumentInDoubt();
  const std::string cookie = LogIn(kSecret);
  ASSERT_FALSE(cookie.empty());
  const std::string token = Token(cookie);
  ASSERT_EQ(token.size(), 64u);

  auto page = Client().Get(("/console/documents/" + key).c_str(), {{"Cookie", cookie}});
  EXPECT_EQ(page->status, 200);
  EXPECT_THAT(page->body, HasSubstr("killed &lt;b&gt;mid-call&lt;/b&gt;"));
  auto list =
      Client().Get("/console/documents?kind=in-doubt&employee=E1&type=10", {{"Cookie", cookie}});
  EXPECT_THAT(list->body, HasSubstr("href=\"/console/documents/" + key + "\""));
  auto other = Client().Get("/console/documents?kind=in-doubt&employee=E2", {{"Cookie", cookie}});
  EXPECT_THAT(other->body, HasSubstr("No pending document matches."));

  const std::string path = "/console/documents/" + key + "/requeue";
  const auto post = [&](const httplib::Headers& headers, const std::string& body) {
    return Client().Post(path.c_str(), headers, body, "application/x-www-form-urlencoded")->status;
  };
  EXPECT_EQ(post({{"Cookie", cookie}}, "note=x"), 403);
  EXPECT_EQ(post({{"Cookie", cookie}}, "csrf=" + std::string(64, 'a')), 403);
  EXPECT_EQ(post({{"Cookie", cookie}}, "csrf=" + token.substr(0, 63)), 403);
  EXPECT_EQ(post({{"Cookie", cookie}, {"Origin", "https://evil.example"}}, "csrf=" + token), 403);
  EXPECT_EQ(post({}, "csrf=" + token), 303);  // no session: to the login, nothing done
  EXPECT_EQ(Scalar("SELECT ATTEMPTOPEN FROM CLIENTSERVERINTERACTION WHERE INTERACTIONKEY = " + key),
            "1");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM OPERATORACTIONS"), "0");

  // The token in a header serves as well as in the form.
  auto done = Client().Post(path.c_str(), {{"Cookie", cookie}, {"X-CSRF-Token", token}},
                            "note=ERP+checked%3A+not+booked", "application/x-www-form-urlencoded");
  EXPECT_EQ(done->status, 303);
  EXPECT_EQ(done->get_header_value("Location"), "/console/documents/" + key);
  EXPECT_EQ(Scalar("SELECT ATTEMPTOPEN FROM CLIENTSERVERINTERACTION WHERE INTERACTIONKEY = " + key),
            "0");
  EXPECT_THAT(Scalar("SELECT OPERATOR FROM OPERATORACTIONS WHERE INTERACTIONKEY = " + key),
              ::testing::MatchesRegex("console session [0-9a-f]{8} \\(127\\.0\\.0\\.1\\)"));
  EXPECT_THAT(Scalar("SELECT DETAILS FROM OPERATORACTIONS WHERE INTERACTIONKEY = " + key),
              HasSubstr("note: ERP checked: not booked"));
  EXPECT_THAT(AuditText(), ::testing::ContainsRegex(" session=[0-9a-f]{8} requeue key=" + key +
                                                    " changed: requeued \\(was in doubt"));
  // The outcome is on the next page, once; the overview's refresh does not take it.
  EXPECT_EQ(Client().Get("/console/api/overview", {{"Cookie", cookie}})->status, 200);
  EXPECT_THAT(Client().Get(done->get_header_value("Location").c_str(), {{"Cookie", cookie}})->body,
              HasSubstr("requeued (was in doubt, 1 attempts)"));

  // A second requeue is skipped (no longer in doubt), and says so.
  EXPECT_EQ(post({{"Cookie", cookie}}, "csrf=" + token), 303);
  EXPECT_THAT(AuditText(), HasSubstr("requeue key=" + key + " skipped: neither in doubt"));
  // Resolve as done.
  EXPECT_EQ(Client()
                .Post(("/console/documents/" + key + "/resolve").c_str(), {{"Cookie", cookie}},
                      "csrf=" + token, "application/x-www-form-urlencoded")
                ->status,
            303);
  EXPECT_EQ(
      Scalar("SELECT INTERACTIONSTATUS FROM CLIENTSERVERINTERACTION WHERE INTERACTIONKEY = " + key),
      "10");
  EXPECT_THAT(AuditText(), HasSubstr("resolve-done key=" + key + " changed: resolved"));
}

TEST_P(ConsoleHttpTest, ActionsAreRefusedWhenTheAuditLogCannotBeWritten) {
  audit_log_ = folder_ / "no-such-folder" / "console-audit.log";
  Start(true);
  const std::string key = DocumentInDoubt();
  const std::string cookie = LogIn(kSecret);
  ASSERT_FALSE(cookie.empty());  // a login is not refused for the log
  auto done =
      Client().Post(("/console/documents/" + key + "/requeue").c_str(), {{"Cookie", cookie}},
                    "csrf=" + Token(cookie), "application/x-www-form-urlencoded");
  EXPECT_EQ(done->status, 303);
  EXPECT_EQ(Scalar("SELECT ATTEMPTOPEN FROM CLIENTSERVERINTERACTION WHERE INTERACTIONKEY = " + key),
            "1");
  EXPECT_THAT(Client().Get(("/console/documents/" + key).c_str(), {{"Cookie", cookie}})->body,
              HasSubstr("Nothing was changed."));
}

TEST_P(ConsoleHttpTest, GuessingIsSlowedDownAndBodiesAreBounded) {
  Start(true);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(LogIn("guess" + std::to_string(i)), "");
  auto throttled = Client().Post("/console/login", std::string("secret=") + kSecret,
                                 "application/x-www-form-urlencoded");
  EXPECT_EQ(throttled->status, 429);
  EXPECT_FALSE(throttled->get_header_value("Retry-After").empty());
  EXPECT_EQ(
      Client()
          .Post("/console/login", std::string(70 * 1024, 'a'), "application/x-www-form-urlencoded")
          ->status,
      413);
}

}  // namespace
}  // namespace tqs::server::host
