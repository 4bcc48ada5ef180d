// The reference ERP's ProcessJobSheet: uploaded job sheets built as the broker builds them,
// the outcome read back as the broker reads the error structure.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <utility>

#include "common/erp/job_sheets.h"
#include "tests/erp/reference_erp_fixture.h"

namespace tqs::erp::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace js = job_sheets;
namespace errors = job_sheets::process_errors;

using Setters = std::vector<std::pair<std::string_view, Variant>>;

struct Processed {
  std::int32_t return_value = 0;
  // One line per object: "<kind> <id> <result>[ new <id>][: <description>]".
  std::vector<std::string> outcomes;
};

class ErpProcessJobSheetTest : public ReferenceErpTest {
 protected:
  // A data object of the job sheet component, filled by its setters in order.
  ObjectPtr Data(std::string_view class_name, const Setters& setters) const {
    const ObjectPtr object = Create(std::string(js::kPrefix) + std::string(class_name));
    for (const auto& [method, value] : setters) Call(object, method, {value});
    return object;
  }

  // A job sheet for order `id` with `activities` (ActivityData objects) and `more` setters.
  ObjectPtr JobSheet(std::string_view id, std::vector<ObjectPtr> activities,
                     Setters more = {}) const {
    Setters order = {{"setServiceOrderAttribute", Variant(std::string(id))},
                     {"setOriginAttribute", Variant("ERP")},
                     {"setActionsPerformedAttribute", Variant("RDP")}};
    if (!activities.empty()) {
      Setters list;
      for (ObjectPtr& activity : activities)
        list.emplace_back("addActivityData", Variant(activity));
      order.emplace_back("setActivitiesData", Variant(Data("ActivitiesData", list)));
    }
    for (auto& setter : more) order.push_back(std::move(setter));
    return Data("iJobSheetForProcess",
                {{"setServiceOrderData", Variant(Data("ServiceOrderData", order))}});
  }

  ObjectPtr Activity(std::string_view id, std::string_view actions, Setters more = {}) const {
    Setters setters = {{"setActivityAttribute", Variant(std::string(id))},
                       {"setOriginAttribute", Variant("ERP")},
                       {"setActionsPerformedAttribute", Variant(std::string(actions))}};
    for (auto& setter : more) setters.push_back(std::move(setter));
    return Data("ActivityData", setters);
  }

  // A line list: `list_class` holding `lines` (nullptr: an entry without object).
  Variant Lines(std::string_view list_class, std::string_view add,
                std::vector<ObjectPtr> lines) const {
    Setters setters;
    for (ObjectPtr& line : lines) setters.emplace_back(add, Variant(line));
    return Variant(Data(list_class, setters));
  }

  ObjectPtr Material(std::string_view id, Setters values) const {
    values.insert(values.begin(), {{"setCostLineAttribute", Variant(std::string(id))},
                                   {"setOriginAttribute", Variant("ERP")}});
    return Data("MaterialData", values);
  }

  // A job sheet for A1's activity 20 adding a material line (one more rejected) and a payment.
  ObjectPtr AdditionsToA1() const {
    return JobSheet(
        "A1",
        {Activity("20", "",
                  {{"setMaterialRequirement",
                    Lines("MaterialRequirement", "addMaterialData",
                          {Material("N1", {{"setActualCumulativeQuantity", Variant("1")}}),
                           Material("N2", {{"setActualCumulativeQuantity", Variant("two")}})})}})},
        {{"setPaymentsData",
          Variant(Data("PaymentsData",
                       {{"addPaymentData",
                         Variant(Data("PaymentData", {{"setPaymentMode", Variant("CASH")}}))}}))}});
  }

