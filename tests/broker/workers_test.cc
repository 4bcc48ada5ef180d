// A broker pass with several workers (BROKER/Workers), on each backend: each employee's
// documents reach the ERP in upload order and never two at once, every document exactly once,
// the status lines of one employee stay together; a component registered single-threaded keeps
// the broker on one worker; a bad Workers value ends the run with a clear error.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <pugixml.hpp>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "admin/users.h"
#include "broker/employee_claims.h"
#include "common/erp/hours_accounting.h"
#include "common/pass_lock.h"
#include "platform/db/recordset.h"
#include "server/document_decisions.h"
#include "tests/broker/broker_on_backends.h"
#include "tests/broker/broker_test_installation.h"
#include "tests/support/delayed_hours_erp.h"

namespace tqs::broker {
namespace {

using namespace std::chrono_literals;
using test_support::DelayedHoursErp;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

class WorkersTest : public testing::BrokerOnBackendsTest {
 protected:
  // `employees` employees with a business component each and `documents` pending hour lines
  // each, uploaded in turns (the first line of every employee, then the second, ...). The task
  // of line i of employee e is "W<e>-<i>".
  void AddEmployeesWithLines(int employees, int documents) const {
    for (int e = 1; e <= employees; ++e) {
      admin::AddUser(dsn_, "login-w" + std::to_string(e), Employee(e), "BC" + std::to_string(e));
    }
    for (int i = 1; i <= documents; ++i) {
      for (int e = 1; e <= employees; ++e) {
        const std::string task = "W" + std::to_string(e) + "-" + std::to_string(i);
        AddPendingRows(Employee(e), {{task, testing::HourLine(task)}});
      }
    }
  }
  static std::string Employee(int e) { return "EW" + std::to_string(e); }

