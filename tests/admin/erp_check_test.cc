// The ERP conformance check (`TQSRemoteAdmin erp check`): the reference ERP and the example
// Python adapter pass every scenario; ERPs that book a replay again, never finish a download or
// hand out a job sheet twice fail with the reason; the command's exit statuses.
#include "admin/erp_check/erp_check.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "common/erp/assignments.h"
#include "common/erp/contract.h"
#include "common/erp/hours_accounting.h"
#include "common/erp/job_sheets.h"
#include "common/erp/service_inspections.h"
#include "erp/seed.h"
#include "erp/store.h"
#include "platform/automation/component_registry.h"
#include "tests/erp_bridge/fake_adapter.h"
#include "tests/erp_bridge/python_adapter.h"
#include "tests/support/temp_dir.h"

namespace tqs::admin::erp_check {
namespace {

using automation::ObjectPtr;
using automation::Variant;
using erp_bridge::testing::FakeAdapter;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr std::array kErpPrefixes = {erp::job_sheets::kPrefix, erp::service_inspections::kPrefix,
                                     erp::hours_accounting::kPrefix, erp::assignments::kPrefix};

const std::vector<std::string> kAllPass = {
    "PASS download-new",           "PASS download-addition", "PASS download-cancellation",
    "PASS download-portions",      "PASS jobsheet-accepted", "PASS jobsheet-partly-rejected",
    "PASS jobsheet-unknown-order", "PASS hours-line",        "PASS inspection",
    "PASS replay-same-key",        "PASS assignments"};

// The reference ERP holding the demo data, in a store of its own, answering downloads one job
// sheet per portion.
class ReferenceErp {
 public:
  ReferenceErp() {
    erp::SeedDemoData(*erp::Store::Create(folder_.path() / "erp.db"));
    erp::WriteReferenceErpRegistry(registry_file(), TQS_REFERENCE_ERP_LIBRARY,
                                   folder_.path() / "erp.db", 1);
  }
  std::filesystem::path registry_file() const { return folder_.path() / "TQSRemoteComponents.xml"; }

