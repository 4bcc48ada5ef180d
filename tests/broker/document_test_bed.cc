#include "tests/broker/document_test_bed.h"

#include <algorithm>
#include <span>
#include <stdexcept>
#include <utility>

#include "common/erp/hours_accounting.h"
#include "common/erp/job_sheets.h"
#include "common/erp/service_inspections.h"
#include "platform/xml/xml.h"

namespace tqs::broker::testing {

namespace {

namespace js = erp::job_sheets;
using automation::Variant;

constexpr const char* kOpening = "|*****  S5:12/7/2026 12:49:30 PM  *****|\r\n";
constexpr const char* kClosing = "\r\n|*****  S15  *****|\r\n";
constexpr const char* kStamp = "Monday, December 07, 2026 at 12:49 PM     ";

// Every text the processors and the pass show, as its slot number.
void UseMarkerTexts(frmTQSRemoteBroker& window) {
  for (int slot : {0, 7, 8, 10, 11, 14, 15, 16, 17}) {
    window.m_asStatusText.Set(slot, "S" + std::to_string(slot));
  }
  window.m_asStatusText.Set(5, "S5:");
}

}  // namespace

SaveRetry ImpatientRetry() {
  return SaveRetry{.tries = 3,
                   .first_wait = std::chrono::milliseconds{0},
                   .sleep = [](std::chrono::milliseconds) {}};
}

std::vector<std::string> ErrorLogMessages(const std::filesystem::path& file) {
  const std::string log = ReadFile(file);
  std::vector<std::string> messages;
  if (log == "<missing>") return messages;
  const std::string stamp = kStamp;
  std::size_t start = 0;
  while (start < log.size()) {
    const std::size_t end = log.find("\r\n\r\n", start);
    std::string entry = log.substr(start, end == std::string::npos ? end : end - start);
    if (entry.rfind(stamp, 0) == 0) entry.erase(0, stamp.size());
    messages.push_back(entry);
    if (end == std::string::npos) break;
    start = end + 4;
  }
  return messages;
}

void AnswerHoursAccounting(test_support::RecordingComponents& erp, std::vector<std::string> errors,
                           Variant line_number) {
  const auto id = [](const char* last_part) {
    return std::string(erp::hours_accounting::kPrefix) + last_part;
  };
  erp.OnCall("ServiceOrderHoursAccountingManager", "Create",
             [&erp, id](std::span<Variant>) { return Variant(erp.NewObject(id("Accounting"))); });
  erp.OnCall("Accounting", "getKorvoErrorDoc",
             [&erp, id](std::span<Variant>) { return Variant(erp.NewObject(id("ErrorDoc"))); });
  erp.Returns("ErrorDoc", "sizeKorvoErrorStructure",
              Variant(static_cast<std::int32_t>(errors.size())));
  erp.OnCall("ErrorDoc", "getKorvoErrorStructureAt",
             [&erp, id, errors](std::span<Variant> args) {
               auto error = erp.NewObject(id("KorvoError"));
               erp.Returns(error->ProgId(), "getErrorDescription",
                           Variant(errors.at(args[0].AsInt32())));
               return Variant(error);
             });
  erp.OnCall("Accounting", "getRecordSet",
             [&erp, id](std::span<Variant>) { return Variant(erp.NewObject(id("Recordset"))); });
  erp.OnCall("Recordset", "getServiceOrderHoursAccountingAt", [&erp, id](std::span<Variant>) {
    return Variant(erp.NewObject(id("ServiceOrderHoursAccounting")));
  });
  erp.Returns("ServiceOrderHoursAccounting", "getLineNumber", std::move(line_number));
}

void AnswerServiceInspection(test_support::RecordingComponents& erp,
                             const InspectionAnswer& answer) {
  const auto id = [](const char* last_part) {
    return std::string(erp::service_inspections::kPrefix) + last_part;
  };
  erp.OnCall("ServiceInspectionsManager", "ProcessServiceInspection",
             [&erp, id](std::span<Variant>) { return Variant(erp.NewObject(id("Outcome"))); });
  erp.OnCall("Outcome", "getOErrorProcessStructForProcessSI", [&erp, id](std::span<Variant>) {
    return Variant(erp.NewObject(id("oErrorProcessStructForProcessSI")));
  });
  erp.OnCall("oErrorProcessStructForProcessSI", "getSI",
             [&erp, id](std::span<Variant>) { return Variant(erp.NewObject(id("SIResult"))); });
  erp.Returns("SIResult", "getServiceInspectionLineAttribute", answer.id);
  erp.Returns("SIResult", "getResult", answer.result);
  erp.Returns("SIResult", "getErrorDescription", answer.error);
  erp.Returns("Outcome", "getOReturnValue", answer.return_value);
}

DocumentTestBed::DocumentTestBed(test_support::Backend backend, RegionalSettings settings,
                                 automation::ComponentOptions erp_options, SaveRetry retry)
    : installation_(backend),
      erp_(std::make_shared<test_support::RecordingComponents>()),
      job_sheets_(window_, log_, registry_, clock_, settings, retry),
      general_hours_(window_, log_, registry_, clock_, settings, retry),
      service_inspections_(window_, log_, registry_, clock_, settings, std::move(retry)),
      pass_(window_, log_, {job_sheets_, general_hours_, service_inspections_}, clock_,
            RegionalSettings::EnglishUS()) {
  for (std::string_view prefix :
       {js::kPrefix, erp::hours_accounting::kPrefix, erp::service_inspections::kPrefix}) {
    registry_.Register(std::string(prefix), erp_, erp_options);
  }
  window_.m_sErrorLogFile = (installation_.root() / "CriticalErrorlog.txt").string();
  window_.m_sConnectionString = installation_.dsn();
  UseMarkerTexts(window_);
  installation_.AddUser(kEmployee, kBusComponent);
}

void DocumentTestBed::AddDocument(int type, const std::string& contents) {
  installation_.AddPendingRow(kEmployee, type, contents);
}

void DocumentTestBed::AddJobSheet(const std::string& document_id, const std::string& contents) {
  installation_.AddPendingRow(kEmployee, kJobSheetType, contents);
  const std::string number = installation_.Scalar("SELECT COUNT(*) FROM CLIENTSERVERINTERACTION");
  installation_.Execute("UPDATE CLIENTSERVERINTERACTION SET BUSINESSDOCUMENTID = '" + document_id +
                        "' WHERE BUSINESSDOCUMENTID = 'doc-" + number + "'");
}

void DocumentTestBed::AnswerProcessJobSheet(std::vector<Variant> return_values) {
  // Unless a test scripts it, the error structure reports no order error.
  erp_->Returns("oErrorProcessStructForProcessJobSheet", js::process_errors::kOrderErrors.size,
                Variant(0));
  // What the latest ProcessJobSheet answers through its output object.
  struct Answers {
    std::vector<Variant> values;
    std::size_t next = 0;
    Variant errors;
    Variant value;
  };
  auto answers = std::make_shared<Answers>();
  answers->values = std::move(return_values);
  // The responders live in the double's script: a strong reference to the double from there
  // would keep it alive for ever.
  const std::weak_ptr<test_support::RecordingComponents> weak_erp = erp_;
  erp_->OnCall("JobSheetsManager", js::manager::kProcessJobSheet,
               [weak_erp, answers](std::span<Variant> args) {
                 const auto erp = weak_erp.lock();
                 if (!erp) throw std::logic_error("ProcessJobSheet after the test bed went away");
                 answers->errors = args[4];
                 answers->value =
                     answers->values[std::min(answers->next, answers->values.size() - 1)];
                 ++answers->next;
                 return Variant(erp->NewObject("Q72dVXRsvordJobSheets.ProcessOutput"));
               });
  // By the last part of the identifier, so that a test may replace one with a fault.
  erp_->OnCall("ProcessOutput", js::process_output::kGetOErrorProcessStructForProcessJobSheet,
               [answers](std::span<Variant>) { return answers->errors; });
  erp_->OnCall("ProcessOutput", js::process_output::kGetOReturnValue,
               [answers](std::span<Variant>) { return answers->value; });
}

void DocumentTestBed::RunPass() { pass_.processBusinessdocuments(); }

std::string DocumentTestBed::StatusLines() const {
  const std::string text = window_.txtProcessStatus.text();
  const std::string opening = kOpening;
  const std::string closing = kClosing;
  if (text.rfind(opening, 0) != 0 || text.size() < opening.size() + closing.size() ||
      text.compare(text.size() - closing.size(), closing.size(), closing) != 0) {
    return "<no complete pass>: " + text;
  }
  return text.substr(opening.size(), text.size() - opening.size() - closing.size());
}

std::vector<std::string> DocumentTestBed::LogMessages() const {
  return ErrorLogMessages(window_.m_sErrorLogFile);
}

std::vector<std::string> DocumentTestBed::Row(const std::string& document_id) const {
  const std::string where =
      " FROM CLIENTSERVERINTERACTION WHERE BUSINESSDOCUMENTID = '" + document_id + "'";
  return {installation_.Scalar("SELECT INTERACTIONSTATUS" + where),
          installation_.Scalar("SELECT INTERACTIONRESULT" + where),
          installation_.Scalar("SELECT CAST(PROCESSEDON AS TEXT)" + where)};
}

JobSheetMappingBed::JobSheetMappingBed(RegionalSettings settings)
    : settings_(std::move(settings)), erp_(std::make_shared<test_support::RecordingComponents>()) {
  registry_.Register(std::string(js::kPrefix), erp_);
  window_.m_sErrorLogFile = (temp_.path() / "CriticalErrorlog.txt").string();
  UseMarkerTexts(window_);
}

pugi::xml_node JobSheetMappingBed::Load(const std::string& xml) {
  if (!xml::LoadXml(document_, xml)) throw std::invalid_argument("test document: " + xml);
  return document_.document_element();
}

std::vector<std::string> JobSheetMappingBed::LogMessages() const {
  return ErrorLogMessages(window_.m_sErrorLogFile);
}

}  // namespace tqs::broker::testing
