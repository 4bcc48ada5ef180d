// The operator's side of documents the broker leaves waiting: the counts of status, the listing,
// and the requeue and resolve decisions with their audit entries and the pass lock.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <tuple>

#include "common/pass_lock.h"
#include "common/text.h"
#include "platform/automation/component_registry.h"
#include "platform/db/recordset.h"
#include "platform/xml/xml.h"
#include "server/document_decisions.h"
#include "server/jobsheet.h"
#include "server/pending_documents.h"
#include "server/queue_health.h"
#include "tests/server/server_database_fixture.h"
#include "tests/support/error_testing.h"
#include "tests/support/fixed_clock.h"

namespace tqs::server {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

// One interaction row; unset attempt columns stay NULL.
struct Row {
  std::string employee;
  int type = 5;
  int status = 5;
  std::optional<int> attempts;
  std::optional<int> attempt_open;
  std::optional<std::string> last_error;
  std::optional<std::string> result;
};

class OperatorDocumentsTest : public testing::ServerDatabaseTest {
 protected:
  void SetUp() override {
    ServerDatabaseTest::SetUp();
    if (IsSkipped()) return;
    connection_ = Connect();
    fresh_ = Add({.employee = "A"});
    in_doubt_ = Add({.employee = "A", .attempts = 1, .attempt_open = 1});
    // In doubt with errors of earlier attempts: in doubt, not failing.
    in_doubt_failed_before_ = Add({.employee = "B",
                                   .type = 10,
                                   .attempts = 4,
                                   .attempt_open = 1,
                                   .last_error = "timeout",
                                   .result = "<hour lineid='L1' result='5' error='' new='7' />"});
    failing_ = Add({.employee = "B",
                    .type = 15,
                    .attempts = 3,
                    .attempt_open = 0,
                    .last_error = "ERP refused the inspection\nat line 2"});
    // Not yet failing repeatedly: too few attempts, or no error.
    Add({.employee = "A", .type = 10, .attempts = 2, .attempt_open = 0, .last_error = "e"});
    Add({.employee = "A", .attempts = 5, .attempt_open = 0});
    // Finished rows count as neither, whatever their attempt columns say.
    finished_ = Add({.employee = "A", .status = 10, .attempts = 1, .attempt_open = 1});
    Add({.employee = "B", .status = 15, .attempts = 3, .last_error = "rejected"});
  }

  std::int64_t Add(const Row& row) {
    const int id = ++rows_;
    const auto or_null = [](const auto& value) {
      if (!value) return std::string("NULL");
      if constexpr (std::is_same_v<std::decay_t<decltype(*value)>, std::string>) {
        return QuoteSql(*value);
      } else {
        return std::to_string(*value);
      }
    };
    connection_->Execute(
        "INSERT INTO CLIENTSERVERINTERACTION (EMPLOYEEID, BUSINESSDOCUMENTTYPE, INTERACTIONNAME, "
        "INTERACTIONON, INTERACTIONID, BUSINESSDOCUMENTID, BUSINESSDOCUMENTCONTENTS, "
        "INTERACTIONSTATUS, ATTEMPTCOUNT, ATTEMPTSTARTEDON, ATTEMPTOPEN, LASTERROR, "
        "INTERACTIONRESULT) VALUES (" +
        QuoteSql(row.employee) + ", " + std::to_string(row.type) + ", 30, 'D1', " +
        std::to_string(id) + ", 'doc" + std::to_string(id) + "', '<doc n=''" + std::to_string(id) +
        "''/>', " + std::to_string(row.status) + ", " + or_null(row.attempts) + ", " +
        (row.attempts ? "'2026-03-01 10:00:0" + std::to_string(id % 10) + "'" : "NULL") + ", " +
        or_null(row.attempt_open) + ", " + or_null(row.last_error) + ", " + or_null(row.result) +
        ")");
    return std::stoll(Scalar("SELECT MAX(INTERACTIONKEY) FROM CLIENTSERVERINTERACTION"));
  }

  std::string Column(const std::string& column, std::int64_t key) const {
    return Scalar("SELECT " + column +
                  " FROM CLIENTSERVERINTERACTION WHERE INTERACTIONKEY = " + std::to_string(key));
  }

  static std::vector<std::int64_t> Keys(const std::vector<DocumentSummary>& documents) {
    std::vector<std::int64_t> keys;
    for (const auto& document : documents) keys.push_back(document.key);
    return keys;
  }