  // Processes as the broker does; with `key`, the ioState carries it as the idempotency key.
  Processed Process(std::string_view employee, const ObjectPtr& job_sheet,
                    const char* key = nullptr) const {
    const ObjectPtr manager = Create(js::prog_id::kJobSheetsManager);
    Call(manager, js::manager::kInitialize, {Variant("100")});
    const ObjectPtr state = Create(js::prog_id::kIoState);
    if (key != nullptr) Call(state, js::process_state::kSetIdempotencyKey, {Variant(key)});
    const ObjectPtr output = ObjectOf(
        Call(manager, js::manager::kProcessJobSheet,
             {Variant(std::string(employee)), Variant(job_sheet), Variant(std::int32_t{0}),
              Variant(state), Variant(Create(js::prog_id::kOErrorProcessStructForProcessJobSheet)),
              Variant(std::int32_t{0})}));
    Processed processed;
    processed.return_value = Call(output, js::process_output::kGetOReturnValue).AsInt32();
    Describe(ObjectOf(Call(output, js::process_output::kGetOErrorProcessStructForProcessJobSheet)),
             processed.outcomes);
    return processed;
  }

 private:
  static void Add(std::vector<std::string>& out, std::string_view kind, const std::string& id,
                  const ObjectPtr& item) {
    std::string line = std::string(kind) + " " + id + " " +
                       std::to_string(Call(item, errors::kGetResult).AsInt32());
    const std::string new_id = Call(item, errors::kGetNewLineID).ToTextOrEmpty();
    if (!new_id.empty()) line += " new " + new_id;
    const std::string description = Call(item, errors::kGetErrorDescription).ToTextOrEmpty();
    if (!description.empty()) line += ": " + description;
    out.push_back(line);
  }

  // Walks the error structure as the broker does.
  static void Describe(const ObjectPtr& structure, std::vector<std::string>& out) {
    struct Group {
      std::string_view kind, getter;
      List items;
    };
    const Group groups[] = {
        {"material", errors::kGetMaterialRequirementError, errors::kMaterialErrors},
        {"hour", errors::kGetHoursAccountingError, errors::kHourErrors},
        {"labor", errors::kGetLaborRequirementError, errors::kLaborErrors},
        {"other", errors::kGetOtherRequirementError, errors::kOtherErrors},
        {"inspection", errors::kGetInspectionsError, errors::kInspectionErrors}};
    const auto at = [](const ObjectPtr& list, std::string_view method, std::int32_t index) {
      return ObjectOf(Call(list, method, {Variant(index)}));
    };
    for (std::int32_t o = 0; o < Call(structure, errors::kOrderErrors.size).AsInt32(); ++o) {
      const ObjectPtr order = at(structure, errors::kOrderErrors.at, o);
      Add(out, "order", Call(order, js::attribute::kServiceOrder.get).ToTextOrEmpty(), order);
      const Variant activities =
          Call(order, errors::kGetActivitiesErrorAt, {Variant(std::int16_t{0})});
      for (std::int32_t a = 0;
           activities.IsObject() &&
           a < Call(activities.AsObject(), errors::kActivityErrors.size).AsInt32();
           ++a) {
        const ObjectPtr activity = at(activities.AsObject(), errors::kActivityErrors.at, a);
        Add(out, "activity", Call(activity, js::attribute::kActivity.get).ToTextOrEmpty(),
            activity);
        for (const Group& group : groups) {
          const Variant lines = Call(activity, group.getter);
          if (!lines.IsObject()) continue;
          for (std::int32_t l = 0; l < Call(lines.AsObject(), group.items.size).AsInt32(); ++l) {
            const ObjectPtr line = at(lines.AsObject(), group.items.at, l);
            const std::string id =
                group.kind == "inspection"
                    ? Call(line, js::attribute::kMeasurementType.get).ToTextOrEmpty() + "/" +
                          Call(line, js::attribute::kInspectionNo.get).ToTextOrEmpty()
                    : Call(line, js::attribute::kCostLine.get).ToTextOrEmpty();
            Add(out, group.kind, id, line);
          }
        }
      }
      const Variant payments = Call(order, errors::kGetPaymentsErrorAt, {Variant(std::int16_t{0})});
      if (!payments.IsObject()) continue;
      for (std::int32_t p = 0; p < Call(payments.AsObject(), errors::kPaymentErrors.size).AsInt32();
           ++p) {
        const ObjectPtr payment = at(payments.AsObject(), errors::kPaymentErrors.at, p);
        Add(out, "payment", Call(payment, js::attribute::kPaymentLine.get).ToTextOrEmpty(),
            payment);
      }
    }
  }
};

