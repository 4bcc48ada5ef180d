#include "broker/general_hours_processor.h"

#include <exception>
#include <utility>
#include <vector>

#include "broker/erp_answers.h"
#include "broker/result_elements.h"
#include "broker/result_writing.h"
#include "common/erp/hours_accounting.h"
#include "common/error.h"
#include "platform/xml/xml.h"

namespace tqs::broker {

namespace ha = erp::hours_accounting;
using automation::ObjectPtr;
using automation::Variant;

namespace {

// The name under which the error log reports this procedure's failures. Spelt so on purpose:
// operators' searches and log monitors look for exactly this text.
constexpr std::string_view kProcedureName = "ProcessGenralHours";

// The platform's "object required" error: an object was expected where none was given.
constexpr std::int32_t kObjectRequired = 424;

// The texts that close a line's part of the status box.
constexpr StatusSlot kRejectedText = StatusSlot::kJobSheetRejected;  // the ERP rejected it
constexpr StatusSlot kProcessedText = StatusSlot::kProcessed;

// Index of the first entry of the ERP's lists, a 16-bit whole number.
const Variant kFirst = Variant(std::int16_t{0});

}  // namespace

GeneralHoursProcessor::GeneralHoursProcessor(frmTQSRemoteBroker& window, const ErrorLog& error_log,
                                             const automation::ComponentRegistry& components,
                                             const Clock& clock, RegionalSettings settings,
                                             SaveRetry retry)
    : window_(window),
      components_(components),
      clock_(clock),
      settings_(std::move(settings)),
      reporter_(window, error_log),
      mapping_(components, reporter_, settings_),
      delivery_(window, error_log, components, clock,
                ha::prog_id::kServiceOrderHoursAccountingManager, kProcedureName,
                std::move(retry)) {}

void GeneralHoursProcessor::ProcessGeneralHours() {
  delivery_.Begin();
  try {
    ProcessHourLine();
  } catch (const std::exception& error) {
    // The ERP did not take the line: it stays pending and is offered again at the next pass.
    reporter_.ReportErpFailure(kProcedureName, ErrorPrefix::kError, error);
    delivery_.RecordFailure(error.what());
  }
}

void GeneralHoursProcessor::ProcessHourLine() {
  if (!window_.m_oBusinessDocument || !window_.m_oInteractions) {
    throw Error(error_number::kObjectNotSet,
                "Object variable not set: no current interaction row and document to process");
  }
  // Only a root element `hour` is a general hours line; anything else is left pending silently.
  const pugi::xml_node hour = xml::FirstChildElement(*window_.m_oBusinessDocument, "hour");
  if (!hour) return;

  const ObjectPtr manager = components_.Create(ha::prog_id::kServiceOrderHoursAccountingManager);
  // Created with the others, but the line handed to the ERP is the one the mapping fills.
  const ObjectPtr unfilled_line = components_.Create(ha::prog_id::kServiceOrderHoursAccounting);
  const ObjectPtr recordset = components_.Create(ha::prog_id::kRecordset);

  const pugi::xml_attribute lineid = hour.attribute("lineid");
  if (!lineid) {
    throw Error(error_number::kInvalidUseOfNull,
                "Invalid use of Null: the hour element has no lineid attribute");
  }
  const std::string line_id = lineid.value();

  const StatusTexts& texts = window_.m_asStatusText;
  std::string heading(kCrLf);
  heading += texts[StatusSlot::kGeneralHoursHeading];
  heading += ' ';
  heading += line_id;
  heading += kCrLf;
  window_.txtProcessStatus.Append(heading);

  const Variant hours_line = mapping_.GetGeneralHoursDetails(window_.m_sEmployeeId, hour);
  if (hours_line.IsEmpty()) {
    throw Error(kObjectRequired,
                "Object required: no hours line could be made of the hour element with lineid '" +
                    line_id + "'");
  }

  std::vector<Variant> add_args{hours_line};
  recordset->Invoke(ha::method::kAddServiceOrderHoursAccounting, add_args);
  manager->Call(ha::method::kInitialize, {Variant(window_.m_sBusComponent)});
  delivery_.HandKeyTo(manager);
  std::vector<Variant> create_args{Variant(recordset)};
  delivery_.Deliver(
      [&] { return manager->Invoke(ha::method::kCreate, create_args); },
      [&](const Variant& created) {
        const LineOutcome outcome = ReadBooking(created);
        const bool rejected = outcome.error_count != 0;
        return ErpDelivery::Answer{
            {BuildResult(line_id, outcome),
             rejected ? InteractionStatus::kFailed : InteractionStatus::kProcessed, clock_.Now()},
            rejected ? kRejectedText : kProcessedText};
      });
}

GeneralHoursProcessor::LineOutcome GeneralHoursProcessor::ReadBooking(
    const Variant& created) const {
  const ObjectPtr accounting = RequireObject(created, "ServiceOrderHoursAccountingManager.Create");
  const ObjectPtr error_document =
      RequireObject(accounting->Call(ha::method::kGetKorvoErrorDoc), "getKorvoErrorDoc");

  LineOutcome outcome;
  outcome.error_count = WholeNumber(error_document->Call(ha::method::kSizeKorvoErrorStructure),
                                    "sizeKorvoErrorStructure", settings_);
  if (outcome.error_count < 0) {
    // Neither accepted nor rejected: recording either would tell the laptop something the ERP
    // did not say, so the line stays in doubt.
    throw Error(error_number::kInvalidProcedureCall,
                "Invalid procedure call: sizeKorvoErrorStructure returned " +
                    std::to_string(outcome.error_count) + " errors");
  }
  if (outcome.error_count > 0) {
    // Only the first error is reported back.
    const ObjectPtr first_error =
        RequireObject(error_document->Call(ha::method::kGetKorvoErrorStructureAt, {kFirst}),
                      "getKorvoErrorStructureAt(0)");
    outcome.result = kHourLineRejected;
    outcome.error = ValueText(first_error->Call(ha::method::kGetErrorDescription));
    outcome.new_line_id = 0;
  } else {
    const ObjectPtr stored =
        RequireObject(accounting->Call(ha::method::kGetRecordSet), "getRecordSet");
    const ObjectPtr stored_line =
        RequireObject(stored->Call(ha::method::kGetServiceOrderHoursAccountingAt, {kFirst}),
                      "getServiceOrderHoursAccountingAt(0)");
    outcome.result = kHourLineAccepted;
    outcome.new_line_id =
        WholeNumber(stored_line->Call(ha::method::kGetLineNumber), "getLineNumber", settings_);
  }
  return outcome;
}

std::string GeneralHoursProcessor::BuildResult(const std::string& line_id,
                                               const LineOutcome& outcome) const {
  return reporter_.Guard("BuildGenHourProcessResult", ErrorPrefix::kError, std::string(), [&] {
    std::size_t replaced = 0;
    std::string element = BuildGenHourProcessResult(line_id, outcome.result, outcome.error,
                                                    outcome.new_line_id, replaced);
    reporter_.ReportRepairedValues("BuildGenHourProcessResult", replaced);
    return element;
  });
}

}  // namespace tqs::broker
