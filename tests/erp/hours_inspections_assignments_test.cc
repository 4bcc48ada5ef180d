// The reference ERP's hours accounting, service inspection and assignment components, called
// as the broker and the server component call them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/erp/assignments.h"
#include "common/erp/hours_accounting.h"
#include "common/erp/service_inspections.h"
#include "tests/erp/reference_erp_fixture.h"

namespace tqs::erp::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace ha = hours_accounting;
namespace si = service_inspections;
namespace as = assignments;

// --- Hours accounting -----------------------------------------------------------------------

struct HoursValues {
  Variant employee = Variant("E1");
  Variant task = Variant("TRAV");
  Variant date = Variant("09032026");
  Variant spent = Variant(1.5);
};

struct Booking {
  std::vector<std::string> errors;
  std::vector<std::int32_t> line_numbers;
  bool operator==(const Booking&) const = default;
};

class ErpHoursAccountingTest : public ReferenceErpTest {
 protected:
  ObjectPtr Line(const HoursValues& values) const {
    const ObjectPtr line = Create(ha::prog_id::kServiceOrderHoursAccounting);
    Call(line, ha::method::kSetEmployee, {values.employee});
    Call(line, ha::method::kSetTask, {values.task});
    Call(line, ha::method::kSetRegistrationDate, {values.date});
    Call(line, ha::method::kSetSpentTime, {values.spent});
    return line;
  }

  ObjectPtr Manager() const {
    const ObjectPtr manager = Create(ha::prog_id::kServiceOrderHoursAccountingManager);
    Call(manager, ha::method::kInitialize, {Variant("100")});
    return manager;
  }

  // Books the lines (nullptr: an empty entry) as the broker does, and reads the outcome; with
  // `key`, the manager is given it as the idempotency key first. A new manager unless one is
  // given.
  Booking Book(const std::vector<ObjectPtr>& lines, const char* key = nullptr,
               ObjectPtr manager = nullptr) const {
    const ObjectPtr record_set = Create(ha::prog_id::kRecordset);
    for (const ObjectPtr& line : lines) {
      Call(record_set, ha::method::kAddServiceOrderHoursAccounting, {Variant(line)});
    }
    if (!manager) manager = Manager();
    if (key != nullptr) Call(manager, ha::method::kSetIdempotencyKey, {Variant(key)});
    const ObjectPtr outcome = ObjectOf(Call(manager, ha::method::kCreate, {Variant(record_set)}));
    Booking booking;
    const ObjectPtr errors = ObjectOf(Call(outcome, ha::method::kGetKorvoErrorDoc));
    const std::int32_t count = Call(errors, ha::method::kSizeKorvoErrorStructure).AsInt32();
    for (std::int16_t index = 0; index < count; ++index) {
      booking.errors.push_back(
          Call(ObjectOf(Call(errors, ha::method::kGetKorvoErrorStructureAt, {Variant(index)})),
               ha::method::kGetErrorDescription)
              .AsText());
    }
    if (count == 0) {
      const ObjectPtr stored = ObjectOf(Call(outcome, ha::method::kGetRecordSet));
      for (std::int16_t index = 0; index < static_cast<std::int16_t>(lines.size()); ++index) {
        booking.line_numbers.push_back(
            Call(ObjectOf(
                     Call(stored, ha::method::kGetServiceOrderHoursAccountingAt, {Variant(index)})),
                 ha::method::kGetLineNumber)
                .AsInt32());
      }
    }
    return booking;
  }
};

TEST_F(ErpHoursAccountingTest, BooksLinesUnderIncreasingLineNumbers) {
  const Booking first = Book({Line({})});
  HoursValues text_time;
  text_time.spent = Variant("2,25");  // a spent time handed over as text
  const Booking second = Book({Line(text_time), Line({})});
  EXPECT_THAT(first.errors, IsEmpty());
  EXPECT_THAT(second.errors, IsEmpty());
  ASSERT_EQ(first.line_numbers.size(), 1u);
  EXPECT_THAT(second.line_numbers,
              ElementsAre(first.line_numbers[0] + 1, first.line_numbers[0] + 2));

  const std::vector<HoursLine> booked = OpenStore()->HoursLinesOf("E1");
  ASSERT_EQ(booked.size(), 3u);
  EXPECT_EQ(booked[0].registration_date, "2026-03-09");
  EXPECT_EQ(booked[0].task, "TRAV");
  EXPECT_DOUBLE_EQ(booked[1].spent_time, 2.25);
}