TEST_F(ErpProcessJobSheetTest, StoresAValidJobSheetAndNumbersWhatItAdds) {
  const ObjectPtr job_sheet = JobSheet(
      "A1",
      {Activity(
           "10", "RDC",
           {{"setActivityDetails",
             Variant(
                 Data("ActivityDetails", {{"setExecutionStart", Variant("2026-03-09 08:15:00")}}))},
            {"setMaterialRequirement",
             Lines("MaterialRequirement", "addMaterialData",
                   {Material("1", {{"setActualCumulativeQuantity", Variant("2")}}),
                    Material("N1", {{"setItem", Variant("FLT-02")},
                                    {"setActualCumulativeQuantity", Variant("1,5")}})})},
            {"setHoursAccounting",
             Lines("hoursAccounting", "addHourData",
                   {Data("HourData", {{"setCostLineAttribute", Variant("H1")},
                                      {"setOriginAttribute", Variant("laptop")},
                                      {"setTask", Variant("TRAV")},
                                      {"setSpentTime", Variant("1.5")},
                                      {"setRegistrationDateHours", Variant("20260309")}})})},
            {"setObjectInspectionsData",
             Lines("ObjectInspectionsData", "addInspectionData",
                   {Data("InspectionData", {{"setInspectionNoAttribute", Variant("1")},
                                            {"setMeasurementTypeAttribute", Variant("TEMP")},
                                            {"setOriginAttribute", Variant("ERP")},
                                            {"setMeasuredIndependentValue", Variant("4.5")}}),
                    Data("InspectionData", {{"setInspectionNoAttribute", Variant("x")},
                                            {"setMeasurementTypeAttribute", Variant("HUMID")},
                                            {"setOriginAttribute", Variant("laptop")},
                                            {"setMeasuredIndependentValue", Variant("61")}})})}}),
       Activity("20", "RDP")},
      {{"setInvoiceidAttribute", Variant("INV-7")},
       {"setPaymentsData",
        Variant(Data(
            "PaymentsData",
            {{"addPaymentData",
              Variant(Data("PaymentData", {{"setPaymentMode", Variant("CASH")},
                                           {"setAmountInPaymentCurrency", Variant(12.5)}}))}}))}});

  const Processed processed = Process("E1", job_sheet);
  EXPECT_EQ(processed.return_value, 0);
  EXPECT_THAT(processed.outcomes,
              ElementsAre("order A1 0", "activity 10 0", "material 1 0", "material N1 0 new 5",
                          "hour H1 0 new 6", "inspection TEMP/1 0", "inspection HUMID/x 0 new 2",
                          "activity 20 0", "payment 1 0 new 1"));

  const std::unique_ptr<Store> store = OpenStore();
  const ServiceOrder order = *store->FindServiceOrder("A1");
  EXPECT_EQ(order.status, "In Process");
  EXPECT_EQ(order.invoice_id, "INV-7");
  const erp::Activity& completed = *order.FindActivity("10");
  EXPECT_EQ(completed.status, "Completed");
  EXPECT_EQ(completed.details.at("ExecutionStart"), "2026-03-09 08:15:00");
  EXPECT_EQ(order.FindActivity("20")->status, "In Process");
  std::vector<std::string> lines;
  for (const Line& line : completed.lines) {
    lines.push_back(std::string(LineKindName(line.kind)) + " " + line.id + " " +
                    (line.values.count("ActualCumulativeQuantity")
                         ? line.values.at("ActualCumulativeQuantity")
                     : line.values.count("MeasuredIndependentValue")
                         ? line.values.at("MeasuredIndependentValue")
                         : ""));
  }
  EXPECT_THAT(lines, ElementsAre("material 1 2", "material 2 ", "labor 3 ", "inspection 1 4.5",
                                 "material 5 1,5", "hour 6 ", "inspection 2 61"));
  const std::vector<Payment> payments = store->PaymentsOf("A1");
  ASSERT_EQ(payments.size(), 1u);
  EXPECT_EQ(payments[0].values.at("AmountInPaymentCurrency"), "12.5");

  // Numbers go on from where they are: the next new material line of A1 is 7.
  const Processed again = Process(
      "E1",
      JobSheet("A1",
               {Activity("20", "",
                         {{"setMaterialRequirement", Lines("MaterialRequirement", "addMaterialData",
                                                           {Material("N2", {})})}})}));
  EXPECT_THAT(again.outcomes, ElementsAre("order A1 0", "activity 20 0", "material N2 0 new 7"));
}

