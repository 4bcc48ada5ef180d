#include "tests/broker/job_sheet_test_bed.h"

#include <algorithm>
#include <span>
#include <stdexcept>
#include <utility>

#include "common/erp/job_sheets.h"
#include "platform/xml/xml.h"

namespace tqs::broker::testing {

namespace {

namespace js = erp::job_sheets;
using automation::Variant;

constexpr const char* kOpening = "|*****  S5:12/7/2026 12:49:30 PM  *****|\r\n";
constexpr const char* kClosing = "\r\n|*****  S15  *****|\r\n";
constexpr const char* kStamp = "Monday, December 07, 2026 at 12:49 PM     ";

void UseMarkerTexts(frmTQSRemoteBroker& window) {
  for (int slot : {0, 7, 10, 11, 14, 15, 16, 17}) {
    window.m_asStatusText.Set(slot, "S" + std::to_string(slot));
  }
  window.m_asStatusText.Set(5, "S5:");
}

}  // namespace

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

JobSheetTestBed::JobSheetTestBed()
    : erp_(std::make_shared<test_support::RecordingComponents>()),
      job_sheets_(window_, log_, registry_, clock_, RegionalSettings::EnglishUS()),
      pass_(window_, log_, {job_sheets_, others_, others_}, clock_, RegionalSettings::EnglishUS()) {
  registry_.Register(std::string(js::kPrefix), erp_);
  window_.m_sErrorLogFile = (installation_.root() / "CriticalErrorlog.txt").string();
  window_.m_sConnectionString = installation_.dsn();
  UseMarkerTexts(window_);
  installation_.AddUser(kEmployee, kBusComponent);
}

void JobSheetTestBed::AddJobSheet(const std::string& document_id, const std::string& contents) {
  installation_.AddPendingRow(kEmployee, 5, contents);
  const std::string number = installation_.Scalar("SELECT COUNT(*) FROM CLIENTSERVERINTERACTION");
  installation_.Execute("UPDATE CLIENTSERVERINTERACTION SET BUSINESSDOCUMENTID = '" + document_id +
                        "' WHERE BUSINESSDOCUMENTID = 'doc-" + number + "'");
}

void JobSheetTestBed::AnswerProcessJobSheet(std::vector<Variant> return_values) {
  // Unless a test scripts it, the error structure reports no order error.
  erp_->Returns("oErrorProcessStructForProcessJobSheet", js::process_errors::kOrderErrors.size,
                Variant(0));
  auto erp = erp_;
  auto values = std::make_shared<std::vector<Variant>>(std::move(return_values));
  auto next = std::make_shared<std::size_t>(0);
  erp_->OnCall("JobSheetsManager", js::manager::kProcessJobSheet,
               [erp, values, next](std::span<Variant> args) {
                 const Variant errors = args[4];
                 const Variant value = (*values)[std::min(*next, values->size() - 1)];
                 ++*next;
                 const auto output = erp->NewObject("Q72dVXRsvordJobSheets.ProcessOutput");
                 erp->OnCall("Q72dVXRsvordJobSheets.ProcessOutput",
                             js::process_output::kGetOErrorProcessStructForProcessJobSheet,
                             [errors](std::span<Variant>) { return errors; });
                 erp->OnCall("Q72dVXRsvordJobSheets.ProcessOutput",
                             js::process_output::kGetOReturnValue,
                             [value](std::span<Variant>) { return value; });
                 return Variant(output);
               });
}

void JobSheetTestBed::RunPass() { pass_.processBusinessdocuments(); }

std::string JobSheetTestBed::StatusLines() const {
  const std::string text = window_.txtProcessStatus.text();
  const std::string opening = kOpening;
  const std::string closing = kClosing;
  if (text.rfind(opening, 0) != 0 || text.size() < opening.size() + closing.size() ||
      text.compare(text.size() - closing.size(), closing.size(), closing) != 0) {
    return "<no complete pass>: " + text;
  }
  return text.substr(opening.size(), text.size() - opening.size() - closing.size());
}

std::vector<std::string> JobSheetTestBed::LogMessages() const {
  return ErrorLogMessages(window_.m_sErrorLogFile);
}

std::vector<std::string> JobSheetTestBed::Row(const std::string& document_id) const {
  const std::string where =
      " FROM CLIENTSERVERINTERACTION WHERE BUSINESSDOCUMENTID = '" + document_id + "'";
  return {installation_.Scalar("SELECT INTERACTIONSTATUS" + where),
          installation_.Scalar("SELECT INTERACTIONRESULT" + where),
          installation_.Scalar("SELECT CAST(PROCESSEDON AS TEXT)" + where)};
}

}  // namespace tqs::broker::testing