  // A registry whose hours components are served by `erp`.
  static std::unique_ptr<automation::ComponentRegistry> Serving(
      const std::shared_ptr<DelayedHoursErp>& erp, automation::ComponentOptions options = {}) {
    auto registry = std::make_unique<automation::ComponentRegistry>();
    registry->Register(std::string(erp::hours_accounting::kPrefix), erp, options);
    return registry;
  }
};
TQS_INSTANTIATE_FOR_BACKENDS(WorkersTest);

TEST_P(WorkersTest, EachEmployeesDocumentsReachTheErpInUploadOrderOneAtATimeAndExactlyOnce) {
  constexpr int kEmployees = 16;
  constexpr int kDocuments = 6;
  AddEmployeesWithLines(kEmployees, kDocuments);
  SetWorkers("8");
  const auto erp = std::make_shared<DelayedHoursErp>(test_support::DelayedHoursErpOptions{3ms});
  const std::string status_box = RunBroker(*Serving(erp));

  // Every document once, each handed over with its own employee (no worker saw another's).
  const std::vector<DelayedHoursErp::Booking> bookings = erp->Bookings();
  std::map<std::string, int> times_booked;
  std::map<std::string, std::vector<DelayedHoursErp::Booking>> by_employee;
  std::set<std::thread::id> threads;
  for (const DelayedHoursErp::Booking& booking : bookings) {
    ++times_booked[booking.task];
    by_employee[booking.employee].push_back(booking);
    threads.insert(booking.thread);
    const std::string employee_number = booking.task.substr(1, booking.task.find('-') - 1);
    EXPECT_EQ(booking.employee, "EW" + employee_number) << booking.task;
  }
  EXPECT_EQ(times_booked.size(), static_cast<std::size_t>(kEmployees * kDocuments)) << status_box;
  for (const auto& [task, times] : times_booked) EXPECT_EQ(times, 1) << task;
  EXPECT_GT(threads.size(), 1u) << "the documents were not handed over by several workers";

  // Per employee: in upload order, each call started after the one before it ended.
  ASSERT_EQ(by_employee.size(), static_cast<std::size_t>(kEmployees));
  for (auto& [employee, calls] : by_employee) {
    std::sort(calls.begin(), calls.end(),
              [](const auto& a, const auto& b) { return a.start < b.start; });
    for (std::size_t i = 0; i < calls.size(); ++i) {
      EXPECT_EQ(calls[i].task.substr(calls[i].task.find('-') + 1), std::to_string(i + 1))
          << employee << " out of upload order";
      if (i > 0) {
        EXPECT_GE(calls[i].start, calls[i - 1].end) << employee << " two at once";
      }
    }
  }
  for (const auto& [document, row] : StoredRows()) {
    EXPECT_EQ(row.status, "10") << document;
    EXPECT_TRUE(row.has_result && row.has_processed_on) << document;
  }

  // The banners frame the pass, and each employee's lines form one piece of the status box.
  EXPECT_THAT(status_box, StartsWith("|*****  "));
  EXPECT_THAT(status_box, ::testing::EndsWith("  *****|\r\n"));
  static const std::regex kHeading(R"(W(\d+)-\d+)");
  std::vector<std::string> employee_runs;
  for (auto it = std::sregex_iterator(status_box.begin(), status_box.end(), kHeading);
       it != std::sregex_iterator(); ++it) {
    if (employee_runs.empty() || employee_runs.back() != (*it)[1].str()) {
      employee_runs.push_back((*it)[1].str());
    }
  }
  EXPECT_EQ(employee_runs.size(), static_cast<std::size_t>(kEmployees))
      << "lines of employees interleave:\n"
      << status_box;

  // A second pass finds nothing left to hand over.
  RunBroker(*Serving(erp));
  EXPECT_EQ(erp->Bookings().size(), bookings.size());
}

TEST_P(WorkersTest, PendingRowsWithoutBusinessComponentOrEmployeeAreReportedOnce) {
  AddEmployeesWithLines(2, 2);
  AddPendingRows("NOBC", {{"N1", testing::HourLine("N1")}, {"N2", testing::HourLine("N2")}});
  {
    auto connection = Connect();
    connection->Execute(
        "UPDATE CLIENTSERVERINTERACTION SET EMPLOYEEID = NULL WHERE BUSINESSDOCUMENTID = 'W2-2'");
  }
  SetWorkers("4");
  const auto erp = std::make_shared<DelayedHoursErp>(test_support::DelayedHoursErpOptions{});
  const std::string status_box = RunBroker(*Serving(erp));

  EXPECT_EQ(erp->Bookings().size(), 3u) << status_box;
  const std::string no_employee = "has no EMPLOYEEID; it is passed over";
  EXPECT_EQ(status_box.find(no_employee), status_box.rfind(no_employee)) << status_box;
  EXPECT_THAT(status_box, HasSubstr(no_employee));
  const std::string no_component = "NOBC\r\n";
  EXPECT_NE(status_box.find(no_component), std::string::npos) << status_box;
  EXPECT_EQ(status_box.find(no_component), status_box.rfind(no_component)) << status_box;
  const auto rows = StoredRows();
  EXPECT_EQ(rows.at("N1").status, "5");
  EXPECT_EQ(rows.at("N2").status, "5");
  EXPECT_EQ(rows.at("W2-2").status, "5");
  EXPECT_EQ(rows.at("W1-2").status, "10");
}

TEST_P(WorkersTest, ASingleThreadedComponentKeepsTheBrokerOnOneWorkerAndSaysSoOnce) {
  AddEmployeesWithLines(4, 3);
  SetWorkers("8");
  const auto erp = std::make_shared<DelayedHoursErp>(test_support::DelayedHoursErpOptions{});
  const std::string status_box =
      RunBroker(*Serving(erp, automation::ComponentOptions{.single_threaded = true}));

  const std::string note =
      "BROKER/Workers is 8, but the ERP components TQSRCServiceOrderHoursAccounting. are "
      "registered threads=\"single\" in TQSRemoteComponents.xml: the broker runs one worker";
  EXPECT_THAT(status_box, HasSubstr(note + "\r\n"));
  EXPECT_THAT(ErrorLogText(), HasSubstr("Warning : " + note + " in processBusinessdocuments"));
  std::set<std::thread::id> threads;
  std::vector<std::string> order;
  for (const auto& booking : erp->Bookings()) {
    threads.insert(booking.thread);
    order.push_back(booking.task);
  }
  EXPECT_EQ(threads, std::set<std::thread::id>{std::this_thread::get_id()});
  // The single-worker pass: by employee, then in upload order.
  EXPECT_EQ(order, (std::vector<std::string>{"W1-1", "W1-2", "W1-3", "W2-1", "W2-2", "W2-3", "W3-1",
                                             "W3-2", "W3-3", "W4-1", "W4-2", "W4-3"}));
}

TEST_P(WorkersTest, AWorkersValueOutsideOneToSixtyFourEndsTheRunWithAClearError) {
  AddEmployeesWithLines(1, 1);
  const auto erp = std::make_shared<DelayedHoursErp>(test_support::DelayedHoursErpOptions{});
  for (const std::string value : {"0", "65", "four", "4x", ""}) {
    SetWorkers(value);
    EXPECT_EQ(RunBroker(*Serving(erp)), "") << value;
    EXPECT_THAT(ErrorLogText(),
                HasSubstr("Error : BROKER/Workers must be a whole number from 1 to 64, not '" +
                          value + "' in Initialize"));
  }
  EXPECT_TRUE(erp->Bookings().empty());
  SetWorkers(" 64 ");
  EXPECT_THAT(RunBroker(*Serving(erp)), Not(HasSubstr("Workers")));
  EXPECT_EQ(erp->Bookings().size(), 1u);
}

TEST_P(WorkersTest, AnEmployeeIsHeldByOneClaimAtATimeUntilItIsGivenUpOrItsSessionEnds) {
  InProcessClaims in_process;
  auto first_connection = Connect();
  const auto second_connection = Connect();
  std::unique_ptr<EmployeeClaims> advisory_first;
  std::unique_ptr<EmployeeClaims> advisory_second;
  if (OnPostgres()) {
    advisory_first = NewAdvisoryClaims(*first_connection);
    advisory_second = NewAdvisoryClaims(*second_connection);
  }
  // Two workers: on PostgreSQL each with its own session, on SQLite sharing the process's set.
  EmployeeClaims& first = OnPostgres() ? *advisory_first : in_process;
  EmployeeClaims& second = OnPostgres() ? *advisory_second : in_process;

  auto claim = first.TryClaim("O'Neil");
  ASSERT_NE(claim, nullptr);
  EXPECT_EQ(second.TryClaim("O'Neil"), nullptr);
  EXPECT_EQ(first.TryClaim("O'Neil"), nullptr) << "a claim is not taken twice by one worker";
  // Ids that differ only in trailing blanks or case are other employees.
  EXPECT_NE(second.TryClaim("O'Neil "), nullptr);
  EXPECT_NE(second.TryClaim("o'neil"), nullptr);
  claim.reset();
  claim = second.TryClaim("O'Neil");
  EXPECT_NE(claim, nullptr) << "a claim given back is free again";
  claim.reset();

  if (OnPostgres()) {
    // A worker whose session ends (a broker killed, a connection lost) gives its claims up.
    const auto held = first.TryClaim("E9");
    ASSERT_NE(held, nullptr);
    auto backend = db::Recordset::Open("SELECT pg_backend_pid() AS PID", *first_connection);
    const std::string pid = backend->Field("PID").AsText();
    backend->Close();
    second_connection->Execute("SELECT pg_terminate_backend(" + pid + ")");
    std::unique_ptr<EmployeeClaim> taken;
    for (auto until = std::chrono::steady_clock::now() + 10s;
         !taken && std::chrono::steady_clock::now() < until; std::this_thread::sleep_for(20ms)) {
      taken = second.TryClaim("E9");
    }
    EXPECT_NE(taken, nullptr);
  }
}

// The installed broker program with four workers on PostgreSQL, where several brokers may run
// at once: the hours components are served by DelayedHoursErp from its library, which notes
// every booking in a journal file shared by the processes.
class WorkerProgramsTest : public WorkersTest {
 protected:
  WorkerProgramsTest() {
    programs_folder_ = std::filesystem::path(TQS_BROKER_PROGRAM).parent_path();
  }