TEST_F(ErpProcessJobSheetTest, RejectsWhatARealErpWouldPerObjectAndStoresTheRest) {
  const ObjectPtr job_sheet = JobSheet(
      "A1",
      {Activity(
           "10", "RDP",
           {{"setMaterialRequirement",
             Lines("MaterialRequirement", "addMaterialData",
                   {Material("1", {{"setActualCumulativeQuantity", Variant("-2")}}),
                    Material("2", {{"setActualCumulativeQuantity", Variant("two")}}), nullptr,
                    Material("N1", {{"setActualCumulativeQuantity", Variant("3")}})})},
            {"setLaborRequirement",
             Lines("LaborRequirement", "addLaborData",
                   {Data("LaborData", {{"setCostLineAttribute", Variant("3")},
                                       {"setOriginAttribute", Variant("ERP")},
                                       {"setTask", Variant("NOPE")}})})},
            {"setHoursAccounting",
             Lines("hoursAccounting", "addHourData",
                   {Data("HourData", {{"setCostLineAttribute", Variant("H1")},
                                      {"setOriginAttribute", Variant("laptop")},
                                      {"setTask", Variant("TRAV")},
                                      {"setRegistrationDateHours", Variant("20260230")}})})},
            {"setObjectInspectionsData",
             Lines("ObjectInspectionsData", "addInspectionData",
                   {Data("InspectionData", {{"setInspectionNoAttribute", Variant("1")},
                                            {"setMeasurementTypeAttribute", Variant("PRESSURE")},
                                            {"setOriginAttribute", Variant("ERP")}})})}}),
       Activity("99", "",
                {{"setOtherRequirement",
                  Lines("OtherRequirement", "addOtherData",
                        {Data("OtherData", {{"setCostLineAttribute", Variant("9")},
                                            {"setOriginAttribute", Variant("ERP")}})})}}),
       Activity("40", "")},
      {{"setOrderDetails",
        Variant(Data("OrderDetails", {{"setPlannedStart", Variant("next tuesday")},
                                      {"setOrderStatus", Variant("Released")}}))}});

  const Processed processed = Process("E1", job_sheet);
  EXPECT_EQ(processed.return_value, -1);
  EXPECT_THAT(
      processed.outcomes,
      ElementsAre(
          "order A1 -1: Service order 'A1': planned start (pstm) 'next tuesday' is no date",
          "activity 10 0",
          "material 1 -1: Material line '1' of activity '10': actual cumulative quantity (adqt) "
          "'-2' is negative",
          "material 2 -1: Material line '2' of activity '10': actual cumulative quantity (adqt) "
          "'two' is not a number",
          "material  -1: The job sheet holds a material line of activity '10' that could not be "
          "read",
          "material N1 0 new 5",
          "hour H1 -1: Hour line 'H1' of activity '10': registration date hours (rgdt) "
          "'20260230' is no date (yyyymmdd); spent time (sptm) is missing",
          "labor 3 -1: Labor line '3' of activity '10': task (ctsk) 'NOPE' is not a task the ERP "
          "knows",
          "inspection PRESSURE/1 -1: Inspection line '1' of activity '10': it measures 'TEMP', "
          "not 'PRESSURE'",
          "activity 99 -1: Activity '99' is not an activity of service order 'A1'",
          "other 9 -1: Not stored: activity '99' was rejected",
          "activity 40 -1: Activity '40' belongs to service order 'A4', not to 'A1'"));

  // The valid line is stored, the rejected values are not.
  const ServiceOrder order = *OpenStore()->FindServiceOrder("A1");
  EXPECT_EQ(order.details.at("PlannedStart"), "2026-03-09 08:00:00");
  const erp::Activity& activity = *order.FindActivity("10");
  EXPECT_EQ(activity.lines.size(), 5u);
  EXPECT_EQ(activity.lines[0].values.count("ActualCumulativeQuantity"), 0u);
  EXPECT_EQ(activity.lines[4].id, "5");
  EXPECT_EQ(activity.lines[4].values.at("ActualCumulativeQuantity"), "3");
  EXPECT_EQ(activity.status, "In Process");
}