TEST_F(ErpHoursAccountingTest, RejectsLinesARealErpWouldRejectAndBooksNothing) {
  struct Case {
    HoursValues values;
    const char* error;
  };
  const Case cases[] = {
      {{Variant("E404")}, "Hours line 1: employee 'E404' is not known to the ERP"},
      {{Variant("E1"), Variant("")}, "Hours line 1: the task is missing"},
      {{Variant("E1"), Variant("GOLF")}, "Hours line 1: task 'GOLF' is not a task the ERP knows"},
      {{Variant("E1"), Variant("TRAV"), Variant("31022026")},
       "Hours line 1: registration date '31022026' is no date (ddmmyyyy)"},
      {{Variant("E1"), Variant("TRAV"), Variant("2026-03-09")},
       "Hours line 1: registration date '2026-03-09' is no date (ddmmyyyy)"},
      {{Variant("E1"), Variant("TRAV"), Variant("09032026"), Variant("lots")},
       "Hours line 1: spent time 'lots' is not a number"},
      {{Variant("E1"), Variant("TRAV"), Variant("09032026"), Variant(0.0)},
       "Hours line 1: spent time 0 is not above 0 and at most 24 hours"},
      {{Variant("E1"), Variant("TRAV"), Variant("09032026"), Variant(-1.0)},
       "Hours line 1: spent time -1 is not above 0 and at most 24 hours"},
      {{Variant("E1"), Variant("TRAV"), Variant("09032026"), Variant(24.5)},
       "Hours line 1: spent time 24.5 is not above 0 and at most 24 hours"},
  };
  for (const Case& test : cases) {
    const Booking booking = Book({Line(test.values)});
    EXPECT_THAT(booking.errors, ElementsAre(test.error));
  }
  // One bad line of two books neither; an empty entry is a problem of its own.
  HoursValues bad;
  bad.task = Variant("GOLF");
  EXPECT_THAT(Book({Line({}), Line(bad), nullptr}).errors,
              ElementsAre("Hours line 2: task 'GOLF' is not a task the ERP knows",
                          "Hours line 3: the line is empty (it was handed over without values)"));
  EXPECT_THAT(OpenStore()->HoursLinesOf("E1"), IsEmpty());
}

TEST_F(ErpHoursAccountingTest, ARepeatedKeyIsAnsweredWithTheFirstOutcomeAndBooksOnce) {
  const auto booked = [&] { return OpenStore()->HoursLinesOf("E1").size(); };
  const Booking first = Book({Line({}), Line({})}, "3f2a/10");
  EXPECT_THAT(first.errors, IsEmpty());
  ASSERT_EQ(first.line_numbers.size(), 2u);
  EXPECT_EQ(Book({Line({}), Line({})}, "3f2a/10"), first);
  EXPECT_EQ(booked(), 2u);

  // The key decides, not the content: another key books the same lines under new numbers.
  EXPECT_THAT(Book({Line({}), Line({})}, "3f2a/11").line_numbers,
              ElementsAre(first.line_numbers[1] + 1, first.line_numbers[1] + 2));
  EXPECT_EQ(booked(), 4u);

  // After a restart (a new factory on the same store) the key is still known.
  LoadRegistry();
  EXPECT_EQ(Book({Line({}), Line({})}, "3f2a/10"), first);
  EXPECT_EQ(booked(), 4u);

  // A key holds for one Create: the manager's next Create without a key books as always.
  const ObjectPtr manager = Manager();
  EXPECT_EQ(Book({Line({}), Line({})}, "3f2a/10", manager), first);
  EXPECT_THAT(Book({Line({})}, nullptr, manager).errors, IsEmpty());
  EXPECT_THAT(Book({Line({})}).errors, IsEmpty());
  EXPECT_EQ(booked(), 6u);
}