  void SetUp() override {
    WorkersTest::SetUp();
    if (IsSkipped()) return;
    if (!OnPostgres()) GTEST_SKIP() << "several brokers at once need PostgreSQL";
    SetWorkers("4");
  }

  // Serves the hours components from the DelayedHoursErp library with these settings.
  void ServeHoursFromDelayedErp(const std::map<std::string, std::string>& settings) const {
    const std::filesystem::path file = bin() / "TQSRemoteComponents.xml";
    pugi::xml_document document;
    ASSERT_TRUE(document.load_file(file.c_str()));
    pugi::xml_node root = document.document_element();
    pugi::xml_node entry =
        root.find_child_by_attribute("component", "prefix", erp::hours_accounting::kPrefix.data());
    if (!entry) {
      entry = root.append_child("component");
      entry.append_attribute("prefix") = erp::hours_accounting::kPrefix.data();
    }
    entry.remove_attribute("idempotencyKeys");  // the stand-in books a replay again
    entry.remove_attribute("library");
    entry.append_attribute("library") = TQS_DELAYED_HOURS_ERP;
    entry.remove_children();
    for (const auto& [key, value] : settings) {
      pugi::xml_node setting = entry.append_child("setting");
      setting.append_attribute("key") = key.c_str();
      setting.append_attribute("value") = value.c_str();
    }
    ASSERT_TRUE(document.save_file(file.c_str()));
  }