TEST_F(ErpProcessJobSheetTest, RefusesTheWholeJobSheetForTheWrongOrderOrEngineer) {
  struct Case {
    const char* employee;
    const char* order;
    std::int32_t return_value;
    const char* description;
  };
  const Case cases[] = {
      {"E404", "A1", -1, "Employee 'E404' is not known to the ERP"},
      {"E1", "ZZ", -1, "Service order 'ZZ' is not known to the ERP"},
      {"E1", "A4", -1, "Service order 'A4' is assigned to employee 'E2', not to 'E1'"},
      {"E1", "A5", -3, "Service order 'A5' is Completed and takes no more job sheets"},
      {"E1", "A3", -3, "Service order 'A3' is Cancelled and takes no more job sheets"},
  };
  for (const Case& test : cases) {
    const Processed processed = Process(
        test.employee,
        JobSheet(
            test.order,
            {Activity("10", "RDC",
                      {{"setMaterialRequirement",
                        Lines("MaterialRequirement", "addMaterialData", {Material("N1", {})})}})}));
    EXPECT_EQ(processed.return_value, test.return_value) << test.order;
    EXPECT_THAT(processed.outcomes,
                ElementsAre(std::string("order ") + test.order + " -1: " + test.description));
  }
  EXPECT_EQ(OpenStore()->FindServiceOrder("A1")->FindActivity("10")->lines.size(), 4u);

  const Processed empty = Process("E1", Data("iJobSheetForProcess", {}));
  EXPECT_EQ(empty.return_value, -1);
  EXPECT_THAT(empty.outcomes, ElementsAre(StartsWith("order  -1: The job sheet holds no")));
}

TEST_F(ErpProcessJobSheetTest, CompletingEveryActivityClosesTheOrderForUploadsAndDownloads) {
  const Processed completed = Process("E1", JobSheet("A2", {Activity("10", "RDC")}));
  EXPECT_EQ(completed.return_value, 0);
  EXPECT_EQ(OpenStore()->FindServiceOrder("A2")->status, "Completed");

  const Processed again = Process("E1", JobSheet("A2", {Activity("10", "RDP")}));
  EXPECT_EQ(again.return_value, -3);

  // The laptop that dropped the completed order is not handed it again.
  const ObjectPtr manager = Create(js::prog_id::kJobSheetsManager);
  Call(manager, js::manager::kInitialize, {Variant("100")});
  std::vector<Variant> args = {Variant("E1"),
                               Variant(Create(js::prog_id::kIJobSheets)),
                               Variant(Create(js::prog_id::kOJobSheets)),
                               Variant(std::int32_t{0}),
                               Variant(Create(js::prog_id::kIoState)),
                               Variant(Create(js::prog_id::kOErrorStruct)),
                               Variant(std::int32_t{0})};
  const ObjectPtr result = ObjectOf(Call(
      ObjectOf(manager->Invoke(js::manager::kGetJobSheets, args)), js::download::kGetOJobSheets));
  const ObjectPtr new_list = ObjectOf(Call(result, js::download::kNewJobSheets.get));
  ASSERT_EQ(Call(new_list, js::download::kJobSheetData.size).AsInt32(), 1);
  const ObjectPtr order = ObjectOf(
      Call(ObjectOf(Call(new_list, js::download::kJobSheetData.at, {Variant(std::int32_t{0})})),
           js::download::kServiceOrderData.get));
  EXPECT_EQ(Call(order, js::attribute::kServiceOrder.get).AsText(), "A1");
}

