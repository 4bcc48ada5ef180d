#include "server/interaction_records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <set>
#include <thread>
#include <vector>

#include "admin/installation.h"
#include "admin/users.h"
#include "common/error.h"
#include "server/thread_connection.h"
#include "server/user_defaults.h"
#include "tests/server/server_database_fixture.h"

namespace tqs::server {
namespace {

class InteractionRecordsTest : public testing::ServerDatabaseTest {
 protected:
  void SetUp() override {
    ServerDatabaseTest::SetUp();
    if (IsSkipped()) return;
    ASSERT_TRUE(document_.load_string("<jobsheet id='4711_0'><note>a &amp; b</note></jobsheet>"));
    state_.set_connection_string(dsn_);
    std::string error;
    ASSERT_TRUE(state_.OpenConnection(error)) << error;
  }
  void TearDown() override {
    state_.DropConnection();
    ServerDatabaseTest::TearDown();
  }

  DocumentIdentity JobSheet(std::string employee, InteractionName name, std::string on,
                            std::string id) {
    return {std::move(employee), name, BusinessDocumentType::kJobSheet, std::move(on),
            std::move(id)};
  }

  std::int32_t Store(const DocumentIdentity& identity) {
    std::int32_t id = 0;
    std::string error;
    UploadTransaction upload(state_, {identity.scope()});
    EXPECT_FALSE(StoreNumberedInteraction(upload, identity, document_.first_child(), id, error))
        << error;
    EXPECT_TRUE(upload.Commit(error)) << error;
    return id;
  }

