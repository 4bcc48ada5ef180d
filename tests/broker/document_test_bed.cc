#include "tests/broker/document_test_bed.h"

#include "common/erp/hours_accounting.h"
#include "common/erp/service_inspections.h"

namespace tqs::broker::testing {

namespace {

constexpr const char* kOpening = "|*****  S5:12/7/2026 12:49:30 PM  *****|\r\n";
constexpr const char* kClosing = "\r\n|*****  S15  *****|\r\n";
constexpr const char* kStamp = "Monday, December 07, 2026 at 12:49 PM     ";

}  // namespace

DocumentTestBed::DocumentTestBed(RegionalSettings settings)
    : erp_(std::make_shared<test_support::RecordingComponents>()),
      general_hours_(window_, log_, registry_, clock_, settings),
      service_inspections_(window_, log_, registry_, clock_, settings),
      pass_(window_, log_, {job_sheets_, general_hours_, service_inspections_}, clock_,
            RegionalSettings::EnglishUS()) {
  registry_.Register(std::string(erp::hours_accounting::kPrefix), erp_);
  registry_.Register(std::string(erp::service_inspections::kPrefix), erp_);
  window_.m_sErrorLogFile = (installation_.root() / "CriticalErrorlog.txt").string();
  window_.m_sConnectionString = installation_.dsn();
  for (int slot : {0, 8, 11, 14, 15, 17}) {
    window_.m_asStatusText.Set(slot, "S" + std::to_string(slot));
  }
  window_.m_asStatusText.Set(5, "S5:");
  installation_.AddUser(kEmployee, kBusComponent);
}

void DocumentTestBed::AddDocument(int type, const std::string& contents) {
  installation_.AddPendingRow(kEmployee, type, contents);
}

void DocumentTestBed::RunPass() { pass_.processBusinessdocuments(); }

std::string DocumentTestBed::StatusLines() const {
  std::string text = window_.txtProcessStatus.text();
  const std::string opening = kOpening;
  const std::string closing = kClosing;
  if (text.rfind(opening, 0) != 0 || text.size() < opening.size() + closing.size() ||
      text.compare(text.size() - closing.size(), closing.size(), closing) != 0) {
    return "<no complete pass>: " + text;
  }
  return text.substr(opening.size(), text.size() - opening.size() - closing.size());
}

std::vector<std::string> DocumentTestBed::LogMessages() const {
  const std::string log = ReadFile(window_.m_sErrorLogFile);
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

std::vector<std::string> DocumentTestBed::Row(const std::string& document_id) const {
  const std::string where =
      " FROM CLIENTSERVERINTERACTION WHERE BUSINESSDOCUMENTID = '" + document_id + "'";
  return {installation_.Scalar("SELECT INTERACTIONSTATUS" + where),
          installation_.Scalar("SELECT INTERACTIONRESULT" + where),
          installation_.Scalar("SELECT CAST(PROCESSEDON AS TEXT)" + where)};
}

}  // namespace tqs::broker::testing
