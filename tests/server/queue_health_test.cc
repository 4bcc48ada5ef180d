#include "server/queue_health.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "common/text.h"
#include "platform/automation/component_registry.h"
#include "platform/db/recordset.h"
#include "server/jobsheet.h"
#include "server/schema/server_schema.h"
#include "tests/server/server_database_fixture.h"

namespace tqs::server {
namespace {

using automation::VariantType;

// The current UTC time, as the database stamps RECEIVEDON.
DateTime NowUtc() {
  const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
  return DateTime{now.time_since_epoch()};
}

DateTime At(int y, unsigned mo, unsigned d, int h, int mi) {
  using namespace std::chrono;
  return local_days{year{y} / month{mo} / day{d}} + hours{h} + minutes{mi};
}

class QueueHealthTest : public testing::ServerDatabaseTest {
 protected:
  // Adds an interaction row as an upload does (RECEIVEDON left to the database) or, with
  // `received_on`, with that received-at text.
  void AddRow(db::Connection& connection, const std::string& employee, int type, int status,
              const std::string& received_on = "") {
    const int id = ++rows_;
    std::string columns =
        "EMPLOYEEID, BUSINESSDOCUMENTTYPE, INTERACTIONNAME, INTERACTIONON, INTERACTIONID, "
        "BUSINESSDOCUMENTID, BUSINESSDOCUMENTCONTENTS, INTERACTIONSTATUS";
    std::string values = QuoteSql(employee) + ", " + std::to_string(type) + ", 5, 'D1', " +
                         std::to_string(id) + ", 'doc" + std::to_string(id) + "', '<x/>', " +
                         std::to_string(status);
    if (!received_on.empty()) {
      columns += ", RECEIVEDON";
      values += ", " + QuoteSql(received_on);
    }
    connection.Execute("INSERT INTO CLIENTSERVERINTERACTION (" + columns + ") VALUES (" + values +
                       ")");
  }

  static const QueueHealth::DocumentType& OfType(const QueueHealth& health, int type) {
    for (const auto& entry : health.types) {
      if (entry.type == type) return entry;
    }
    ADD_FAILURE() << "no entry for document type " << type;
    static const QueueHealth::DocumentType kNone;
    return kNone;
  }