TEST_F(ErpProcessJobSheetTest, ARepeatedKeyIsAnsweredWithTheFirstOutcomeAndAppliedOnce) {
  const auto added_lines = [&] {
    const std::unique_ptr<Store> store = OpenStore();
    return std::pair{store->FindServiceOrder("A1")->FindActivity("20")->lines.size(),
                     store->PaymentsOf("A1").size()};
  };
  const Processed first = Process("E1", AdditionsToA1(), "3f2a/1234");
  EXPECT_EQ(first.return_value, -1);
  EXPECT_THAT(first.outcomes,
              ElementsAre("order A1 0", "activity 20 0", "material N1 0 new 5",
                          "material N2 -1: Material line 'N2' of activity '20': actual "
                          "cumulative quantity (adqt) 'two' is not a number",
                          "payment 1 0 new 1"));
  EXPECT_EQ(added_lines(), std::pair(std::size_t{2}, std::size_t{1}));

  // Sent again under the same key: the same answer, new line numbers included; nothing added.
  const Processed again = Process("E1", AdditionsToA1(), "3f2a/1234");
  EXPECT_EQ(again.return_value, first.return_value);
  EXPECT_EQ(again.outcomes, first.outcomes);
  EXPECT_EQ(added_lines(), std::pair(std::size_t{2}, std::size_t{1}));

  // The key decides, not the content: another key applies the same job sheet again.
  const Processed other = Process("E1", AdditionsToA1(), "3f2a/1235");
  EXPECT_THAT(other.outcomes, ::testing::Contains("material N1 0 new 6"));
  EXPECT_THAT(other.outcomes, ::testing::Contains("payment 1 0 new 2"));
  EXPECT_EQ(added_lines(), std::pair(std::size_t{3}, std::size_t{2}));

  // After a restart (a new factory on the same store) the key is still known.
  LoadRegistry();
  EXPECT_EQ(Process("E1", AdditionsToA1(), "3f2a/1234").outcomes, first.outcomes);
  EXPECT_EQ(added_lines(), std::pair(std::size_t{3}, std::size_t{2}));

  // Without a key every call applies the job sheet, as it always did.
  EXPECT_THAT(Process("E1", AdditionsToA1()).outcomes, ::testing::Contains("material N1 0 new 7"));
  EXPECT_EQ(added_lines(), std::pair(std::size_t{4}, std::size_t{3}));
}

TEST_F(ErpProcessJobSheetTest, ARefusedJobSheetIsRefusedAgainUnderItsKey) {
  const Processed refused = Process("E1", JobSheet("A5", {Activity("50", "RDC")}), "3f2a/77");
  EXPECT_EQ(refused.return_value, -3);
  EXPECT_THAT(refused.outcomes,
              ElementsAre("order A5 -1: Service order 'A5' is Completed and takes no more job "
                          "sheets"));

  // Whatever comes under that key later is answered with the refusal and applies nothing.
  const Processed again = Process("E1", AdditionsToA1(), "3f2a/77");
  EXPECT_EQ(again.return_value, -3);
  EXPECT_EQ(again.outcomes, refused.outcomes);
  EXPECT_EQ(OpenStore()->FindServiceOrder("A1")->FindActivity("20")->lines.size(), 1u);
  EXPECT_TRUE(OpenStore()->PaymentsOf("A1").empty());
}

}  // namespace
}  // namespace tqs::erp::testing
