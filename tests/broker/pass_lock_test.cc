// Brokers and uploads working on one server database at the same time, on each backend: a
// second pass while one runs touches no row and says why; uploads arriving while two brokers
// run their passes are each booked in the ERP exactly once; a connection lost in the middle of
// a pass ends it without finishing rows it has not finished, and the next pass finishes them;
// a server that cannot be reached is reported at start-up.
#include "common/pass_lock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "broker/broker.h"
#include "platform/db/connection_string.h"
#include "platform/db/recordset.h"
#include "server/jobsheet.h"
#include "tests/broker/broker_on_backends.h"
#include "tests/broker/broker_test_installation.h"

namespace tqs::broker {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using testing::BrokerOnBackendsTest;

constexpr const char* kAnotherPass =
    "Another processing pass is running on this server database; this pass ends without "
    "processing any document";

std::vector<std::string> Tasks(const std::string& prefix, int count) {
  std::vector<std::string> tasks;
  for (int i = 1; i <= count; ++i) tasks.push_back(prefix + std::to_string(i));
  return tasks;
}

class PassLockTest : public BrokerOnBackendsTest {
 protected:
  // Laptops upload while two brokers, each running `workers` workers, make pass after pass.
  void UploadDuringPassesOfTwoBrokers(int workers);
};
TQS_INSTANTIATE_FOR_BACKENDS(PassLockTest);

TEST_P(PassLockTest, SecondPassWhileOneRunsTouchesNoRowAndSaysWhy) {
  AddPendingHours({"A1", "A2", "A3"});
  // Another broker's pass, possibly on another machine: it holds the lock of the database.
  auto other_broker = Connect();
  auto held = PassLock::TryAcquire(dsn_, *other_broker);
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(PassLock::TryAcquire(dsn_, *Connect()), nullptr);
  if (GetParam() == test_support::Backend::kSqlite) {
    // The same database file reached through a symbolic link and a path with "..": one lock.
    const db::ConnectionString parsed = db::ConnectionString::Parse(dsn_);
    const std::filesystem::path file = parsed.Require("Data Source");
    const std::filesystem::path link = file.parent_path() / "linked.db";
    std::filesystem::create_symlink(file, link);
    for (const std::filesystem::path& other :
         {link, file.parent_path() / ".." / file.parent_path().filename() / file.filename()}) {
      const std::string other_dsn = "Provider=SQLite;Data Source=" + other.string();
      auto connection = db::Connection::Open(other_dsn);
      EXPECT_EQ(PassLock::TryAcquire(other_dsn, *connection), nullptr) << other;
    }
  }

  EXPECT_THAT(RunBroker(erp_components_), HasSubstr(kAnotherPass));
  EXPECT_THAT(ErrorLogText(),
              HasSubstr(std::string("Error : ") + kAnotherPass + " in processBusinessdocuments"));
  EXPECT_THAT(erp_->Journal(), IsEmpty()) << erp_->JournalText();
  for (const auto& [document, row] : StoredRows()) {
    EXPECT_EQ(row.status, "5") << document;
    EXPECT_FALSE(row.has_result || row.has_processed_on) << document;
  }

  // Once that pass has ended, the next one processes everything, and gives the lock back.
  held.reset();
  const std::string status_box = RunBroker(erp_components_);
  EXPECT_THAT(status_box, Not(HasSubstr(kAnotherPass)));
  for (const auto& [document, row] : StoredRows()) {
    EXPECT_EQ(row.status, "10") << document << "\n" << status_box;
    EXPECT_TRUE(row.has_result && row.has_processed_on) << document;
  }
  EXPECT_EQ(TasksBooked(), (std::map<std::string, int>{{"A1", 1}, {"A2", 1}, {"A3", 1}}));
  EXPECT_NE(PassLock::TryAcquire(dsn_, *Connect()), nullptr);
}

TEST_P(PassLockTest, UploadsDuringThePassesOfTwoBrokersAreEachBookedExactlyOnce) {
  UploadDuringPassesOfTwoBrokers(1);
}

// With several workers the two brokers run their passes at once on PostgreSQL, their workers
// claiming the employee in turn.
TEST_P(PassLockTest, UploadsDuringThePassesOfTwoBrokersWithFourWorkersAreEachBookedExactlyOnce) {
  UploadDuringPassesOfTwoBrokers(4);
}

void PassLockTest::UploadDuringPassesOfTwoBrokers(int workers) {
  SetWorkers(std::to_string(workers));
  constexpr int kUploaders = 4;
  constexpr int kOutboxesEach = 8;
  constexpr int kLinesPerOutbox = 3;
  AddPendingHours(Tasks("P", 60));  // waiting before the brokers start

  std::atomic<int> uploaders_running{kUploaders};
  std::atomic<int> failed_uploads{0};
  std::vector<std::thread> threads;
  for (int u = 0; u < kUploaders; ++u) {
    threads.emplace_back([&, u] {
      automation::ComponentRegistry no_components;
      server::JobSheet job_sheet(no_components);
      for (int o = 0; o < kOutboxesEach; ++o) {
        std::string outbox = "<businessdocuments><generalhours>";
        for (int l = 0; l < kLinesPerOutbox; ++l) {
          outbox += testing::HourLine("U" + std::to_string(u) + "-" + std::to_string(o) + "-" +
                             std::to_string(l));
        }
        outbox += "</generalhours></businessdocuments>";
        automation::Variant result;
        if (!job_sheet.StoreOutboxContent(outbox, testing::kHoursEmployee, dsn_, result)) {
          ++failed_uploads;
        }
      }
      --uploaders_running;
    });
  }
  // Two schedulers start the broker over and over while the laptops upload.
  std::atomic<int> passes_refused{0};
  for (int b = 0; b < 2; ++b) {
    threads.emplace_back([&] {
      do {
        if (RunBroker(erp_components_).find(kAnotherPass) != std::string::npos) ++passes_refused;
      } while (uploaders_running > 0);
    });
  }
  for (auto& thread : threads) thread.join();
  RunBroker(erp_components_);  // the rows uploaded after the last passes began

  EXPECT_EQ(failed_uploads, 0);
  const auto rows = StoredRows();
  EXPECT_EQ(rows.size(), 60u + kUploaders * kOutboxesEach * kLinesPerOutbox);
  for (const auto& [document, row] : rows) {
    EXPECT_EQ(row.status, "10") << document;
    EXPECT_TRUE(row.has_result && row.has_processed_on) << document;
  }
  // Every stored line reached the ERP once: none twice, none skipped.
  const auto booked = TasksBooked();
  EXPECT_EQ(booked.size(), rows.size());
  for (const auto& [task, times] : booked) EXPECT_EQ(times, 1) << task;
  RecordProperty("passes_refused", passes_refused.load());
}

// The broker's connection is ended by the server (a restart, a network failure) just after the
// ERP accepted the third line, before that line's row is updated.
class DroppedConnectionTest : public BrokerOnBackendsTest {};
INSTANTIATE_TEST_SUITE_P(, DroppedConnectionTest,
                         ::testing::Values(test_support::Backend::kPostgreSql),
                         [](const auto& info) { return test_support::BackendName(info.param); });

TEST_P(DroppedConnectionTest, PassEndsWithoutFinishingRowsAndTheNextPassFinishesThem) {
  AddPendingHours(Tasks("D", 6));
  // The session that holds this database's pass lock is the broker's: the server ends it.
  const auto end_broker_session = [this] {
    auto other = Connect();
    auto rs = db::Recordset::Open(
        "SELECT pg_terminate_backend(pid) FROM pg_locks WHERE locktype = 'advisory' AND "
        "granted AND objsubid = 1 AND ((classid::bigint << 32) | objid::bigint) = "
        "hashtextextended('TQSRemoteBroker processing pass in ' || current_schema(), 0)",
        *other);
    const bool ended = !rs->IsEOF() && rs->Field(0).AsBoolean();
    rs->Close();
    return ended;
  };
  int creates = 0;
  bool ended = false;
  test_support::RecordingComponents* const erp = erp_.get();
  erp_->OnCall("ServiceOrderHoursAccountingManager", "Create",
               [&, erp](std::span<automation::Variant>) {
                 if (++creates == 3) ended = end_broker_session();
                 return automation::Variant(
                     erp->NewObject("TQSRCServiceOrderHoursAccounting.Accounting"));
               });

  // An operator's manual session: the same window makes both passes.
  Connect()->Execute(
      "UPDATE PARAMETERS SET PARAMVALUE = 'Manual' WHERE PARAMNAME = 'ProcessToKorvo'");
  testing::FixedClock clock;
  testing::RecordingEditor editor;
  Broker broker(
      BrokerEnvironment{bin(), clock, RegionalSettings::EnglishUS(), erp_components_, editor});
  broker.Form_Load();
  broker.cmdProcess_Click();
  const std::string status_box = broker.window().txtProcessStatus.text();
  ASSERT_TRUE(ended) << "the broker's session was not found by its pass lock";
  // The first two lines were finished; the third was accepted by the ERP but its row could not
  // be written, so it stays pending with the rest (in doubt), and no further line went to the
  // ERP.
  auto rows = StoredRows();
  EXPECT_EQ(rows["D1"].status, "10");
  EXPECT_EQ(rows["D2"].status, "10");
  for (const char* pending : {"D3", "D4", "D5", "D6"}) {
    EXPECT_EQ(rows[pending].status, "5") << pending;
    EXPECT_FALSE(rows[pending].has_result || rows[pending].has_processed_on) << pending;
  }
  EXPECT_EQ(creates, 3);
  // The server's message, in the report of the outcome that could not be stored; the pass then
  // ends at its next read of the pending rows, before the fourth line.
  EXPECT_THAT(ErrorLogText(), AllOf(HasSubstr("server closed the connection unexpectedly"),
                                    HasSubstr("in ProcessGenralHours")));
  EXPECT_THAT(status_box, AllOf(HasSubstr("General hours line D3"),
                                Not(HasSubstr("General hours line D4"))));

  // The next pass of the same session connects afresh, takes the lock the lost session gave up
  // and finishes the rest, but for the third line: the ERP may have booked it, and this ERP
  // cannot recognise it sent again, so it waits for an operator.
  broker.cmdProcess_Click();
  rows = StoredRows();
  for (const auto& [document, row] : rows) {
    EXPECT_EQ(row.status, document == "D3" ? "5" : "10") << document << "\n"
                                                         << broker.window().txtProcessStatus.text();
  }
  EXPECT_THAT(broker.window().txtProcessStatus.text(),
              HasSubstr("1 pending document(s) are in doubt"));
  EXPECT_EQ(creates, 3 + 3);
}

TEST(BrokerStartTest, UnreachableServerIsReportedWithTheProvidersMessageAndNothingChanges) {
  testing::TestInstallation installation;
  installation.AddUser("E1", "BC1");
  installation.AddPendingRow("E1", 10, testing::HourLine("X1"));
  // The configuration now names a PostgreSQL server that does not run.
  const std::filesystem::path config =
      installation.root() / "web" / "config" / "VarnexConfiguration.xml";
  std::string text = testing::ReadFile(config);
  const std::string down = "Provider=PostgreSQL;Host=" + installation.root().string() +
                           ";Port=5999;Database=tqs;User ID=tqs";
  text.replace(text.find(installation.dsn()), installation.dsn().size(), down);
  std::ofstream(config, std::ios::binary | std::ios::trunc) << text;

  testing::TestBroker broker(installation.bin());
  broker.broker().Form_Load();
  const std::string log = testing::ReadFile(installation.bin() / "CriticalErrorlog.txt");
  EXPECT_THAT(log, AllOf(HasSubstr(".s.PGSQL.5999"), HasSubstr("in OpenDatabase")));
  EXPECT_THAT(broker.window().txtProcessStatus.text(), HasSubstr(".s.PGSQL.5999"));
  EXPECT_EQ(installation.Statuses(), std::vector<std::string>{"5"});
}

}  // namespace
}  // namespace tqs::broker
