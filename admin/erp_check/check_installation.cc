#include "admin/erp_check/check_installation.h"

#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <system_error>

#include "admin/installation.h"
#include "admin/users.h"
#include "broker/broker.h"
#include "broker/console.h"
#include "common/date_time.h"
#include "common/error.h"
#include "common/text.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "server/jobsheet.h"

namespace tqs::admin::erp_check {

namespace fs = std::filesystem;
using automation::Variant;

namespace {

fs::path MakeTemporaryFolder() {
  std::error_code ignored;
  fs::path pattern = fs::temp_directory_path(ignored) / "tqs-erp-check-XXXXXX";
  std::string text = pattern.string();
  if (::mkdtemp(text.data()) == nullptr) {
    throw Error(
        error_number::kPathNotFound,
        "Cannot create a temporary folder for the check under " + pattern.parent_path().string());
  }
  return text;
}

// The check never opens the broker's error log in an editor.
class NoEditor final : public broker::TextEditor {
 public:
  void Open(const fs::path&) override {}
};

std::string TextOf(const db::Variant& value) { return value.IsNull() ? "" : value.AsText(); }

}  // namespace

CheckInstallation::CheckInstallation(std::string login, std::string employee,
                                     std::string bus_component)
    : root_(MakeTemporaryFolder()),
      login_(std::move(login)),
      employee_(std::move(employee)),
      dsn_("Provider=SQLite;Data Source=" + (root_ / "data" / "server.db").string()) {
  try {
    // No programs are copied: the check runs the programs' code in this process.
    Install({.directory = root_, .programs_folder = root_ / "no-programs"},
            [](std::string_view) {});
    AddUser(dsn_, login_, employee_, bus_component);
  } catch (...) {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
    throw;
  }
}

CheckInstallation::~CheckInstallation() {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

DownloadAnswer CheckInstallation::Download(const automation::ComponentRegistry& components,
                                           std::string_view request) const {
  server::JobSheet job_sheet(components, [](std::string_view) {});
  Variant job_sheets;
  Variant error_details;
  DownloadAnswer answer;
  answer.succeeded =
      job_sheet.getJobSheets(login_, std::string(request), dsn_, job_sheets, error_details);
  answer.job_sheets = job_sheets.IsNull() ? "" : job_sheets.AsText();
  answer.error_details = error_details.IsNull() ? "" : error_details.AsText();
  return answer;
}

void CheckInstallation::Upload(const automation::ComponentRegistry& components,
                               std::string_view outbox) const {
  server::JobSheet job_sheet(components, [](std::string_view) {});
  Variant feedback;
  const std::size_t before = Documents().size();
  job_sheet.StoreOutboxContent(std::string(outbox), employee_, dsn_, feedback);
  if (Documents().size() <= before) {
    throw Error(error_number::kGenericFailure,
                "The upload stored no document: " + Excerpt(feedback.DebugString()));
  }
}

std::string CheckInstallation::RunBrokerPass(
    const automation::ComponentRegistry& components) const {
  NoEditor editor;
  broker::Broker broker(broker::BrokerEnvironment{.working_directory = root_ / "bin",
                                                  .clock = Clock::System(),
                                                  .regional_settings = RegionalSettings::Current(),
                                                  .components = components,
                                                  .editor = editor,
                                                  .start_mode = broker::StartMode::kOnce});
  std::ostringstream output;
  broker::RunOnce(broker, output);
  return output.str();
}

std::vector<UploadedDocument> CheckInstallation::Documents() const {
  auto connection = db::Connection::Open(dsn_);
  auto rs = db::Recordset::Open(
      "SELECT INTERACTIONKEY, BUSINESSDOCUMENTTYPE, BUSINESSDOCUMENTID, INTERACTIONSTATUS, "
      "INTERACTIONRESULT, ATTEMPTOPEN, LASTERROR FROM CLIENTSERVERINTERACTION "
      "ORDER BY INTERACTIONKEY",
      *connection, db::CursorType::kForwardOnly, db::LockType::kReadOnly);
  std::vector<UploadedDocument> documents;
  for (; !rs->IsEOF(); rs->MoveNext()) {
    UploadedDocument& document = documents.emplace_back();
    document.key = static_cast<std::int64_t>(rs->Field(0).AsDouble());
    document.type = rs->Field(1).AsInt32();
    document.document_id = TextOf(rs->Field(2));
    if (!rs->Field(3).IsNull()) document.status = rs->Field(3).AsInt32();
    document.result = TextOf(rs->Field(4));
    document.attempt_open = !rs->Field(5).IsNull() && rs->Field(5).AsInt32() != 0;
    document.last_error = TextOf(rs->Field(6));
  }
  return documents;
}

std::string CheckInstallation::LastLoggedError() const {
  std::ifstream log(root_ / "bin" / "CriticalErrorlog.txt", std::ios::binary);
  std::string last;
  for (std::string line; std::getline(log, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!Trim(line).empty()) last = line;
  }
  // Without the entry's time stamp.
  const std::size_t message = last.find("   ");
  return message == std::string::npos ? last : std::string(Trim(last.substr(message)));
}

void CheckInstallation::PutInDoubt(std::int64_t key) const {
  auto connection = db::Connection::Open(dsn_);
  connection->Execute(
      "UPDATE CLIENTSERVERINTERACTION SET INTERACTIONSTATUS = 5, INTERACTIONRESULT = NULL, "
      "PROCESSEDON = NULL, ATTEMPTOPEN = 1 WHERE INTERACTIONKEY = " +
      std::to_string(key));
}

bool CheckInstallation::UpdateAssignments(const automation::ComponentRegistry& components,
                                          const pugi::xml_document& assignments,
                                          std::string& error) const {
  server::JobSheet job_sheet(components, [](std::string_view) {});
  Variant feedback;
  Variant error_details;
  const bool updated =
      job_sheet.updateAssignments(login_, assignments, dsn_, feedback, error_details);
  if (!updated) error = error_details.IsNull() ? "" : error_details.AsText();
  return updated;
}

}  // namespace tqs::admin::erp_check