TEST_F(ErpHoursAccountingTest, ARejectedLineIsRejectedAgainUnderItsKey) {
  HoursValues golf;
  golf.task = Variant("GOLF");
  const Booking rejected = Book({Line(golf)}, "3f2a/20");
  EXPECT_THAT(rejected.errors,
              ElementsAre("Hours line 1: task 'GOLF' is not a task the ERP knows"));

  // Once the task is known the line passes, but not under the key that was rejected.
  OpenStore()->PutTask("GOLF", "Golf course maintenance");
  EXPECT_EQ(Book({Line(golf)}, "3f2a/20"), rejected);
  EXPECT_THAT(OpenStore()->HoursLinesOf("E1"), IsEmpty());
  EXPECT_THAT(Book({Line(golf)}, "3f2a/21").errors, IsEmpty());
  EXPECT_EQ(OpenStore()->HoursLinesOf("E1").size(), 1u);
}

// --- Service inspections --------------------------------------------------------------------

struct InspectionOutcome {
  std::int32_t return_value;
  std::string id;
  std::string result;
  std::string error;
  bool operator==(const InspectionOutcome&) const = default;
};

class ErpServiceInspectionTest : public ReferenceErpTest {
 protected:
  ObjectPtr Data(std::string_view prog_id,
                 std::vector<std::pair<std::string_view, Variant>> setters) const {
    const ObjectPtr object = Create(prog_id);
    for (const auto& [method, value] : setters) Call(object, method, {value});
    return object;
  }

  ObjectPtr Measurement(const char* type, const char* independent) const {
    return Data(si::prog_id::kInspection,
                {{si::method::kSetSIMeasurementType, Variant(type)},
                 {si::method::kSetMeasurementSequence, Variant("1")},
                 {si::method::kSetRegistrationTime, Variant("2026-03-09 09:30:00")},
                 {si::method::kSetMeasuredIndependentValue, Variant(independent)}});
  }

  // An inspection of CMP-10 with `measurements` (no header when `with_header` is false).
  ObjectPtr Input(std::vector<ObjectPtr> measurements, bool with_header = true) const {
    const ObjectPtr inspection = Create(si::prog_id::kServiceInspection);
    if (with_header) {
      Call(inspection, si::method::kSetInspectionHeaderDetails,
           {Variant(Data(si::prog_id::kInspectionHeaderDetails,
                         {{si::method::kSetServiceInspectionID, Variant("LAP-17")},
                          {si::method::kSetObject, Variant("CMP-10")},
                          {si::method::kSetSerialNumber, Variant("SN-1")}}))});
    }
    const ObjectPtr list = Create(si::prog_id::kInspections);
    for (const ObjectPtr& measurement : measurements) {
      Call(list, si::method::kAddInspection, {Variant(measurement)});
      Call(inspection, si::method::kSetInspections, {Variant(list)});
    }
    return Data(si::prog_id::kIServiceInspectionForProcess,
                {{si::method::kSetServiceInspection, Variant(inspection)}});
  }

  // Processes as the broker does; with `key`, the manager is given it as the idempotency key
  // first.
  InspectionOutcome Process(const ObjectPtr& input, const char* key = nullptr) const {
    const ObjectPtr manager = Create(si::prog_id::kServiceInspectionsManager);
    if (key != nullptr) Call(manager, si::method::kSetIdempotencyKey, {Variant(key)});
    Call(manager, si::method::kInitialize, {Variant("100")});
    const ObjectPtr outcome =
        ObjectOf(Call(manager, si::method::kProcessServiceInspection,
                      {Variant(input), Variant(std::int32_t{0}),
                       Variant(Create(si::prog_id::kOErrorProcessStructForProcessSI)),
                       Variant(std::int32_t{0})}));
    const ObjectPtr result =
        ObjectOf(Call(ObjectOf(Call(outcome, si::method::kGetOErrorProcessStructForProcessSI)),
                      si::method::kGetSI));
    return {Call(outcome, si::method::kGetOReturnValue).AsInt32(),
            Call(result, si::method::kGetServiceInspectionLineAttribute).AsText(),
            Call(result, si::method::kGetResult).AsText(),
            Call(result, si::method::kGetErrorDescription).AsText()};
  }
};

