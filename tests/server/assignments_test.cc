#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "admin/installation.h"
#include "admin/users.h"
#include "common/error.h"
#include "server/date_object.h"
#include "server/jobsheet.h"
#include "tests/server/server_database_fixture.h"
#include "tests/support/error_testing.h"
#include "tests/support/recording_components.h"

namespace tqs::server {
namespace {

using automation::Variant;
using test_support::ErrorNumberOf;
using test_support::RecordingComponents;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class AssignmentsTest : public testing::ServerDatabaseTest {
 protected:
  void SetUp() override {
    ServerDatabaseTest::SetUp();
    if (IsSkipped()) return;
    registry_.Register("Q72dVXRsvordAssignments.", erp_);
    ReturnFromUpdate(0);
    admin::AddUser(dsn_, "jdoe", "1001", "BC01");
  }

  void ReturnFromUpdate(std::int32_t value) {
    erp_->OnCall("svbodll350002Manager", "svbodll350002updateassignments",
                 [this](std::span<Variant>) -> Variant {
                   return erp_->NewObject("Q72dVXRsvordAssignments.oResult");
                 });
    erp_->Returns("oResult", "getOReturnValue", value);
  }

  static pugi::xml_document Document(const char* text) {
    pugi::xml_document document;
    document.load_string(text);
    return document;
  }

  std::shared_ptr<RecordingComponents> erp_ = std::make_shared<RecordingComponents>();
  automation::ComponentRegistry registry_;
  JobSheet job_sheet_{registry_};
};

TQS_INSTANTIATE_FOR_BACKENDS(AssignmentsTest);

TEST_P(AssignmentsTest, UpdateSendsEveryServiceOrderAndActivityInOrder) {
  const pugi::xml_document assignments = Document(
      "<assignments><so id='4711'><a id='10' ataken='ACC' don='D1' aon='A1'/>"
      "<a id='20' ataken='REJ' don='D2' aon='A2'/></so><so id='4712'/></assignments>");
  Variant feedback = "as passed", error = "stale";
  EXPECT_TRUE(job_sheet_.updateAssignments("jdoe", assignments, dsn_, feedback, error))
      << erp_->JournalText();
  EXPECT_EQ(error.AsText(), "");
  EXPECT_EQ(feedback.AsText(), "as passed");
  EXPECT_THAT(
      erp_->Journal(),
      ElementsAre(
          "create Q72dVXRsvordAssignments.iassignments#1",
          "create Q72dVXRsvordAssignments.ServiceOrderWithOutData#1",
          "call ServiceOrderWithOutData#1.setServiceOrderID(Text(\"4711\"))",
          "create Q72dVXRsvordAssignments.ActivityWithOutData#1",
          "call ActivityWithOutData#1.setActivityID(Text(\"10\"))",
          "call ActivityWithOutData#1.setActionTaken(Text(\"ACC\"))",
          "call ActivityWithOutData#1.setDownloadedON(Text(\"D1\"))",
          "call ActivityWithOutData#1.setAcceptedON(Text(\"A1\"))",
          "call ServiceOrderWithOutData#1.addActivityWithOutData(Object(ActivityWithOutData#1))",
          "create Q72dVXRsvordAssignments.ActivityWithOutData#2",
          "call ActivityWithOutData#2.setActivityID(Text(\"20\"))",
          "call ActivityWithOutData#2.setActionTaken(Text(\"REJ\"))",
          "call ActivityWithOutData#2.setDownloadedON(Text(\"D2\"))",
          "call ActivityWithOutData#2.setAcceptedON(Text(\"A2\"))",
          "call ServiceOrderWithOutData#1.addActivityWithOutData(Object(ActivityWithOutData#2))",
          "call iassignments#1.addServiceOrderWithOutData(Object(ServiceOrderWithOutData#1))",
          "create Q72dVXRsvordAssignments.ServiceOrderWithOutData#2",
          "call ServiceOrderWithOutData#2.setServiceOrderID(Text(\"4712\"))",
          "call iassignments#1.addServiceOrderWithOutData(Object(ServiceOrderWithOutData#2))",
          "create Q72dVXRsvordAssignments.svbodll350002Manager#1",
          "create Q72dVXRsvordAssignments.oassignments#1",
          "create Q72dVXRsvordAssignments.oEStruct#1",
          "call svbodll350002Manager#1.Initialize(Text(\"BC01\"))",
          "call svbodll350002Manager#1.svbodll350002updateassignments(Text(\"1001\"), "
          "Object(iassignments#1), Object(oassignments#1), Object(oEStruct#1), Int32(0))",
          "call oResult#1.getOReturnValue()"));
}

TEST_P(AssignmentsTest, ReturnValuesAndFailures) {
  const pugi::xml_document empty_root = Document("<assignments/>");
  Variant feedback, error = "untouched";
  ReturnFromUpdate(-2);
  EXPECT_TRUE(job_sheet_.sendAssignments("1001", "BC01", empty_root, feedback, error));
  ReturnFromUpdate(-1);
  EXPECT_FALSE(job_sheet_.sendAssignments("1001", "BC01", empty_root, feedback, error));
  EXPECT_EQ(error.AsText(), "untouched");

  // A missing attribute: nothing reaches the manager, the description names the attribute.
  erp_->ClearJournal();
  EXPECT_FALSE(job_sheet_.sendAssignments(
      "1001", "BC01", Document("<r><so id='1'><a id='10' ataken='X' don='D'/></so></r>"),
      feedback, error));
  EXPECT_THAT(error.AsText(), HasSubstr("'aon'"));
  EXPECT_TRUE(erp_->Journal("svbodll350002Manager").empty()) << erp_->JournalText();

  // An ERP failure is reported with its description.
  erp_->Throws("svbodll350002Manager", "Initialize", Error(-2147467259, "ERP is down"));
  EXPECT_FALSE(job_sheet_.sendAssignments("1001", "BC01", empty_root, feedback, error));
  EXPECT_EQ(error.AsText(), "ERP is down");

  // A login without a row, and a database that cannot be opened.
  EXPECT_FALSE(job_sheet_.updateAssignments("nobody", empty_root, dsn_, feedback, error));
  EXPECT_THAT(error.AsText(), HasSubstr("current record"));
  EXPECT_FALSE(job_sheet_.updateAssignments(
      "jdoe", empty_root, "Provider=SQLite;Data Source=" + (folder_ / "none.db").string(),
      feedback, error));
  EXPECT_THAT(error.AsText(), HasSubstr("none.db"));
}

class ReturnDateTest : public ::testing::Test {
 protected:
  // A zone one hour ahead of UTC without daylight saving.
  void SetUp() override {
    const char* old = std::getenv("TZ");
    old_zone_ = old ? std::optional<std::string>(old) : std::nullopt;
    setenv("TZ", "XXX-1", 1);
    tzset();
  }
  void TearDown() override {
    if (old_zone_) {
      setenv("TZ", old_zone_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

  std::vector<std::int32_t> Fields(const std::string& stamp) {
    const auto date = std::dynamic_pointer_cast<DateObject>(job_sheet_.returnDate(stamp));
    using F = DateObject::Field;
    return {date->Get(F::kYear),  date->Get(F::kMonth),   date->Get(F::kDate),
            date->Get(F::kHours), date->Get(F::kMinutes), date->Get(F::kSeconds)};
  }

  std::optional<std::string> old_zone_;
  automation::ComponentRegistry registry_;
  JobSheet job_sheet_{registry_};
};

TEST_F(ReturnDateTest, ConvertsTheUtcStampToLocalTime) {
  EXPECT_EQ(Fields("20261208T120000"), (std::vector<std::int32_t>{126, 11, 8, 13, 0, 0}));
  // Past midnight the local day, month and year move on.
  EXPECT_EQ(Fields("20261231X233059 and more"),
            (std::vector<std::int32_t>{127, 0, 1, 0, 30, 59}));
  EXPECT_EQ(Fields("   "), (std::vector<std::int32_t>{0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(ErrorNumberOf([&] { Fields("2026120xT120000"); }), error_number::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([&] { Fields("20261208"); }), error_number::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([&] { Fields("20261308T120000"); }),
            error_number::kInvalidProcedureCall);
}

}  // namespace
}  // namespace tqs::server
