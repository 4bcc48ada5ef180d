// The examples of docs/erp_contract/examples are the contract as integrators read it: each
// request must be exactly what the bridge sends for that call, and each answer must be read by
// the broker and the server as the documentation says.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "broker/job_sheet_process_result.h"
#include "common/erp/hours_accounting.h"
#include "common/erp/job_sheets.h"
#include "common/erp/service_inspections.h"
#include "erp_bridge/bridge_factory.h"
#include "erp_bridge/graph_json.h"
#include "server/download/job_sheets_retrieval.h"
#include "tests/broker/document_test_bed.h"
#include "tests/erp_bridge/fake_adapter.h"

namespace tqs::erp_bridge {
namespace {

using automation::ObjectPtr;
using automation::Variant;
using nlohmann::json;
using testing::FakeAdapter;
using ::testing::HasSubstr;
namespace js = erp::job_sheets;

json Example(const std::string& name) {
  std::ifstream file(std::filesystem::path(TQS_SOURCE_DIR) / "docs/erp_contract/examples" /
                     (name + ".json"));
  EXPECT_TRUE(file) << name;
  return json::parse(file);
}

class DocumentedExamplesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto factory = std::make_shared<BridgeFactory>(
        automation::ComponentSettings{{"Url", adapter_.Url()}, {"Timeout", "5"}});
    for (const char* prefix : {"Q72dVXRsvordJobSheets.", "Q72dVXRsvordServiceInspections.",
                               "TQSRCServiceOrderHoursAccounting.", "Q72dVXRsvordAssignments."}) {
      components_.Register(prefix, factory, {.accepts_idempotency_keys = true});
    }
  }

  // Makes the call of the example request `name` (with its answer scripted) as its caller
  // does, checks that the bridge sent exactly the example, and returns the call's result.
  Variant Replay(const std::string& name) {
    const json request = Example(name + ".request");
    adapter_.Script({FakeAdapter::AnswerJson(Example(name + ".answer"))});
    std::vector<Variant> args;
    for (const json& argument : request["arguments"]) {
      args.push_back(ValueFromJson(argument, "example"));
    }
    const ObjectPtr manager = components_.Create(request["class"].get<std::string>());
    manager->Call("Initialize", {Variant(request["businessComponent"].get<std::string>())});
    const std::string key = request["idempotencyKey"];
    if (name == "Create" || name == "ProcessServiceInspection") {
      manager->Call(erp::kSetIdempotencyKey, {Variant(key)});
    }
    const Variant result = manager->Invoke(request["method"].get<std::string>(), args);
    ExpectSent(request);
    return result;
  }

  // The last request equals `example`; a key made for one call is random and not compared.
  void ExpectSent(const json& example) {
    const std::vector<FakeAdapter::Request> requests = adapter_.Requests();
    ASSERT_FALSE(requests.empty());
    json sent = requests.back().Json();
    const std::string key = example["idempotencyKey"];
    if (key.starts_with("call-")) {
      EXPECT_TRUE(sent["idempotencyKey"].get<std::string>().starts_with("call-"));
      sent["idempotencyKey"] = key;
    } else {
      EXPECT_EQ(requests.back().Header("idempotency-key"), key);
    }
    EXPECT_EQ(sent, example) << "sent: " << sent.dump(2);
  }

  FakeAdapter adapter_;
  automation::ComponentRegistry components_;
};

TEST_F(DocumentedExamplesTest, UploadsGoAsDocumentedAndTheirAnswersAreRead) {
  const ObjectPtr job_sheet = Replay("ProcessJobSheet").AsObject();
  EXPECT_EQ(job_sheet->Call(js::process_output::kGetOReturnValue).AsInt32(), -1);
  broker::testing::JobSheetMappingBed bed;
  const broker::JobSheetProcessResult result(bed.window(), bed.log(), bed.settings());
  const std::string document = result.BuildProcessResult(
      job_sheet->Call(js::process_output::kGetOErrorProcessStructForProcessJobSheet));
  EXPECT_THAT(document, HasSubstr("<material lineid='N1' result='0' error='' new='7' />"));
  EXPECT_THAT(document, HasSubstr("task &apos;REPR&apos; &amp; &apos;TRAV&apos;"));

  namespace si = erp::service_inspections;
  const ObjectPtr inspection = Replay("ProcessServiceInspection").AsObject();
  EXPECT_EQ(inspection->Call(si::method::kGetOReturnValue).AsInt32(), 0);
  const ObjectPtr si_result = inspection->Call(si::method::kGetOErrorProcessStructForProcessSI)
                                  .AsObject()
                                  ->Call(si::method::kGetSI)
                                  .AsObject();
  EXPECT_EQ(si_result->Call(si::method::kGetServiceInspectionLineAttribute).AsText(), "SI-9");

  namespace ha = erp::hours_accounting;
  const ObjectPtr hours = Replay("Create").AsObject();
  EXPECT_EQ(hours->Call(ha::method::kGetKorvoErrorDoc)
                .AsObject()
                ->Call(ha::method::kSizeKorvoErrorStructure)
                .AsInt32(),
            0);
  EXPECT_EQ(hours->Call(ha::method::kGetRecordSet)
                .AsObject()
                ->Call(ha::method::kGetServiceOrderHoursAccountingAt, {Variant(std::int16_t{0})})
                .AsObject()
                ->Call(ha::method::kGetLineNumber)
                .AsInt32(),
            42);

  EXPECT_EQ(Replay("svbodll350002updateassignments").AsObject()->Call("getOReturnValue"),
            Variant(std::int32_t{0}));
}

TEST_F(DocumentedExamplesTest, TheDownloadGoesAsDocumentedAndItsAnswerIsWritten) {
  const json request = Example("getJobSheets.request");
  adapter_.Script({FakeAdapter::AnswerJson(Example("getJobSheets.answer"))});
  Variant job_sheets;
  Variant error_details;
  ASSERT_TRUE(server::download::RetrieveJobSheets(
      components_, request["arguments"][0], request["businessComponent"],
      ValueFromJson(request["arguments"][1], "example").AsObject(), job_sheets, error_details, {}))
      << error_details.DebugString();
  ExpectSent(request);
  const std::string document = job_sheets.AsText();
  EXPECT_THAT(document, HasSubstr("SO200"));
  EXPECT_THAT(document, HasSubstr("Customer &amp; co"));
  EXPECT_THAT(document, HasSubstr("Ring at the back door &lt;side entrance&gt;"));
  EXPECT_THAT(document, HasSubstr("<cancellations>"));
  EXPECT_THAT(document, HasSubstr("SO100"));

  // A raised error reaches the caller with the adapter's number and description.
  adapter_.Script({FakeAdapter::AnswerJson(Example("error.answer"))});
  ASSERT_FALSE(server::download::RetrieveJobSheets(components_, "E1", "BC-NORTH",
                                                   components_.Create(js::prog_id::kIJobSheets),
                                                   job_sheets, error_details, {}));
  EXPECT_EQ(error_details.AsText(), "The ERP database is not available");
}

}  // namespace
}  // namespace tqs::erp_bridge
