// A broker pass with several workers (BROKER/Workers), on each backend: each employee's
// documents reach the ERP in upload order and never two at once, every document exactly once,
// the status lines of one employee stay together; a component registered single-threaded keeps
// the broker on one worker; a bad Workers value ends the run with a clear error.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "admin/users.h"
#include "common/erp/hours_accounting.h"
#include "tests/broker/broker_on_backends.h"
#include "tests/broker/broker_test_installation.h"
#include "tests/support/delayed_hours_erp.h"

namespace tqs::broker {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;
using test_support::DelayedHoursErp;

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
      if (i > 0) EXPECT_GE(calls[i].start, calls[i - 1].end) << employee << " two at once";
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
  EXPECT_EQ(order, (std::vector<std::string>{"W1-1", "W1-2", "W1-3", "W2-1", "W2-2", "W2-3",
                                             "W3-1", "W3-2", "W3-3", "W4-1", "W4-2", "W4-3"}));
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

}  // namespace
}  // namespace tqs::broker