  // Runs the decision, returning its lines as "KEY changed|skipped: text".
  std::vector<std::string> Apply(DecisionRequest request) {
    request.operator_name = "jdoe";
    std::vector<std::string> lines;
    ApplyDecision(dsn_, request, clock_, [&lines](const DecisionLine& line) {
      lines.push_back(std::to_string(line.key) + (line.changed ? " changed: " : " skipped: ") +
                      line.text);
    });
    return lines;
  }

  std::string Line(std::int64_t key, const std::string& outcome) const {
    return std::to_string(key) + " " + outcome;
  }

  std::string AuditRows() const {
    auto rs = db::Recordset::Open(
        "SELECT OPERATOR, ACTION, INTERACTIONKEY, DETAILS FROM OPERATORACTIONS "
        "ORDER BY ACTIONKEY",
        *connection_, db::CursorType::kForwardOnly, db::LockType::kReadOnly);
    std::string text;
    for (; !rs->IsEOF(); rs->MoveNext()) {
      text += rs->Field(0).ToTextOrEmpty() + "|" + rs->Field(1).ToTextOrEmpty() + "|" +
              rs->Field(2).ToTextOrEmpty() + "|" + rs->Field(3).ToTextOrEmpty() + "\n";
    }
    return text;
  }

  std::unique_ptr<db::Connection> connection_;
  test_support::FixedClock clock_{test_support::OperatorTestNow()};
  int rows_ = 0;
  std::int64_t fresh_ = 0, in_doubt_ = 0, in_doubt_failed_before_ = 0, failing_ = 0, finished_ = 0;
};

TQS_INSTANTIATE_FOR_BACKENDS(OperatorDocumentsTest);

TEST_P(OperatorDocumentsTest, StatusCountsAndListsTheDocumentsThatWaitForAnOperator) {
  const server::QueueHealth health = server::ReadQueueHealth(*connection_);
  EXPECT_EQ(health.in_doubt, 2);
  EXPECT_EQ(health.repeatedly_failing, 1);
  EXPECT_EQ(ToJson(health)["in_doubt"], 2);
  EXPECT_EQ(ToJson(health)["repeatedly_failing"], 1);
  const std::string status = server::FormatQueueHealth(health);
  EXPECT_THAT(status, HasSubstr("documents in doubt: 2\n"));
  EXPECT_THAT(status, HasSubstr("repeatedly failing documents: 1\n"));
  EXPECT_THAT(status, HasSubstr("TQSRemoteAdmin documents --in-doubt"));
  EXPECT_THAT(status, HasSubstr("TQSRemoteAdmin documents --failing"));

  const auto all = ListPendingDocuments(*connection_, {});
  EXPECT_THAT(Keys(all), ElementsAre(in_doubt_, in_doubt_failed_before_, failing_));
  const DocumentSummary& failing = all[2];
  EXPECT_EQ(failing.employee, "B");
  EXPECT_EQ(failing.type, 15);
  EXPECT_EQ(failing.document_id, "doc4");
  EXPECT_EQ(failing.attempts, 3);
  EXPECT_EQ(failing.last_error, "ERP refused the inspection\nat line 2");
  EXPECT_FALSE(failing.in_doubt);
  EXPECT_TRUE(failing.received_on);
  EXPECT_TRUE(all[0].in_doubt);
  EXPECT_TRUE(all[1].in_doubt);
  EXPECT_EQ(ToJson(all[0])["attempt_started_on"], "2026-03-01 10:00:02");
  EXPECT_EQ(ToJson(failing)["type_name"], "service inspection");

  EXPECT_THAT(Keys(ListPendingDocuments(*connection_, {.in_doubt = true})),
              ElementsAre(in_doubt_, in_doubt_failed_before_));
  EXPECT_THAT(Keys(ListPendingDocuments(*connection_, {.failing = true})), ElementsAre(failing_));
  EXPECT_THAT(Keys(ListPendingDocuments(*connection_, {.employee = "B"})),
              ElementsAre(in_doubt_failed_before_, failing_));
  EXPECT_THAT(Keys(ListPendingDocuments(*connection_, {.type = 10})),
              ElementsAre(in_doubt_failed_before_));
  EXPECT_THAT(Keys(ListPendingDocuments(*connection_, {.employee = "O'Neil"})), ElementsAre());
  EXPECT_THAT(Keys(ListPendingDocuments(*connection_, {}, 2)),
              ElementsAre(in_doubt_, in_doubt_failed_before_));

  // The table: one line per document and the header, the error cut to its first line.
  const std::string table = FormatDocumentList(all);
  EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 4) << table;
  EXPECT_THAT(table, HasSubstr("ERP refused the inspection..."));
  EXPECT_THAT(table, Not(HasSubstr("at line 2")));

