#include "broker/job_sheet_processor.h"

#include <cstdint>
#include <exception>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "broker/erp_answers.h"
#include "common/erp/job_sheets.h"
#include "common/error.h"
#include "common/interaction_types.h"
#include "platform/xml/xml.h"

namespace tqs::broker {

namespace {

namespace js = erp::job_sheets;
using automation::ObjectPtr;
using automation::Variant;

// What the ERP's return value means for the row.
struct ReturnValueOutcome {
  std::optional<InteractionStatus> status;  // none: stored as null
  std::optional<StatusSlot> status_text;    // none: nothing shown
};

ReturnValueOutcome OutcomeOf(std::int32_t return_value) {
  switch (return_value) {
    case 0:
      return {InteractionStatus::kProcessed, StatusSlot::kProcessed};
    case -1:
    case -2:
      return {InteractionStatus::kFailed, StatusSlot::kJobSheetRejected};
    case -3:
      return {InteractionStatus::kFailed, StatusSlot::kLineErrors};
    default:
      return {std::nullopt, std::nullopt};
  }
}

std::vector<std::string_view> SplitAtUnderscores(std::string_view text) {
  std::vector<std::string_view> parts;
  if (text.empty()) return parts;  // an empty id has no parts at all
  std::size_t start = 0;
  while (true) {
    const std::size_t underscore = text.find('_', start);
    parts.push_back(text.substr(start, underscore - start));
    if (underscore == std::string_view::npos) break;
    start = underscore + 1;
  }
  return parts;
}

}  // namespace

JobSheetProcessor::JobSheetProcessor(frmTQSRemoteBroker& window, const ErrorLog& error_log,
                                     const automation::ComponentRegistry& components,
                                     const Clock& clock, RegionalSettings settings, SaveRetry retry)
    : window_(window),
      components_(components),
      clock_(clock),
      settings_(std::move(settings)),
      reporter_(window, error_log),
      orders_(window, error_log, components, settings_),
      lines_(window, error_log, components, settings_),
      assembly_(components, orders_, lines_),
      result_(window, error_log, settings_),
      delivery_(window, error_log, components, clock, js::prog_id::kJobSheetsManager,
                "ProcessJobSheets", std::move(retry)) {}

void JobSheetProcessor::ProcessJobSheets() {
  delivery_.Begin();
  try {
    ProcessCurrentJobSheet();
  } catch (const std::exception& error) {
    reporter_.ReportErpFailure("ProcessJobSheets", ErrorPrefix::kError, error);
    delivery_.RecordFailure(error.what());
  }
}

void JobSheetProcessor::WriteHeading(const std::string& document_id) {
  const std::vector<std::string_view> parts = SplitAtUnderscores(document_id);
  const StatusTexts& texts = window_.m_asStatusText;
  std::string line(kCrLf);
  if (parts.size() == 2) {
    line += texts[StatusSlot::kJobSheetHeading];
    line += ' ';
    line += parts[0];
  } else {
    if (parts.size() < 2) {
      throw Error(error_number::kSubscriptOutOfRange,
                  "Subscript out of range: the business document id '" + document_id +
                      "' has no part after an underscore");
    }
    line += texts[StatusSlot::kActivityHeading];
    line += ' ';
    line += parts[1];
    line += ' ';
    line += texts[StatusSlot::kOfJobSheet];
    line += ' ';
    line += parts[0];
  }
  line += kCrLf;
  window_.txtProcessStatus.Append(line);
}

void JobSheetProcessor::ProcessCurrentJobSheet() {
  if (!window_.m_oInteractions || !window_.m_oBusinessDocument) throw ObjectNotSetError();
  db::Recordset& row = *window_.m_oInteractions;

  const ObjectPtr manager = components_.Create(js::prog_id::kJobSheetsManager);
  const ObjectPtr state = components_.Create(js::prog_id::kIoState);
  const ObjectPtr error_structure =
      components_.Create(js::prog_id::kOErrorProcessStructForProcessJobSheet);
  const ObjectPtr job_sheet = components_.Create(js::prog_id::kIJobSheetForProcess);
  const ObjectPtr service_order_data = components_.Create(js::prog_id::kServiceOrderData);
  // A placeholder only: the order details handed over are the mapper's.
  components_.Create(js::prog_id::kOrderDetails);
  const ObjectPtr activities_data = components_.Create(js::prog_id::kActivitiesData);

  WriteHeading(row.Field("BUSINESSDOCUMENTID").AsText());

  const pugi::xml_node service_order =
      xml::SelectSingleNode(*window_.m_oBusinessDocument, "//serviceorder");
  if (!service_order) {
    throw Error(error_number::kObjectNotSet,
                "Object variable not set: the job sheet document has no serviceorder element");
  }
  assembly_.MapServiceOrder(service_order, service_order_data, activities_data);

  {
    Variant args[] = {Variant(service_order_data)};
    job_sheet->Invoke(js::graph::kSetServiceOrderData, args);
  }
  manager->Call(js::manager::kInitialize, {Variant(window_.m_sBusComponent)});
  delivery_.HandKeyTo(state);

  Variant args[] = {Variant(window_.m_sEmployeeId), Variant(job_sheet),
                    Variant(std::int32_t{0}),       Variant(state),
                    Variant(error_structure),       Variant(std::int32_t{0})};
  delivery_.Deliver(
      [&] { return manager->Invoke(js::manager::kProcessJobSheet, args); },
      [&](const Variant& answer) {
        const ObjectPtr output = RequireObject(answer, "JobSheetsManager.ProcessJobSheet");
        const Variant errors =
            output->Call(js::process_output::kGetOErrorProcessStructForProcessJobSheet);
        ErpDelivery::Answer read;
        read.outcome.result = result_.BuildProcessResult(errors);
        const ReturnValueOutcome meaning =
            OutcomeOf(WholeNumber(output->Call(js::process_output::kGetOReturnValue),
                                  js::process_output::kGetOReturnValue, settings_));
        read.outcome.status = meaning.status;
        read.outcome.processed_on = clock_.Now();
        read.shown = meaning.status_text;
        return read;
      });
}

}  // namespace tqs::broker