TEST_F(ErpServiceInspectionTest, StoresTheMeasurementSetAndAnswersItsId) {
  const InspectionOutcome outcome =
      Process(Input({Measurement("TEMP", "4.5"), Measurement("PRESSURE", "7,2")}));
  EXPECT_EQ(outcome.return_value, 0);
  EXPECT_EQ(outcome.result, "0");
  EXPECT_EQ(outcome.error, "");
  const std::optional<ServiceInspection> stored =
      OpenStore()->FindServiceInspection(std::stoll(outcome.id));
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(stored->client_id, "LAP-17");
  EXPECT_EQ(stored->object, "CMP-10");
  ASSERT_EQ(stored->measurements.size(), 2u);
  EXPECT_EQ(stored->measurements[1].measurement_type, "PRESSURE");
  EXPECT_EQ(stored->measurements[1].independent_value, "7,2");

  EXPECT_NE(Process(Input({Measurement("TEMP", "5")})).id, outcome.id);  // a new id each time
}

TEST_F(ErpServiceInspectionTest, RejectsIncompleteOrMalformedInspections) {
  struct Case {
    ObjectPtr input;
    const char* error;
  };
  const Case cases[] = {
      {Create(si::prog_id::kIServiceInspectionForProcess), "The service inspection holds no data"},
      {Input({Measurement("TEMP", "4")}, /*with_header=*/false),
       "The service inspection has no header (ATTRIBUTES)"},
      {Input({}), "The service inspection holds no measurements"},
      {Input({Measurement("", "4")}), "Measurement 1: the measurement type (CMEA) is missing"},
      {Input({Measurement("TEMP", "4"), Measurement("TEMP", "warm")}),
       "Measurement 2: measured value (MIVL) 'warm' is not a number"},
      {Input({nullptr}), "Measurement 1: it could not be read"},
  };
  for (const Case& test : cases) {
    const InspectionOutcome outcome = Process(test.input);
    EXPECT_EQ(outcome.return_value, -1) << test.error;
    EXPECT_EQ(outcome.result, "-1");
    EXPECT_THAT(outcome.error, HasSubstr(test.error));
  }
  EXPECT_EQ(Process(Input({Measurement("TEMP", "x")})).id, "LAP-17");  // the laptop's id
}

TEST_F(ErpServiceInspectionTest, ARepeatedKeyIsAnsweredWithTheFirstOutcomeAndStoresOnce) {
  const InspectionOutcome first = Process(Input({Measurement("TEMP", "4.5")}), "3f2a/30");
  EXPECT_EQ(first.return_value, 0);
  EXPECT_EQ(Process(Input({Measurement("TEMP", "4.5")}), "3f2a/30"), first);

  // Ids are allocated one after the other: the next stored inspection shows that the repeat
  // stored nothing.
  const InspectionOutcome other = Process(Input({Measurement("TEMP", "4.5")}), "3f2a/31");
  EXPECT_EQ(other.return_value, 0);
  EXPECT_EQ(other.id, std::to_string(std::stoll(first.id) + 1));

  // After a restart (a new factory on the same store) the key is still known.
  LoadRegistry();
  EXPECT_EQ(Process(Input({Measurement("TEMP", "4.5")}), "3f2a/30"), first);

  // Keys of other components name other documents: the same text as an hours key stores.
  OpenStore()->BookOnce(BookingKind::kHours, "3f2a/32", [] { return std::string("{}"); });
  EXPECT_EQ(Process(Input({Measurement("TEMP", "4.5")}), "3f2a/32").id,
            std::to_string(std::stoll(first.id) + 2));
  // Without a key every call stores, as it always did.
  EXPECT_EQ(Process(Input({Measurement("TEMP", "4.5")})).id,
            std::to_string(std::stoll(first.id) + 3));
  EXPECT_FALSE(OpenStore()->FindServiceInspection(std::stoll(first.id) + 4).has_value());
}

TEST_F(ErpServiceInspectionTest, ARejectedInspectionIsRejectedAgainUnderItsKey) {
  const InspectionOutcome rejected = Process(Input({Measurement("TEMP", "warm")}), "3f2a/40");
  EXPECT_EQ(rejected.return_value, -1);
  EXPECT_EQ(rejected.id, "LAP-17");
  EXPECT_THAT(rejected.error, HasSubstr("measured value (MIVL) 'warm' is not a number"));

  // A corrected inspection under the same key gets the same rejection and is not stored.
  EXPECT_EQ(Process(Input({Measurement("TEMP", "4")}), "3f2a/40"), rejected);
  const InspectionOutcome stored = Process(Input({Measurement("TEMP", "4")}), "3f2a/41");
  EXPECT_EQ(stored.return_value, 0);
  EXPECT_EQ(stored.id, "1");  // the first inspection the store holds
}