  const auto detail = ReadDocument(*connection_, in_doubt_failed_before_);
  ASSERT_TRUE(detail);
  EXPECT_EQ(detail->status, 5);
  EXPECT_TRUE(detail->summary.in_doubt);
  EXPECT_EQ(detail->contents, "<doc n='3'/>");
  EXPECT_EQ(detail->result, "<hour lineid='L1' result='5' error='' new='7' />");
  const std::string shown = FormatDocumentDetail(*detail);
  EXPECT_THAT(shown, HasSubstr("5 (pending, in doubt)"));
  EXPECT_THAT(shown, HasSubstr("<doc n='3'/>"));
  EXPECT_EQ(ToJson(*detail)["result"], "<hour lineid='L1' result='5' error='' new='7' />");
  EXPECT_FALSE(ReadDocument(*connection_, 999999));
}

TEST_P(OperatorDocumentsTest, StatusGivesNoHintWhenNothingWaitsForAnOperator) {
  connection_->Execute("UPDATE CLIENTSERVERINTERACTION SET ATTEMPTOPEN = 0, LASTERROR = NULL");
  const server::QueueHealth health = server::ReadQueueHealth(*connection_);
  EXPECT_EQ(health.in_doubt, 0);
  EXPECT_EQ(health.repeatedly_failing, 0);
  EXPECT_THAT(server::FormatQueueHealth(health), Not(HasSubstr("TQSRemoteAdmin documents")));
  EXPECT_EQ(FormatDocumentList(ListPendingDocuments(*connection_, {})),
            "No pending document is in doubt or failing repeatedly.\n");
}

TEST_P(OperatorDocumentsTest, RequeueReopensOnlyRowsInDoubtOrFailingAndAuditsEach) {
  EXPECT_THAT(Apply({.decision = Decision::kRequeue,
                     .keys = {in_doubt_, fresh_, finished_, 999999},
                     .note = "ERP shows no booking"}),
              ElementsAre(Line(in_doubt_,
                               "changed: requeued (was in doubt, 1 attempts); the "
                               "next broker pass sends it again"),
                          Line(fresh_, "skipped: neither in doubt nor failing repeatedly"),
                          Line(finished_, "skipped: no longer pending (status 10)"),
                          "999999 skipped: no such document"));
  EXPECT_EQ(Column("ATTEMPTOPEN", in_doubt_), "0");
  EXPECT_EQ(Column("INTERACTIONSTATUS", in_doubt_), "5");
  EXPECT_EQ(Column("ATTEMPTCOUNT", in_doubt_), "1");
  EXPECT_EQ(Column("ATTEMPTOPEN", in_doubt_failed_before_), "1");
  EXPECT_EQ(Column("ATTEMPTOPEN", finished_), "1");
  EXPECT_EQ(Column("ATTEMPTOPEN", fresh_), "<null>");
  EXPECT_EQ(AuditRows(), "jdoe|requeue|" + std::to_string(in_doubt_) +
                             "|attempts before: 1; last error before: none; note: ERP shows no "
                             "booking\n");

  // By selection: only employee B's row in doubt; the failing row of B is not in doubt.
  EXPECT_THAT(Apply({.decision = Decision::kRequeue,
                     .selection = server::DocumentSelection{.in_doubt = true, .employee = "B"}}),
              ElementsAre(Line(in_doubt_failed_before_,
                               "changed: requeued (was in doubt, 4 attempts); the next broker "
                               "pass sends it again")));
  EXPECT_EQ(Column("ATTEMPTOPEN", in_doubt_failed_before_), "0");
  EXPECT_EQ(Column("ATTEMPTOPEN", failing_), "0");
  EXPECT_THAT(AuditRows(), HasSubstr("jdoe|requeue|" + std::to_string(in_doubt_failed_before_) +
                                     "|attempts before: 4; last error before: timeout\n"));
  EXPECT_EQ(server::ReadQueueHealth(*connection_).in_doubt, 0);
}

