// The installed broker program, killed in the middle of its pass (an operator's kill -9, a
// machine that loses power), on each backend: every row is afterwards either finished as a
// whole or still pending, never half-written; the lock the killed pass held is free again at
// once; and the next run finishes the rest.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <iterator>
#include <map>
#include <thread>

#include "common/pass_lock.h"
#include "platform/db/recordset.h"
#include "tests/broker/broker_on_backends.h"
#include "tests/broker/broker_test_installation.h"

namespace tqs::broker {
namespace {

using namespace std::chrono_literals;

// Demo users of the installation, known to the reference ERP.
constexpr const char* kErpEmployees[] = {"E001", "E002", "E003"};

class KilledBrokerTest : public testing::BrokerOnBackendsTest {
 protected:
  KilledBrokerTest() { programs_folder_ = std::filesystem::path(TQS_BROKER_PROGRAM).parent_path(); }

  pid_t StartBroker() const { return StartBrokerProgram(folder_ / "broker.out"); }

  // Kills the installed broker, running `workers` workers, in the middle of its pass and checks
  // what it left; then lets the next run finish the rest.
  void KillMidPassThenFinish(int workers);

  int Finished() const {
    return std::stoi(
        Scalar("SELECT COUNT(*) FROM CLIENTSERVERINTERACTION WHERE INTERACTIONSTATUS <> 5"));
  }
};
TQS_INSTANTIATE_FOR_BACKENDS(KilledBrokerTest);

TEST_P(KilledBrokerTest, EveryRowIsFinishedOrPendingAndTheNextRunFinishesThem) {
  KillMidPassThenFinish(1);
}

TEST_P(KilledBrokerTest, WithFourWorkersEveryRowIsFinishedOrPendingAndTheNextRunFinishesThem) {
  KillMidPassThenFinish(4);
}

void KilledBrokerTest::KillMidPassThenFinish(int workers) {
  constexpr int kLines = 1000;
  std::map<std::string, std::vector<std::pair<std::string, std::string>>> documents;
  for (int i = 1; i <= kLines; ++i) {
    const std::string id = "K" + std::to_string(i);
    documents[kErpEmployees[i % std::size(kErpEmployees)]].emplace_back(
        id, "<hour interactionon='ON-1' lineid='" + id +
                "'><ctsk>TRAV</ctsk><chlt>NORMAL</chlt><rgdt>20260310</rgdt>"
                "<sptm>0.5</sptm></hour>");
  }
  for (const auto& [employee, lines] : documents) AddPendingRows(employee, lines);
  SetWorkers(std::to_string(workers));

  const pid_t broker = StartBroker();
  ASSERT_GT(broker, 0);
  const auto deadline = std::chrono::steady_clock::now() + 120s;
  int status = 0;
  while (Finished() < 25) {
    ASSERT_EQ(::waitpid(broker, &status, WNOHANG), 0)
        << "the broker ended before it could be killed mid-pass:\n"
        << testing::ReadFile(folder_ / "broker.out");
    ASSERT_LT(std::chrono::steady_clock::now(), deadline)
        << testing::ReadFile(folder_ / "broker.out");
    std::this_thread::sleep_for(5ms);
  }
  ASSERT_EQ(::kill(broker, SIGKILL), 0);
  ASSERT_EQ(::waitpid(broker, &status, 0), broker);
  ASSERT_TRUE(WIFSIGNALED(status));

  int finished = 0;
  for (const auto& [document, row] : StoredRows()) {
    if (row.status == "5") {
      EXPECT_FALSE(row.has_result || row.has_processed_on) << document << " half-written";
    } else {
      ++finished;
      EXPECT_EQ(row.status, "10") << document;
      EXPECT_TRUE(row.has_result && row.has_processed_on) << document << " half-written";
    }
  }
  EXPECT_GE(finished, 25);
  EXPECT_LT(finished, kLines) << "the pass was not interrupted";
  // The killed broker's lock went with its process (and, on PostgreSQL, its session).
  ASSERT_TRUE(PassLockFreeWithin(std::chrono::seconds(10)))
      << "the killed broker's pass lock was not given up";

  const pid_t next = StartBroker();
  ASSERT_EQ(::waitpid(next, &status, 0), next);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << testing::ReadFile(folder_ / "broker.out");
  for (const auto& [document, row] : StoredRows()) {
    EXPECT_EQ(row.status, "10") << document;
    EXPECT_TRUE(row.has_result && row.has_processed_on) << document;
  }
}

}  // namespace
}  // namespace tqs::broker