// --- Assignments ----------------------------------------------------------------------------

class ErpAssignmentsTest : public ReferenceErpTest {
 protected:
  struct ActivityAction {
    const char* id;
    const char* action;
    const char* downloaded_on;
  };

  ObjectPtr Order(const char* id, std::vector<ActivityAction> activities) const {
    const ObjectPtr order = Create(as::prog_id::kServiceOrderWithOutData);
    Call(order, as::method::kSetServiceOrderID, {Variant(id)});
    for (const ActivityAction& activity : activities) {
      const ObjectPtr object = Create(as::prog_id::kActivityWithOutData);
      Call(object, as::method::kSetActivityID, {Variant(activity.id)});
      Call(object, as::method::kSetActionTaken, {Variant(activity.action)});
      Call(object, as::method::kSetDownloadedON, {Variant(activity.downloaded_on)});
      Call(object, as::method::kSetAcceptedON, {Variant("20260309T081500")});
      Call(order, as::method::kAddActivityWithOutData, {Variant(object)});
    }
    return order;
  }

  std::int32_t Update(const char* employee, std::vector<ObjectPtr> orders) const {
    const ObjectPtr input = Create(as::prog_id::kIAssignments);
    for (const ObjectPtr& order : orders) {
      Call(input, as::method::kAddServiceOrderWithOutData, {Variant(order)});
    }
    const ObjectPtr manager = Create(as::prog_id::kManager);
    Call(manager, as::method::kInitialize, {Variant("100")});
    const ObjectPtr result = ObjectOf(
        Call(manager, as::method::kUpdateAssignments,
             {Variant(employee), Variant(input), Variant(Create(as::prog_id::kOAssignments)),
              Variant(Create(as::prog_id::kOEStruct)), Variant(std::int32_t{0})}));
    return Call(result, as::method::kGetOReturnValue).AsInt32();
  }
};

TEST_F(ErpAssignmentsTest, RecordsActionsAndTimesPerActivity) {
  EXPECT_EQ(Update("E1", {Order("A1", {{"10", "Accepted", "20260308T170000"},
                                       {"20", "Rejected", "2026-03-08 17:00"}})}),
            0);
  const std::unique_ptr<Store> store = OpenStore();
  const std::optional<AssignmentAction> first = store->FindAssignment("A1", "10");
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->action_taken, "Accepted");
  EXPECT_EQ(first->downloaded_on, "20260308T170000");
  EXPECT_EQ(first->accepted_on, "20260309T081500");
  EXPECT_EQ(store->FindAssignment("A1", "20")->action_taken, "Rejected");

  // A later action replaces the earlier one.
  EXPECT_EQ(Update("E1", {Order("A1", {{"10", "Started", ""}})}), 0);
  EXPECT_EQ(OpenStore()->FindAssignment("A1", "10")->action_taken, "Started");
}

TEST_F(ErpAssignmentsTest, AnswersMinusOneAndRecordsNothingForWhatItCannotPlace) {
  struct Case {
    const char* employee;
    const char* order;
    ActivityAction activity;
  };
  const Case cases[] = {
      {"E1", "ZZ", {"10", "Accepted", ""}},                 // unknown order
      {"E1", "A4", {"40", "Accepted", ""}},                 // another engineer's order
      {"E1", "A1", {"40", "Accepted", ""}},                 // activity of another order
      {"E1", "A1", {"10", "Accepted", "20261345T990000"}},  // no date
      {"E404", "A1", {"10", "Accepted", ""}},               // unknown employee
  };
  for (const Case& test : cases) {
    // The valid order before the failing one is not recorded either.
    EXPECT_EQ(Update(test.employee,
                     {Order("A2", {{"10", "Accepted", ""}}), Order(test.order, {test.activity})}),
              -1)
        << test.order;
  }
  EXPECT_FALSE(OpenStore()->FindAssignment("A2", "10").has_value());
}

}  // namespace
}  // namespace tqs::erp::testing
