// The example adapter of examples/python_erp_adapter, run as integrators run it, reached through
// the built bridge: it answers every operation and books each document once per key.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/erp/hours_accounting.h"
#include "common/erp/job_sheets.h"
#include "platform/automation/component_registry.h"
#include "server/download/job_sheets_retrieval.h"
#include "tests/erp_bridge/python_adapter.h"
#include "tests/support/error_testing.h"
#include "tests/support/temp_dir.h"

namespace tqs::erp_bridge {
namespace {

using automation::ObjectPtr;
using automation::Variant;
using test_support::ErrorDescriptionOf;
using ::testing::HasSubstr;
namespace js = erp::job_sheets;
namespace ha = erp::hours_accounting;

TEST(PythonExampleAdapterTest, AnswersEveryOperationAndBooksOncePerKey) {
  if (!testing::HavePython()) GTEST_SKIP() << "python3 is not on this machine";
  test_support::ScopedTempDir folder;
  testing::PythonAdapter adapter(folder.path() / "erp.db",
                                 {"--token", "t0ken", "--order", "SO1:E1:Replace pump"});
  ASSERT_GT(adapter.port(), 0);
  const auto registry = [&](const std::string& token) {
    std::string text = "<components>";
    for (const char* prefix : {"Q72dVXRsvordJobSheets.", "TQSRCServiceOrderHoursAccounting."}) {
      text += std::string("<component prefix='") + prefix + "' library='" + TQS_ERP_BRIDGE_LIBRARY +
              "' idempotencyKeys='true'><setting key='Url' " +
              "value='http://127.0.0.1:" + std::to_string(adapter.port()) + "/'/>" +
              "<setting key='Authorization' value='Bearer " + token + "'/></component>";
    }
    auto components = std::make_unique<automation::ComponentRegistry>();
    components->LoadFile(folder.WriteFile("TQSRemoteComponents.xml", text + "</components>"));
    return components;
  };
  const auto components = registry("t0ken");

  Variant job_sheets;
  Variant error_details;
  ASSERT_TRUE(server::download::RetrieveJobSheets(*components, "E1", "BC",
                                                  components->Create(js::prog_id::kIJobSheets),
                                                  job_sheets, error_details, {}))
      << error_details.DebugString();
  EXPECT_THAT(job_sheets.AsText(), HasSubstr("SO1"));
  EXPECT_THAT(job_sheets.AsText(), HasSubstr("Replace pump"));

  // One hours line per key: a replay answers the first line number.
  const auto book_hours = [&](const std::string& key) {
    const ObjectPtr manager = components->Create(ha::prog_id::kServiceOrderHoursAccountingManager);
    const ObjectPtr line = components->Create(ha::prog_id::kServiceOrderHoursAccounting);
    line->Call(ha::method::kSetEmployee, {Variant("E1")});
    line->Call(ha::method::kSetTask, {Variant("TRAV")});
    line->Call(ha::method::kSetSpentTime, {Variant(1.5)});
    const ObjectPtr recordset = components->Create(ha::prog_id::kRecordset);
    recordset->Call(ha::method::kAddServiceOrderHoursAccounting, {Variant(line)});
    manager->Call(ha::method::kInitialize, {Variant("BC")});
    manager->Call(ha::method::kSetIdempotencyKey, {Variant(key)});
    return manager->Call(ha::method::kCreate, {Variant(recordset)})
        .AsObject()
        ->Call(ha::method::kGetRecordSet)
        .AsObject()
        ->Call(ha::method::kGetServiceOrderHoursAccountingAt, {Variant(std::int16_t{0})})
        .AsObject()
        ->Call(ha::method::kGetLineNumber)
        .AsInt32();
  };
  const std::int32_t first = book_hours("inst/1");
  EXPECT_EQ(book_hours("inst/1"), first);
  EXPECT_NE(book_hours("inst/2"), first);

  // The job sheet of SO1 with a new material line: the replay repeats its new line number.
  const auto upload = [&](const std::string& key) {
    const ObjectPtr material = components->Create(js::prog_id::kMaterialData);
    material->Call(js::attribute::kCostLine.set, {Variant("N1")});
    const ObjectPtr materials = components->Create(js::prog_id::kMaterialRequirement);
    materials->Call(js::graph::kMaterialData.add, {Variant(material)});
    const ObjectPtr activity = components->Create(js::prog_id::kActivityData);
    activity->Call(js::attribute::kActivity.set, {Variant("10")});
    activity->Call(js::graph::kMaterialRequirement.set, {Variant(materials)});
    const ObjectPtr activities = components->Create(js::prog_id::kActivitiesData);
    activities->Call(js::graph::kActivityData.add, {Variant(activity)});
    const ObjectPtr order = components->Create(js::prog_id::kServiceOrderData);
    order->Call(js::attribute::kServiceOrder.set, {Variant("SO1")});
    order->Call(js::graph::kActivitiesData.set, {Variant(activities)});
    const ObjectPtr job_sheet = components->Create(js::prog_id::kIJobSheetForProcess);
    job_sheet->Call(js::graph::kSetServiceOrderData, {Variant(order)});
    const ObjectPtr state = components->Create(js::prog_id::kIoState);
    state->Call(erp::kSetIdempotencyKey, {Variant(key)});
    const ObjectPtr manager = components->Create(js::prog_id::kJobSheetsManager);
    manager->Call(js::manager::kInitialize, {Variant("BC")});
    const ObjectPtr output =
        manager
            ->Call(
                js::manager::kProcessJobSheet,
                {Variant("E1"), Variant(job_sheet), Variant(std::int16_t{0}), Variant(state),
                 Variant(components->Create(js::prog_id::kOErrorProcessStructForProcessJobSheet)),
                 Variant(std::int16_t{0})})
            .AsObject();
    EXPECT_EQ(output->Call(js::process_output::kGetOReturnValue).AsInt32(), 0);
    const ObjectPtr order_error =
        output->Call(js::process_output::kGetOErrorProcessStructForProcessJobSheet)
            .AsObject()
            ->Call(js::process_errors::kOrderErrors.at, {Variant(std::int32_t{0})})
            .AsObject();
    const ObjectPtr activity_error =
        order_error->Call(js::process_errors::kGetActivitiesErrorAt, {Variant(std::int16_t{0})})
            .AsObject()
            ->Call(js::process_errors::kActivityErrors.at, {Variant(std::int32_t{0})})
            .AsObject();
    return activity_error->Call(js::process_errors::kGetMaterialRequirementError)
        .AsObject()
        ->Call(js::process_errors::kMaterialErrors.at, {Variant(std::int32_t{0})})
        .AsObject()
        ->Call(js::process_errors::kGetNewLineID)
        .AsText();
  };
  const std::string new_line = upload("inst/3");
  EXPECT_FALSE(new_line.empty());
  EXPECT_EQ(upload("inst/3"), new_line);
  EXPECT_NE(upload("inst/4"), new_line);

  // A wrong token is refused and reported.
  const auto refused = registry("wrong");
  const ObjectPtr manager = refused->Create(ha::prog_id::kServiceOrderHoursAccountingManager);
  manager->Call(ha::method::kInitialize, {Variant("BC")});
  manager->Call(ha::method::kSetIdempotencyKey, {Variant("inst/6")});
  EXPECT_THAT(ErrorDescriptionOf([&] {
                manager->Call(ha::method::kCreate,
                              {Variant(refused->Create(ha::prog_id::kRecordset))});
              }),
              HasSubstr("answered HTTP 401"));
}

}  // namespace
}  // namespace tqs::erp_bridge
