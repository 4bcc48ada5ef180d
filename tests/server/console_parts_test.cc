// The operator console's parts apart from HTTP: the stored secret, sessions and their expiry,
// the login throttle, the audit line and the escaping of every database text in the pages.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "common/error.h"
#include "server/host/console/audit_log.h"
#include "server/host/console/console_pages.h"
#include "server/host/console/console_sessions.h"
#include "server/host/console/login_throttle.h"
#include "server/host/console/operator_secret.h"

namespace tqs::server::host::console {
namespace {

using std::chrono::minutes;
using std::chrono::seconds;
using ::testing::HasSubstr;
using ::testing::Not;

// A clock the test moves.
struct ManualClock {
  std::chrono::steady_clock::time_point now{std::chrono::hours(1000)};
  auto Function() {
    return [this] { return now; };
  }
};

TEST(OperatorSecretTest, VerifiesOnlyTheSecretItWasMadeFrom) {
  const std::string stored = HashOperatorSecret("the operator secret", 1000);
  EXPECT_THAT(stored,
              ::testing::MatchesRegex("pbkdf2-sha256\\$1000\\$[0-9a-f]{32}\\$[0-9a-f]{64}"));
  EXPECT_TRUE(VerifyOperatorSecret("the operator secret", stored));
  EXPECT_FALSE(VerifyOperatorSecret("the operator secreT", stored));
  EXPECT_FALSE(VerifyOperatorSecret("", stored));
  EXPECT_FALSE(VerifyOperatorSecret(std::string("the operator secret\0", 20), stored));
  // A new salt each time: equal secrets do not give equal settings.
  EXPECT_NE(HashOperatorSecret("the operator secret", 1000), stored);
  EXPECT_THAT(HashOperatorSecret("x"), HasSubstr("$" + std::to_string(kSecretIterations) + "$"));

  for (const char* damaged :
       {"", "the operator secret", "pbkdf2-sha256$1000$00ff",
        "sha1$1000$00ff$00112233445566778899aabbccddeeff",
        "pbkdf2-sha256$10$00ff$00112233445566778899aabbccddeeff",
        "pbkdf2-sha256$1000x$00ff$00112233445566778899aabbccddeeff",
        "pbkdf2-sha256$1000$0g$00112233445566778899aabbccddeeff", "pbkdf2-sha256$1000$00ff$0011",
        "pbkdf2-sha256$1000$00ff$00112233445566778899aabbccddeeff$"}) {
    EXPECT_THROW(CheckStoredSecret(damaged), Error) << damaged;
    EXPECT_THROW(VerifyOperatorSecret("x", damaged), Error) << damaged;
  }
}

TEST(OperatorSecretTest, TokensAreRandomHexAndComparedWhole) {
  std::set<std::string> tokens;
  for (int i = 0; i < 100; ++i) tokens.insert(RandomHex(32));
  EXPECT_EQ(tokens.size(), 100u);
  EXPECT_THAT(*tokens.begin(), ::testing::MatchesRegex("[0-9a-f]{64}"));
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_TRUE(SameToken("abc", "abc"));
  EXPECT_FALSE(SameToken("abd", "abc"));
  EXPECT_FALSE(SameToken("ab", "abc"));
  EXPECT_FALSE(SameToken("", "abc"));
}

TEST(ConsoleSessionsTest, SessionsLiveUntilLogoutIdlenessOrTheirLifeEnds) {
  ManualClock clock;
  ConsoleSessions sessions(clock.Function());
  const ConsoleSession first = sessions.Create("192.0.2.7");
  const ConsoleSession second = sessions.Create("192.0.2.8");
  EXPECT_NE(first.id, second.id);
  EXPECT_NE(first.csrf_token, second.csrf_token);
  EXPECT_NE(first.id, first.csrf_token);
  EXPECT_EQ(first.id.size(), 64u);
  EXPECT_EQ(first.label.size(), 8u);
  ASSERT_TRUE(sessions.Find(first.id));
  EXPECT_EQ(sessions.Find(first.id)->csrf_token, first.csrf_token);
  EXPECT_FALSE(sessions.Find("not a session"));
  EXPECT_FALSE(sessions.Find(""));
  EXPECT_FALSE(sessions.Find(first.id.substr(0, 63)));

  // A notice is shown once.
  sessions.SetNotice(first.id, {.text = "Document 7: requeued"});
  const Notice notice = sessions.TakeNotice(first.id);
  EXPECT_EQ(notice.text, "Document 7: requeued");
  EXPECT_FALSE(notice.refused);
  EXPECT_EQ(sessions.TakeNotice(first.id).text, "");
  EXPECT_EQ(sessions.TakeNotice(second.id).text, "");

  // Idle: each request restarts the idle time; a session left alone expires.
  clock.now += ConsoleSessions::kIdleLimit - minutes(1);
  EXPECT_TRUE(sessions.Find(first.id));
  clock.now += ConsoleSessions::kIdleLimit - minutes(1);
  EXPECT_TRUE(sessions.Find(first.id));
  EXPECT_FALSE(sessions.Find(second.id));

  // Logout.
  const ConsoleSession third = sessions.Create("192.0.2.9");
  sessions.End(third.id);
  EXPECT_FALSE(sessions.Find(third.id));
  sessions.End("unknown");

  // However busy, a session ends at its life limit.
  for (auto used = minutes(0); used < ConsoleSessions::kLifeLimit; used += minutes(20)) {
    clock.now += minutes(20);
    sessions.Find(first.id);
  }
  EXPECT_FALSE(sessions.Find(first.id));
}

TEST(ConsoleSessionsTest, TheOldestSessionGivesWayWhenTheStoreIsFull) {
  ManualClock clock;
  ConsoleSessions sessions(clock.Function());
  const ConsoleSession oldest = sessions.Create("a");
  clock.now += seconds(1);
  const ConsoleSession next = sessions.Create("a");
  for (std::size_t i = 2; i < ConsoleSessions::kMaxSessions; ++i) sessions.Create("a");
  EXPECT_TRUE(sessions.Find(oldest.id));
  sessions.Create("a");
  EXPECT_FALSE(sessions.Find(oldest.id));
  EXPECT_TRUE(sessions.Find(next.id));
}

TEST(LoginThrottleTest, GuessesFromOneAddressAndFromAllAreSlowedDown) {
  ManualClock clock;
  LoginThrottle throttle(clock.Function());
  for (int i = 0; i < LoginThrottle::kAllowedFailures; ++i) {
    EXPECT_EQ(throttle.WaitFor("192.0.2.7").count(), 0) << i;
    throttle.RecordFailure("192.0.2.7");
    clock.now += seconds(1);
  }
  const seconds wait = throttle.WaitFor("192.0.2.7");
  EXPECT_GT(wait.count(), 0);
  EXPECT_LE(wait, LoginThrottle::kWindow);
  EXPECT_EQ(throttle.WaitFor("192.0.2.8").count(), 0);  // other addresses may try
  clock.now += wait;
  EXPECT_EQ(throttle.WaitFor("192.0.2.7").count(), 0);  // the oldest failure has aged out

  // A success clears the address's count.
  throttle.RecordFailure("192.0.2.7");
  throttle.RecordSuccess("192.0.2.7");
  EXPECT_EQ(throttle.WaitFor("192.0.2.7").count(), 0);

  // Many addresses together.
  clock.now += LoginThrottle::kWindow;
  for (int i = 0; i < LoginThrottle::kGlobalFailures; ++i) {
    throttle.RecordFailure("198.51.100." + std::to_string(i));
  }
  EXPECT_GT(throttle.WaitFor("203.0.113.1").count(), 0);
  clock.now += LoginThrottle::kWindow;
  EXPECT_EQ(throttle.WaitFor("203.0.113.1").count(), 0);
}

TEST(AuditLogTest, OneLinePerEntryWithoutControlCharacters) {
  AuditEntry entry{.at = std::chrono::sys_days{std::chrono::year{2026} / 12 / 10} +
                         std::chrono::hours{6} + minutes{40} + seconds{12},
                   .client = "192.0.2.7",
                   .session_label = "1a2b3c4d",
                   .action = "requeue",
                   .key = 12,
                   .outcome = "changed: requeued\nforged line\r\x1b[31m"};
  EXPECT_EQ(AuditLine(entry),
            "2026-12-10T06:40:12Z 192.0.2.7 session=1a2b3c4d requeue key=12 changed: requeued "
            "forged line  [31m");
  entry.session_label.clear();
  entry.key.reset();
  entry.action = "login-refused";
  entry.outcome = "wrong operator secret";
  EXPECT_EQ(AuditLine(entry),
            "2026-12-10T06:40:12Z 192.0.2.7 session=- login-refused key=- wrong operator secret");

  const AuditLog unwritable("/nonexistent-folder/console-audit.log");
  EXPECT_THROW(unwritable.CheckWritable(), Error);
  EXPECT_THROW(unwritable.Write(entry), Error);
}

TEST(ConsolePagesTest, DatabaseTextsAreEscapedEverywhere) {
  const std::string hostile = "<script>alert(1)</script>\"'&";
  const std::string escaped = "&lt;script&gt;alert(1)&lt;/script&gt;&quot;&apos;&amp;";
  DocumentDetail document;
  document.summary = {.key = 12,
                      .employee = hostile,
                      .type = 10,
                      .document_id = hostile,
                      .attempts = 3,
                      .last_error = hostile};
  document.status = 5;
  document.contents = "<hour><remark><script>window.x = 1</script></remark></hour>";
  document.result = "<result>not <closed";
  const PageFrame frame{.csrf_token = "\"><script>", .notice = {.text = hostile, .refused = true}};
  const std::string page = DocumentPage(document, frame);
  EXPECT_THAT(page, Not(HasSubstr("<script>alert")));
  EXPECT_THAT(page, Not(HasSubstr("<script>window")));
  EXPECT_THAT(page, Not(HasSubstr("\"><script>")));
  EXPECT_THAT(page, HasSubstr("<dd id=\"field-employee\">" + escaped + "</dd>"));
  EXPECT_THAT(page, HasSubstr("<dd id=\"field-last-error\">" + escaped + "</dd>"));
  EXPECT_THAT(page, HasSubstr("&lt;hour&gt;\n  &lt;remark&gt;\n    &lt;script&gt;window.x = 1"));
  EXPECT_THAT(page, HasSubstr("&lt;result&gt;not &lt;closed"));  // as stored: not well-formed
  EXPECT_THAT(page, HasSubstr("id=\"requeue\""));                // failing: both actions offered
  EXPECT_THAT(page, HasSubstr("id=\"resolve\""));
  EXPECT_THAT(page, HasSubstr("pending, failing repeatedly"));
  EXPECT_THAT(page, HasSubstr("<p class=\"notice refused\" role=\"status\" id=\"notice\">" +
                              escaped + "</p>"));
  // The only scripts are the console's own file.
  EXPECT_EQ(page.find("<script"), page.find("<script src=\"/console/assets/console.js\""));

  document.status = 10;
  const std::string processed = DocumentPage(document, frame);
  EXPECT_THAT(processed, Not(HasSubstr("id=\"requeue\"")));
  EXPECT_THAT(processed, Not(HasSubstr("id=\"resolve\"")));

  QueueHealth queue;
  queue.types.push_back({.type = 10, .name = "general hours line", .pending = 2});
  queue.busiest_employees.push_back({hostile, 2});
  const std::string overview = OverviewPage(queue, {.csrf_token = "t"});
  EXPECT_THAT(overview, HasSubstr("<td>" + escaped + "</td>"));
  EXPECT_THAT(overview, Not(HasSubstr("<script>alert")));

  ListFilter filter{.kind = "failing"};
  filter.selection.employee = hostile;
  const std::string list = DocumentListPage({document.summary}, filter, 500, {.csrf_token = "t"});
  EXPECT_THAT(list, Not(HasSubstr("<script>alert")));
  EXPECT_THAT(list, HasSubstr("value=\"" + escaped + "\""));
  EXPECT_THAT(list, HasSubstr("<option value=\"failing\" selected>"));

  EXPECT_THAT(LoginPage(hostile), Not(HasSubstr("<script>alert")));
}

TEST(ConsolePagesTest, StoredXmlIsIndentedOrShownAsStored) {
  EXPECT_EQ(IndentedXml("<a><b x='1'>t</b><c/></a>"), "<a>\n  <b x=\"1\">t</b>\n  <c />\n</a>");
  EXPECT_EQ(IndentedXml("<a><b>"), "<a><b>");
  EXPECT_EQ(IndentedXml("plain text"), "plain text");
  EXPECT_EQ(IndentedXml(""), "");
}

}  // namespace
}  // namespace tqs::server::host::console