  int rows_ = 0;
};

TQS_INSTANTIATE_FOR_BACKENDS(QueueHealthTest);

TEST_P(QueueHealthTest, UploadedRowsAreStampedInUtcAndReadBackAsDates) {
  automation::ComponentRegistry components;
  JobSheet job_sheet(components);
  automation::Variant result;
  const DateTime before = NowUtc();
  ASSERT_TRUE(job_sheet.StoreOutboxContent(
      "<businessdocuments><jobsheets><item interactionon='D1' id='7_0'><jobsheet>"
      "<serviceorder id='7' actionsperformed='RDP'/></jobsheet></item></jobsheets>"
      "</businessdocuments>",
      "A", dsn_, result));
  const DateTime after = NowUtc();

  auto connection = Connect();
  auto rs = db::Recordset::Open("SELECT RECEIVEDON FROM CLIENTSERVERINTERACTION", *connection,
                                db::CursorType::kForwardOnly, db::LockType::kReadOnly);
  ASSERT_FALSE(rs->IsEOF());
  const automation::Variant received_on = rs->Field(0);
  ASSERT_EQ(received_on.type(), VariantType::kDate) << received_on.ToTextOrEmpty();
  EXPECT_GE(received_on.AsDate(), before);
  EXPECT_LE(received_on.AsDate(), after + std::chrono::seconds(1));
}

TEST_P(QueueHealthTest, ReportsTheOldestPendingRowOfEachTypeOnly) {
  auto connection = Connect();
  // Job sheets: processed and failed rows older than the pending ones do not count.
  AddRow(*connection, "A", 5, 10, "2020-01-01 00:00:00");
  AddRow(*connection, "A", 5, 15, "2020-06-01 00:00:00");
  AddRow(*connection, "A", 5, 5, "2026-03-01 10:00:00");
  AddRow(*connection, "B", 5, 5, "2026-02-01 09:30:00");
  AddRow(*connection, "C", 5, 5, "2026-02-15 00:00:00");
  // Hours lines: one pending; service inspections: none pending.
  AddRow(*connection, "B", 10, 5, "2025-12-24 12:00:00");
  AddRow(*connection, "B", 15, 10, "2019-01-01 00:00:00");

  const QueueHealth health = ReadQueueHealth(*connection);
  const DateTime now = NowUtc();
  const struct {
    int type;
    DateTime received_on;
  } expected[] = {{5, At(2026, 2, 1, 9, 30)}, {10, At(2025, 12, 24, 12, 0)}};
  for (const auto& want : expected) {
    const auto& entry = OfType(health, want.type);
    ASSERT_TRUE(entry.oldest_pending) << want.type;
    ASSERT_TRUE(entry.oldest_pending->received_on) << want.type;
    EXPECT_EQ(*entry.oldest_pending->received_on, want.received_on) << want.type;
    const auto age = std::chrono::duration_cast<std::chrono::seconds>(now - want.received_on);
    ASSERT_TRUE(entry.oldest_pending->age_seconds) << want.type;
    EXPECT_LE(std::llabs(*entry.oldest_pending->age_seconds - age.count()), 60) << want.type;
  }
  EXPECT_FALSE(OfType(health, 15).oldest_pending);

  const nlohmann::json json = ToJson(health);
  EXPECT_EQ(json["types"][0]["oldest_pending"]["received_on"], "2026-02-01T09:30:00Z");
  EXPECT_EQ(json["types"][0]["oldest_pending"]["age_seconds"],
            *OfType(health, 5).oldest_pending->age_seconds);
  EXPECT_FALSE(json["types"][2].contains("oldest_pending"));
  const std::string text = FormatQueueHealth(health);
  EXPECT_NE(text.find("(received 2026-02-01T09:30:00Z)"), std::string::npos) << text;
  EXPECT_NE(text.find("(received 2025-12-24T12:00:00Z)"), std::string::npos) << text;
}

TEST_P(QueueHealthTest, NoAgeWhenNothingIsPending) {
  auto connection = Connect();
  AddRow(*connection, "A", 5, 10);
  AddRow(*connection, "A", 10, 15);
  const QueueHealth health = ReadQueueHealth(*connection);
  ASSERT_EQ(health.types.size(), 2u);
  for (const auto& entry : health.types) EXPECT_FALSE(entry.oldest_pending) << entry.type;
  EXPECT_EQ(ToJson(health).dump().find("oldest_pending"), std::string::npos);
  EXPECT_EQ(FormatQueueHealth(health).find("oldest pending"), std::string::npos);
}

// A server database made before received-at times were kept gains the column and its index,
// keeps every row (without a received-at time), and stamps the rows added afterwards.
TEST_P(QueueHealthTest, OlderTableGainsTheReceivedAtColumnAndKeepsItsRows) {
  auto connection = Connect();
  connection->ExecuteBatch("DROP TABLE CLIENTSERVERINTERACTION;");
  connection->ExecuteBatch(
      std::string("CREATE TABLE CLIENTSERVERINTERACTION (") +
      (OnPostgres() ? "INTERACTIONKEY bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, "
                      "EMPLOYEEID text, BUSINESSDOCUMENTTYPE integer, INTERACTIONNAME integer, "
                      "INTERACTIONON text, INTERACTIONID integer, BUSINESSDOCUMENTID text, "
                      "BUSINESSDOCUMENTCONTENTS text, INTERACTIONSTATUS smallint, "
                      "INTERACTIONRESULT text, PROCESSEDON timestamp);"
                    : "INTERACTIONKEY INTEGER PRIMARY KEY, EMPLOYEEID TEXT, "
                      "BUSINESSDOCUMENTTYPE INTEGER, INTERACTIONNAME INTEGER, INTERACTIONON TEXT, "
                      "INTERACTIONID INTEGER, BUSINESSDOCUMENTID TEXT, "
                      "BUSINESSDOCUMENTCONTENTS TEXT, INTERACTIONSTATUS SMALLINT, "
                      "INTERACTIONRESULT TEXT, PROCESSEDON DATETIME);"));
  AddRow(*connection, "A", 5, 5);
  AddRow(*connection, "A", 5, 10);
  AddRow(*connection, "B", 10, 15);

  CreateServerSchema(*connection);
  CreateServerSchema(*connection);  // a second run finds the column and adds nothing

  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM CLIENTSERVERINTERACTION"), "3");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM CLIENTSERVERINTERACTION WHERE RECEIVEDON IS NULL"), "3");
  EXPECT_EQ(Scalar("SELECT BUSINESSDOCUMENTID FROM CLIENTSERVERINTERACTION WHERE "
                   "EMPLOYEEID = 'B'"),
            "doc3");
  // The oldest pending job sheet is one from before: its age is not known.
  QueueHealth health = ReadQueueHealth(*connection);
  ASSERT_TRUE(OfType(health, 5).oldest_pending);
  EXPECT_FALSE(OfType(health, 5).oldest_pending->received_on);
  EXPECT_FALSE(OfType(health, 5).oldest_pending->age_seconds);
  EXPECT_TRUE(ToJson(health)["types"][0]["oldest_pending"]["received_on"].is_null());
  EXPECT_NE(FormatQueueHealth(health).find("before received-at times were kept"),
            std::string::npos);

  // Rows added since are stamped, as on a new database.
  const DateTime before = NowUtc();
  AddRow(*connection, "C", 10, 5);
  auto rs =
      db::Recordset::Open("SELECT RECEIVEDON FROM CLIENTSERVERINTERACTION WHERE EMPLOYEEID = 'C'",
                          *connection, db::CursorType::kForwardOnly, db::LockType::kReadOnly);
  ASSERT_EQ(rs->Field(0).type(), VariantType::kDate) << rs->Field(0).ToTextOrEmpty();
  EXPECT_GE(rs->Field(0).AsDate(), before);
  rs->Close();
  health = ReadQueueHealth(*connection);
  ASSERT_TRUE(OfType(health, 10).oldest_pending);
  EXPECT_TRUE(OfType(health, 10).oldest_pending->received_on);
}

}  // namespace
}  // namespace tqs::server