 private:
  test_support::ScopedTempDir folder_;
};

std::vector<std::string> Lines(const std::vector<ScenarioOutcome>& outcomes) {
  std::vector<std::string> lines;
  for (const ScenarioOutcome& outcome : outcomes) lines.push_back(FormatOutcome(outcome));
  return lines;
}

std::string LineOf(const std::vector<ScenarioOutcome>& outcomes, const std::string& scenario) {
  for (const ScenarioOutcome& outcome : outcomes) {
    if (outcome.scenario == scenario) return FormatOutcome(outcome);
  }
  return "<no line for " + scenario + ">";
}

std::vector<ScenarioOutcome> Check(const automation::ComponentRegistry& components,
                                   bool allow_bookings = true) {
  return RunErpCheck(components, {.allow_bookings = allow_bookings}, {});
}

// The admin program's standard output and exit status.
struct ProgramRun {
  std::string output;
  int status = -1;
};

ProgramRun RunAdmin(const std::string& arguments) {
  ProgramRun run;
  const std::string command = std::string(TQS_ADMIN_PROGRAM) + " " + arguments + " 2>/dev/null";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  std::array<char, 4096> buffer;
  std::size_t read = 0;
  while ((read = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
    run.output.append(buffer.data(), read);
  }
  const int status = ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(ErpCheckTest, ReferenceErpPassesThroughTheAdminProgramAndBookingsNeedTheFlag) {
  ReferenceErp erp;
  const std::string components = "--components " + erp.registry_file().string();

  const ProgramRun read_only = RunAdmin("erp check " + components);
  EXPECT_EQ(read_only.status, 0);
  const std::vector<std::string> lines = SplitLines(read_only.output);
  ASSERT_EQ(lines.size(), kAllPass.size()) << read_only.output;
  EXPECT_THAT(std::vector(lines.begin(), lines.begin() + 4),
              ElementsAre("PASS download-new", "PASS download-addition",
                          "PASS download-cancellation", "PASS download-portions"));
  EXPECT_EQ(lines[4],
            "SKIP jobsheet-accepted: books test documents into the ERP; run with "
            "--allow-bookings");

  // Twice against the same store: every run books under keys of its own.
  for (int run = 0; run < 2; ++run) {
    const ProgramRun booking = RunAdmin("erp check --allow-bookings " + components);
    EXPECT_EQ(booking.status, 0) << booking.output;
    EXPECT_EQ(SplitLines(booking.output), kAllPass);
  }

  EXPECT_EQ(RunAdmin("erp check").status, 2);
  EXPECT_EQ(RunAdmin("erp check --components /nonexistent/TQSRemoteComponents.xml").status, 2);
}

// The demo orders as the example adapter loads them.
std::filesystem::path WriteDemoOrders(const test_support::ScopedTempDir& folder) {
  return folder.WriteFile("demo-orders.xml", erp::DemoOrderDocuments());
}

std::unique_ptr<automation::ComponentRegistry> BridgeTo(const test_support::ScopedTempDir& folder,
                                                        const std::string& url) {
  std::string text = "<components>";
  for (std::string_view prefix : kErpPrefixes) {
    text += "<component prefix='" + std::string(prefix) + "' library='" + TQS_ERP_BRIDGE_LIBRARY +
            "' idempotencyKeys='true'><setting key='Url' value='" + url +
            "'/><setting key='Retries' value='0'/></component>";
  }
  auto components = std::make_unique<automation::ComponentRegistry>();
  components->LoadFile(folder.WriteFile("TQSRemoteComponents.xml", text + "</components>"));
  return components;
}

TEST(ErpCheckTest, PythonExampleAdapterPassesThroughTheBridge) {
  if (!erp_bridge::testing::HavePython()) GTEST_SKIP() << "python3 is not on this machine";
  test_support::ScopedTempDir folder;
  erp_bridge::testing::PythonAdapter adapter(
      folder.path() / "erp.db", {"--conformance-data", WriteDemoOrders(folder).string()});
  ASSERT_GT(adapter.port(), 0);
  const auto components =
      BridgeTo(folder, "http://127.0.0.1:" + std::to_string(adapter.port()) + "/");
  EXPECT_EQ(Lines(Check(*components)), kAllPass);
}

// Serves every identifier from another registry; the job sheet state objects it hands out
// replace each idempotency key by a new one, so a replay books the job sheet again.
class ForgetfulFactory final : public automation::ComponentFactory {
 public:
  explicit ForgetfulFactory(const automation::ComponentRegistry& erp) : erp_(erp) {}
  ObjectPtr Create(std::string_view prog_id) override {
    ObjectPtr object = erp_.Create(prog_id);
    if (prog_id != erp::job_sheets::prog_id::kIoState) return object;
    return std::make_shared<ForgetfulState>(object, calls_);
  }

 private:
  class ForgetfulState final : public automation::Object {
   public:
    ForgetfulState(ObjectPtr state, std::atomic<int>& calls) : state_(state), calls_(calls) {}
    Variant Invoke(std::string_view method, std::span<Variant> args) override {
      if (method == erp::kSetIdempotencyKey && !args.empty()) {
        args[0] = Variant(args[0].AsText() + "#" + std::to_string(++calls_));
      }
      return state_->Invoke(method, args);
    }
    std::string ProgId() const override { return state_->ProgId(); }

   private:
    const ObjectPtr state_;
    std::atomic<int>& calls_;
  };

  const automation::ComponentRegistry& erp_;
  std::atomic<int> calls_{0};
};

TEST(ErpCheckTest, ReplaysThatBookAgainFailAndComponentsWithoutKeysAreNotReplayed) {
  ReferenceErp erp;
  automation::ComponentRegistry reference;
  reference.LoadFile(erp.registry_file());
  {
    SCOPED_TRACE("a job sheet component that takes keys but books every replay");
    automation::ComponentRegistry forgetful;
    forgetful.Register("", std::make_shared<ForgetfulFactory>(reference),
                       {.accepts_idempotency_keys = true});
    const std::vector<ScenarioOutcome> outcomes = Check(forgetful);
    EXPECT_THAT(LineOf(outcomes, "replay-same-key"),
                StartsWith("FAIL replay-same-key: the job sheet SO1002_0 sent again under its "
                           "key was answered differently (it may have been booked twice): first "
                           "<jobsheet><serviceorder id='SO1002'"));
    EXPECT_EQ(LineOf(outcomes, "jobsheet-accepted"), "PASS jobsheet-accepted");
  }
  {
    SCOPED_TRACE("components registered without idempotency keys");
    automation::ComponentRegistry without_keys;
    without_keys.Register("", std::make_shared<ForgetfulFactory>(reference));
    const std::vector<ScenarioOutcome> outcomes = Check(without_keys);
    EXPECT_THAT(LineOf(outcomes, "replay-same-key"),
                StartsWith("SKIP replay-same-key: no booking component takes idempotency keys "
                           "(registered without idempotencyKeys=\"true\": "
                           "Q72dVXRsvordJobSheets.JobSheetsManager, "));
    for (const ScenarioOutcome& outcome : outcomes) {
      EXPECT_NE(outcome.verdict, Verdict::kFail) << FormatOutcome(outcome);
    }
  }
}

// The documented download answer, as one portion of several or as the last.
std::string DownloadPortion(bool more_follow) {
  std::ifstream file(std::string(TQS_SOURCE_DIR) +
                     "/docs/erp_contract/examples/getJobSheets.answer.json");
  nlohmann::json answer = nlohmann::json::parse(file);
  answer["arguments"]["3"] = more_follow ? 1 : 0;
  answer["result"]["properties"]["IoState"]["properties"]["CompletedStateAttribute"] =
      more_follow ? 0 : 1;
  return answer.dump();
}

TEST(ErpCheckTest, DownloadsThatRepeatAJobSheetOrNeverEndFailWithTheReason) {
  test_support::ScopedTempDir folder;
  FakeAdapter adapter;
  const auto components = BridgeTo(folder, adapter.Url());
  {
    SCOPED_TRACE("the second portion hands out the first portion's job sheet again");
    adapter.Script(
        {FakeAdapter::Answer(DownloadPortion(true)), FakeAdapter::Answer(DownloadPortion(false))});
    const std::vector<ScenarioOutcome> outcomes = Check(*components, false);
    EXPECT_EQ(LineOf(outcomes, "download-new"),
              "FAIL download-new: service order SO200 is handed out twice in one download (new: "
              "SO200, SO200; additions: none; cancellations: SO100, SO100)");
  }
  {
    SCOPED_TRACE("every portion says more follow");
    adapter.Script(
        std::vector<FakeAdapter::Reply>(200, FakeAdapter::Answer(DownloadPortion(true))));
    const std::vector<ScenarioOutcome> outcomes = Check(*components, false);
    EXPECT_THAT(LineOf(outcomes, "download-new"),
                StartsWith("FAIL download-new: the download failed: the ERP asked for more than "
                           "100 portions of one download"));
  }
  {
    SCOPED_TRACE("an ERP that raises: every booking scenario fails with its description");
    adapter.Script(std::vector<FakeAdapter::Reply>(
        200, FakeAdapter::Answer(
                 R"({"error": {"number": -2147467259, "description": "ERP down for the test"}})")));
    const std::vector<ScenarioOutcome> outcomes = Check(*components);
    EXPECT_EQ(LineOf(outcomes, "download-addition"),
              "FAIL download-addition: the download failed: ERP down for the test");
    EXPECT_EQ(LineOf(outcomes, "jobsheet-unknown-order"),
              "FAIL jobsheet-unknown-order: the ERP raised an error instead of answering: ERP "
              "down for the test");
  }
}

}  // namespace
}  // namespace tqs::admin::erp_check