  std::filesystem::path journal() const { return folder_ / "erp-journal.txt"; }

  // The journal's lines that start with `word` ("booked", "start"): task -> process ids.
  std::map<std::string, std::vector<std::string>> Journal(const std::string& word) const {
    std::map<std::string, std::vector<std::string>> lines;
    std::istringstream text(testing::ReadFile(journal()));
    for (std::string line; std::getline(text, line);) {
      std::istringstream fields(line);
      std::string first, task, employee, process;
      fields >> first >> task >> employee >> process;
      if (first == word) lines[task].push_back(process);
    }
    return lines;
  }

  // Waits for `pid` to end; its exit status, or -1 when it did not end normally.
  static int ExitStatus(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
  }
};
TQS_INSTANTIATE_FOR_BACKENDS(WorkerProgramsTest);

TEST_P(WorkerProgramsTest, TwoBrokersRunTheirPassesAtOnceAndBookEachDocumentOnce) {
  constexpr int kEmployees = 40;
  constexpr int kDocuments = 5;
  AddEmployeesWithLines(kEmployees, kDocuments);
  ServeHoursFromDelayedErp({{"DelayMilliseconds", "20"}, {"Journal", journal().string()}});

  const pid_t first = StartBrokerProgram(folder_ / "first.out", {"--once"});
  const pid_t second = StartBrokerProgram(folder_ / "second.out", {"--once"});
  ASSERT_GT(first, 0);
  ASSERT_GT(second, 0);
  EXPECT_EQ(ExitStatus(first), 0) << testing::ReadFile(folder_ / "first.out");
  EXPECT_EQ(ExitStatus(second), 0) << testing::ReadFile(folder_ / "second.out");

  const auto booked = Journal("booked");
  EXPECT_EQ(booked.size(), static_cast<std::size_t>(kEmployees * kDocuments));
  std::set<std::string> processes;
  for (const auto& [task, by] : booked) {
    EXPECT_EQ(by.size(), 1u) << task << " booked more than once";
    processes.insert(by.begin(), by.end());
  }
  EXPECT_EQ(processes, (std::set<std::string>{std::to_string(first), std::to_string(second)}))
      << "both brokers should have worked at once";
  for (const auto& [document, row] : StoredRows()) EXPECT_EQ(row.status, "10") << document;
}

TEST_P(WorkerProgramsTest, ABrokerKilledInsideAnErpCallGivesItsEmployeeUpAndItsDocumentIsInDoubt) {
  AddEmployeesWithLines(4, 3);
  const std::filesystem::path hold = folder_ / "hold";
  std::ofstream(hold).put('x');
  ServeHoursFromDelayedErp(
      {{"Journal", journal().string()}, {"HoldFile", hold.string()}, {"HoldTask", "W2-2"}});

  const pid_t killed = StartBrokerProgram(folder_ / "killed.out", {"--once"});
  ASSERT_GT(killed, 0);
  // The broker is killed once W2-2 is at the ERP and every other employee's rows are finished,
  // so that W2-2 is the only document in flight: a worker killed between its attempt and its
  // outcome would leave a document of its own in doubt.
  const auto only_w2_2_in_flight = [&] {
    return Journal("start").contains("W2-2") &&
           Scalar("SELECT COUNT(*) FROM CLIENTSERVERINTERACTION WHERE INTERACTIONSTATUS = 10") ==
               "10";
  };
  for (const auto until = std::chrono::steady_clock::now() + 60s; !only_w2_2_in_flight();
       std::this_thread::sleep_for(10ms)) {
    ASSERT_LT(std::chrono::steady_clock::now(), until) << testing::ReadFile(folder_ / "killed.out");
  }

  // While its worker pass runs, the operator's tools and single-worker passes are refused.
  EXPECT_EQ(PassLock::TryAcquire(dsn_, *Connect()), nullptr);
  const std::string key = Scalar(
      "SELECT INTERACTIONKEY FROM CLIENTSERVERINTERACTION WHERE BUSINESSDOCUMENTID = 'W2-2'");
  server::DecisionRequest requeue;
  requeue.keys = {std::stoll(key)};
  requeue.operator_name = "test";
  testing::FixedClock clock;
  EXPECT_THROW(server::ApplyDecision(dsn_, requeue, clock, [](const server::DecisionLine&) {}),
               Error);

  ASSERT_EQ(::kill(killed, SIGKILL), 0);
  EXPECT_EQ(ExitStatus(killed), -1);
  std::filesystem::remove(hold);
  // The killed broker's session ends on the server: its pass lock and claims go with it.
  ASSERT_TRUE(PassLockFreeWithin(std::chrono::seconds(10)))
      << "the killed broker's pass lock was not given up";

  const pid_t next = StartBrokerProgram(folder_ / "next.out", {"--once"});
  ExitStatus(next);
  const std::string output = testing::ReadFile(folder_ / "next.out");
  EXPECT_THAT(output, HasSubstr("1 pending document(s) are in doubt")) << output;

  const auto booked = Journal("booked");
  EXPECT_EQ(booked.count("W2-2"), 0u) << "the document in doubt was sent again";
  EXPECT_EQ(booked.size(), 11u) << output;
  for (const auto& [task, by] : booked) EXPECT_EQ(by.size(), 1u) << task;
  const auto rows = StoredRows();
  for (const auto& [document, row] : rows) {
    EXPECT_EQ(row.status, document == "W2-2" ? "5" : "10") << document;
  }
  EXPECT_EQ(Scalar("SELECT ATTEMPTOPEN FROM CLIENTSERVERINTERACTION WHERE BUSINESSDOCUMENTID = "
                   "'W2-2'"),
            "1");
}

}  // namespace
}  // namespace tqs::broker