  ThreadConnection state_;
  pugi::xml_document document_;
};

TQS_INSTANTIATE_FOR_BACKENDS(InteractionRecordsTest);

TEST_P(InteractionRecordsTest, NumberingPerEmployeeTypeAndUploadWhateverTheName) {
  std::string error;
  EXPECT_EQ(NextInteractionId(state_, "E1", BusinessDocumentType::kJobSheet, "20261208", error), 1);

  EXPECT_EQ(Store(JobSheet("E1", InteractionName::kServiceOrderRdp, "20261208", "4711_0")), 1);
  EXPECT_EQ(Store(JobSheet("E1", InteractionName::kActivityRdc, "20261208", "4712_0")), 2);
  // Another upload marker, employee or document type starts afresh.
  EXPECT_EQ(Store(JobSheet("E1", InteractionName::kServiceOrderRdp, "20261209", "4711_0")), 1);
  EXPECT_EQ(Store(JobSheet("E2", InteractionName::kServiceOrderRdp, "20261208", "4711_0")), 1);
  EXPECT_EQ(Store({"E1", InteractionName::kGeneralHourLine, BusinessDocumentType::kGeneralHourLine,
                   "20261208", "H1"}),
            1);
  EXPECT_EQ(NextInteractionId(state_, "E1", BusinessDocumentType::kJobSheet, "20261208", error), 3);

  // The stored row is pending and holds the document as sent.
  EXPECT_EQ(Scalar("SELECT INTERACTIONSTATUS FROM CLIENTSERVERINTERACTION WHERE "
                   "BUSINESSDOCUMENTID='4712_0'"),
            "5");
  EXPECT_EQ(Scalar("SELECT BUSINESSDOCUMENTCONTENTS FROM CLIENTSERVERINTERACTION WHERE "
                   "BUSINESSDOCUMENTID='4712_0'"),
            "<jobsheet id=\"4711_0\"><note>a &amp; b</note></jobsheet>");
  EXPECT_EQ(Scalar("SELECT INTERACTIONNAME FROM CLIENTSERVERINTERACTION WHERE "
                   "BUSINESSDOCUMENTID='4712_0'"),
            "25");
  EXPECT_EQ(Scalar("SELECT INTERACTIONRESULT FROM CLIENTSERVERINTERACTION WHERE "
                   "BUSINESSDOCUMENTID='4712_0'"),
            "<null>");
}

TEST_P(InteractionRecordsTest, DuplicateTestMatchesTheWholeIdentity) {
  const DocumentIdentity stored =
      JobSheet("O'Neil", InteractionName::kServiceOrderRdp, "2026'12", "47'11_0");
  ASSERT_EQ(Store(JobSheet("O'Neil", InteractionName::kActivityRdp, "2026'12", "1_0")), 1);
  ASSERT_EQ(Store(stored), 2);

  std::int32_t id = -5;
  std::string error;
  EXPECT_EQ(FindInteraction(state_, stored, id, error), 1) << error;
  EXPECT_EQ(id, 2);

  auto other_name = stored;
  other_name.name = InteractionName::kServiceOrderRdc;
  auto other_document = stored;
  other_document.document_id = "47'11_1";
  auto other_type = stored;
  other_type.type = BusinessDocumentType::kServiceInspection;
  for (const auto& identity : {other_name, other_document, other_type}) {
    id = -5;
    EXPECT_EQ(FindInteraction(state_, identity, id, error), 0);
    EXPECT_EQ(id, 0);
  }
}

TEST_P(InteractionRecordsTest, ResultsAreVisibleOnlyOnceFinished) {
  for (const char* id : {"A", "B", "C", "D", "E"}) {
    Store(JobSheet("E1", InteractionName::kServiceOrderRdp, "ON", id));
  }
  auto connection = Connect();
  connection->Execute("UPDATE CLIENTSERVERINTERACTION SET INTERACTIONRESULT='<r>B</r>', "
                      "INTERACTIONSTATUS=10 WHERE BUSINESSDOCUMENTID='B'");
  connection->Execute("UPDATE CLIENTSERVERINTERACTION SET INTERACTIONRESULT='<r>C</r>', "
                      "INTERACTIONSTATUS=15 WHERE BUSINESSDOCUMENTID='C'");
  connection->Execute("UPDATE CLIENTSERVERINTERACTION SET INTERACTIONRESULT='<r>D</r>', "
                      "INTERACTIONSTATUS=NULL WHERE BUSINESSDOCUMENTID='D'");
  connection->Execute("UPDATE CLIENTSERVERINTERACTION SET INTERACTIONRESULT=NULL, "
                      "INTERACTIONSTATUS=10 WHERE BUSINESSDOCUMENTID='E'");
  connection->Execute("UPDATE CLIENTSERVERINTERACTION SET INTERACTIONRESULT='<r>A</r>' "
                      "WHERE BUSINESSDOCUMENTID='A'");

  struct Case {
    std::int32_t id;
    const char* expected;
  } cases[] = {{1, ""}, {2, "<r>B</r>"}, {3, "<r>C</r>"}, {4, ""}, {5, ""}, {6, ""}};
  for (const Case& c : cases) {
    std::string result = "stale", error;
    EXPECT_FALSE(
        GetInteractionResult(state_, "E1", "ON", BusinessDocumentType::kJobSheet, c.id, result,
                             error));
    EXPECT_EQ(result, c.expected) << "interaction " << c.id;
  }
}

TEST_P(InteractionRecordsTest, ConnectionLifeCycle) {
  ThreadConnection state;
  state.set_connection_string(dsn_);
  EXPECT_THROW(state.CloseConnection(), Error);  // none held

  // Any name but "Varnex" creates the connection without opening it: operations then fail.
  state.EnsureConnection("varnex");
  EXPECT_TRUE(state.HoldsConnection());
  std::int32_t id = 0;
  std::string error;
  EXPECT_EQ(FindInteraction(state, JobSheet("E1", InteractionName::kServiceOrderRdp, "ON", "X"),
                            id, error),
            -1);
  EXPECT_NE(error.find("closed or invalid"), std::string::npos) << error;
  std::string result;
  EXPECT_TRUE(
      GetInteractionResult(state, "E1", "ON", BusinessDocumentType::kJobSheet, 1, result, error));
  EXPECT_THROW(state.CloseConnection(), Error);
  EXPECT_FALSE(state.HoldsConnection());

  state.EnsureConnection("Varnex");
  state.EnsureConnection("Varnex");  // an open connection is kept
  EXPECT_EQ(FindInteraction(state, JobSheet("E1", InteractionName::kServiceOrderRdp, "ON", "X"),
                            id, error),
            0)
      << error;
  EXPECT_NO_THROW(state.CloseConnection());

  // A connection string that cannot be opened: EnsureConnection reports nothing, OpenConnection
  // hands over the provider's message.
  state.set_connection_string("Provider=SQLite;Data Source=" + (folder_ / "missing.db").string());
  state.EnsureConnection("Varnex");
  EXPECT_FALSE(state.HoldsConnection());
  EXPECT_FALSE(state.OpenConnection(error));
  EXPECT_NE(error.find("missing.db"), std::string::npos) << error;
  EXPECT_FALSE(state.HoldsConnection());
  state.set_connection_string("Provider=Nothing;Data Source=x");
  EXPECT_FALSE(state.OpenConnection(error));
  EXPECT_NE(error.find("Nothing"), std::string::npos) << error;
}

TEST_P(InteractionRecordsTest, InsertFailureIsReportedNotThrown) {
  auto connection = Connect();
  connection->Execute("DROP TABLE CLIENTSERVERINTERACTION");
  std::string error;
  EXPECT_TRUE(InsertInteraction(state_, JobSheet("E1", InteractionName::kServiceOrderRdp, "ON",
                                                 "X"),
                                1, document_.first_child(), error));
  // The provider's message names the table (PostgreSQL in lower case).
  std::string upper = error;
  std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
  EXPECT_NE(upper.find("CLIENTSERVERINTERACTION"), std::string::npos) << error;
  EXPECT_EQ(NextInteractionId(state_, "E1", BusinessDocumentType::kJobSheet, "ON", error), -1);
  std::string result;
  EXPECT_TRUE(
      GetInteractionResult(state_, "E1", "ON", BusinessDocumentType::kJobSheet, 1, result, error));
}

TEST_P(InteractionRecordsTest, ConcurrentUploadsNeverShareANumber) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 25;
  std::vector<std::vector<std::int32_t>> ids(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      ThreadConnection& state = ThreadConnection::ForCurrentThread();
      state.set_connection_string(dsn_);
      std::string error;
      ASSERT_TRUE(state.OpenConnection(error)) << error;
      for (int i = 0; i < kPerThread; ++i) {
        std::int32_t id = 0;
        const auto identity = JobSheet("E1", InteractionName::kServiceOrderRdp, "ON",
                                       std::to_string(t) + "_" + std::to_string(i));
        UploadTransaction upload(state, {identity.scope()});
        ASSERT_FALSE(StoreNumberedInteraction(upload, identity, document_.first_child(), id, error))
            << error;
        ASSERT_TRUE(upload.Commit(error)) << error;
        ids[t].push_back(id);
      }
      state.CloseConnection();
    });
  }
  for (auto& thread : threads) thread.join();

  std::vector<std::int32_t> all;
  for (const auto& list : ids) all.insert(all.end(), list.begin(), list.end());
  std::sort(all.begin(), all.end());
  std::vector<std::int32_t> expected(kThreads * kPerThread);
  std::iota(expected.begin(), expected.end(), 1);
  EXPECT_EQ(all, expected);
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM CLIENTSERVERINTERACTION"),
            std::to_string(kThreads * kPerThread));
}

TEST_P(InteractionRecordsTest, LoginLookUp) {
  admin::AddUser(dsn_, "o'brien", "1001", "BC01");
  admin::AddUser(dsn_, "smith", "1002", "BC02");
  auto connection = Connect();
  const UserDefaults user = LookUpLogin(*connection, "o'brien");
  EXPECT_EQ(user.employee, "1001");
  EXPECT_EQ(user.bus_component, "BC01");
  EXPECT_EQ(LookUpLogin(*connection, "smith").employee, "1002");
  try {
    LookUpLogin(*connection, "nobody");
    FAIL() << "a login without a row must fail";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), error_number::kNoCurrentRecord);
  }
  EXPECT_THROW(admin::AddUser(dsn_, "smith", "9", "X"), Error);
}

}  // namespace
}  // namespace tqs::server
