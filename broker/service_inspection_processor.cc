#include "broker/service_inspection_processor.h"

#include <cstdint>
#include <exception>
#include <optional>
#include <utility>
#include <vector>

#include "broker/erp_answers.h"
#include "broker/result_elements.h"
#include "broker/result_writing.h"
#include "common/erp/service_inspections.h"
#include "common/error.h"
#include "platform/xml/xml.h"

namespace tqs::broker {

namespace si = erp::service_inspections;
using automation::ObjectPtr;
using automation::Variant;

namespace {

constexpr std::string_view kProcedureName = "ProcessServiceInspections";

// What the ERP's return value makes of the row.
struct ReturnValueMeaning {
  std::optional<InteractionStatus> status;  // none: stored as null
  std::optional<StatusSlot> shown;          // none: nothing in the status box
};

ReturnValueMeaning MeaningOf(std::int32_t return_value) {
  switch (return_value) {
    case 0:
      return {InteractionStatus::kProcessed, StatusSlot::kProcessed};
    case -1:
      return {InteractionStatus::kFailed, StatusSlot::kJobSheetRejected};
    case -3:
      return {InteractionStatus::kFailed, StatusSlot::kLineErrors};
    default:
      // A value the broker does not know: the row is finished without a status.
      return {};
  }
}

}  // namespace

ServiceInspectionProcessor::ServiceInspectionProcessor(
    frmTQSRemoteBroker& window, const ErrorLog& error_log,
    const automation::ComponentRegistry& components, const Clock& clock, RegionalSettings settings,
    SaveRetry retry)
    : window_(window),
      components_(components),
      clock_(clock),
      settings_(std::move(settings)),
      reporter_(window, error_log),
      mapping_(components, reporter_),
      delivery_(window, error_log, components, clock, si::prog_id::kServiceInspectionsManager,
                kProcedureName, std::move(retry)) {}

void ServiceInspectionProcessor::ProcessServiceInspections() {
  delivery_.Begin();
  try {
    ProcessInspection();
  } catch (const std::exception& error) {
    // The ERP did not take the document: it stays pending and is offered again at the next pass.
    reporter_.ReportErpFailure(kProcedureName, ErrorPrefix::kError, error);
    delivery_.RecordFailure(error.what());
  }
}

void ServiceInspectionProcessor::ProcessInspection() {
  if (!window_.m_oBusinessDocument || !window_.m_oInteractions) {
    throw Error(error_number::kObjectNotSet,
                "Object variable not set: no current interaction row and document to process");
  }
  const ObjectPtr error_structure =
      components_.Create(si::prog_id::kOErrorProcessStructForProcessSI);
  const ObjectPtr process_input = components_.Create(si::prog_id::kIServiceInspectionForProcess);
  const ObjectPtr service_inspection = components_.Create(si::prog_id::kServiceInspection);
  const ObjectPtr manager = components_.Create(si::prog_id::kServiceInspectionsManager);

  const pugi::xml_node root =
      xml::FirstChildElement(*window_.m_oBusinessDocument, "SERVICEINSPECTION");
  if (root) {
    const ObjectPtr header =
        mapping_.GetInspectionHeaderDetails(xml::FirstChildElement(root, "ATTRIBUTES"));
    service_inspection->Call(si::method::kSetInspectionHeaderDetails, {Variant(header)});
  }

  const ObjectPtr inspections = components_.Create(si::prog_id::kInspections);
  const pugi::xml_node list = xml::FirstChildElement(root, "INSPECTIONS");
  if (!list) {
    throw Error(error_number::kObjectNotSet,
                "Object variable not set: the document has no SERVICEINSPECTION/INSPECTIONS "
                "element");
  }
  // Every child node is one inspection, whatever its name. The list and the service
  // inspection are handed on again after each one.
  for (const pugi::xml_node inspection : list.children()) {
    const ObjectPtr measurement =
        mapping_.GetInspectionData(xml::FirstChildElement(inspection, "ATTRIBUTES"));
    inspections->Call(si::method::kAddInspection, {Variant(measurement)});
    service_inspection->Call(si::method::kSetInspections, {Variant(inspections)});
    process_input->Call(si::method::kSetServiceInspection, {Variant(service_inspection)});
  }

  manager->Call(si::method::kInitialize, {Variant(window_.m_sBusComponent)});
  delivery_.HandKeyTo(manager);
  std::vector<Variant> process_args{Variant(process_input), Variant(std::int32_t{0}),
                                    Variant(error_structure), Variant(std::int32_t{0})};
  delivery_.Deliver(
      [&] { return manager->Invoke(si::method::kProcessServiceInspection, process_args); },
      [&](const Variant& answer) {
        const ObjectPtr outcome =
            RequireObject(answer, "ServiceInspectionsManager.ProcessServiceInspection");
        std::string result = ReadResult(outcome);
        const ReturnValueMeaning meaning = MeaningOf(
            WholeNumber(outcome->Call(si::method::kGetOReturnValue), "getOReturnValue", settings_));
        return ErpDelivery::Answer{{std::move(result), meaning.status, clock_.Now()},
                                   meaning.shown};
      });
}

std::string ServiceInspectionProcessor::ReadResult(const ObjectPtr& outcome) const {
  const ObjectPtr errors =
      RequireObject(outcome->Call(si::method::kGetOErrorProcessStructForProcessSI),
                    "getOErrorProcessStructForProcessSI");
  // The service inspection result is asked for anew before each of its values.
  const auto service_inspection_result = [&] {
    return RequireObject(errors->Call(si::method::kGetSI), "getSI");
  };
  const std::string id =
      ValueText(service_inspection_result()->Call(si::method::kGetServiceInspectionLineAttribute));
  const Variant result_code = service_inspection_result()->Call(si::method::kGetResult);
  const std::string error =
      ValueText(service_inspection_result()->Call(si::method::kGetErrorDescription));
  const std::int32_t result = WholeNumber(result_code, "getResult", settings_);
  return reporter_.Guard(
      "BuildServiceInspectionProcessResult", ErrorPrefix::kError, std::string(), [&] {
        std::size_t replaced = 0;
        std::string element = BuildServiceInspectionProcessResult(id, result, error, replaced);
        reporter_.ReportRepairedValues("BuildServiceInspectionProcessResult", replaced);
        return element;
      });
}

}  // namespace tqs::broker