TEST_P(OperatorDocumentsTest, ResolveDoneFinishesRowsAndTheLaptopGetsAWellFormedAnswer) {
  EXPECT_THAT(Apply({.decision = Decision::kResolveDone,
                     .keys = {in_doubt_, in_doubt_failed_before_, finished_}}),
              ElementsAre(Line(in_doubt_,
                               "changed: resolved as booked by the ERP (status 10; 1 "
                               "attempts)"),
                          Line(in_doubt_failed_before_,
                               "changed: resolved as booked by the ERP "
                               "(status 10; 4 attempts)"),
                          Line(finished_, "skipped: no longer pending (status 10)")));
  for (const std::int64_t key : {in_doubt_, in_doubt_failed_before_}) {
    EXPECT_EQ(Column("INTERACTIONSTATUS", key), "10") << key;
    EXPECT_EQ(Column("ATTEMPTOPEN", key), "0") << key;
  }
  auto processed_on = db::Recordset::Open(
      "SELECT PROCESSEDON FROM CLIENTSERVERINTERACTION WHERE INTERACTIONKEY = " +
          std::to_string(in_doubt_),
      *connection_, db::CursorType::kForwardOnly, db::LockType::kReadOnly);
  EXPECT_EQ(processed_on->Field(0).TryDate(), clock_.Now());
  processed_on->Close();
  EXPECT_EQ(Column("INTERACTIONRESULT", in_doubt_), "<null>");
  EXPECT_EQ(Column("INTERACTIONRESULT", in_doubt_failed_before_),
            "<hour lineid='L1' result='5' error='' new='7' />");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM OPERATORACTIONS WHERE ACTION = 'resolve-done'"), "2");

  // The laptop asks for both: the stored result comes back, the row without one is left out,
  // and the answer parses.
  automation::ComponentRegistry components;
  server::JobSheet job_sheet(components);
  for (const auto& [employee, request, expected] :
       {std::tuple{"A",
                   "<processresultrequest><jobsheets><j interactionon='D1' "
                   "interactionid='2'/></jobsheets></processresultrequest>",
                   "<businessdocuments><jobsheets></jobsheets></businessdocuments>"},
        std::tuple{"B",
                   "<processresultrequest><generalhours><h interactionon='D1' "
                   "interactionid='3'/></generalhours></processresultrequest>",
                   "<businessdocuments><generalhours><hour lineid='L1' result='5' error='' "
                   "new='7' /></generalhours></businessdocuments>"}}) {
    automation::Variant answer;
    ASSERT_TRUE(job_sheet.GetProcessResult(request, employee, dsn_, answer));
    EXPECT_EQ(answer.AsText(), expected);
    pugi::xml_document parsed;
    EXPECT_TRUE(xml::LoadXml(parsed, answer.AsText())) << answer.AsText();
  }

  // Resolving again changes nothing more.
  EXPECT_THAT(Apply({.decision = Decision::kResolveDone,
                     .selection = server::DocumentSelection{.in_doubt = true}}),
              ElementsAre());
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM OPERATORACTIONS"), "2");
}

TEST_P(OperatorDocumentsTest, RefusesWhileAPassRunsAndWhenNoDocumentIsNamed) {
  auto pass_connection = Connect();
  auto pass = PassLock::TryAcquire(dsn_, *pass_connection);
  ASSERT_TRUE(pass);
  for (const Decision decision : {Decision::kRequeue, Decision::kResolveDone}) {
    EXPECT_THAT(test_support::ErrorDescriptionOf(
                    [&] { Apply({.decision = decision, .keys = {in_doubt_}}); }),
                HasSubstr("processing pass is running"));
    EXPECT_THAT(
        test_support::ErrorDescriptionOf([&] {
          Apply({.decision = decision, .selection = server::DocumentSelection{.failing = true}});
        }),
        HasSubstr("processing pass is running"));
  }
  EXPECT_EQ(Column("ATTEMPTOPEN", in_doubt_), "1");
  EXPECT_EQ(Column("INTERACTIONSTATUS", in_doubt_), "5");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM OPERATORACTIONS"), "0");

  // Once the pass has ended, the same decision goes through.
  pass.reset();
  EXPECT_EQ(Apply({.decision = Decision::kRequeue, .keys = {in_doubt_}}).size(), 1u);
  EXPECT_EQ(Column("ATTEMPTOPEN", in_doubt_), "0");

  // Neither keys nor a kind of document: nothing is named, nothing is done.
  for (const auto& selection : {std::optional<server::DocumentSelection>{},
                                std::optional(server::DocumentSelection{.employee = "A"})}) {
    EXPECT_THAT(test_support::ErrorDescriptionOf(
                    [&] { Apply({.decision = Decision::kResolveDone, .selection = selection}); }),
                HasSubstr("Name the documents to resolve-done"));
  }
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM CLIENTSERVERINTERACTION WHERE INTERACTIONSTATUS = 10"),
            "1");
}

}  // namespace
}  // namespace tqs::server
