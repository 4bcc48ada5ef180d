#include "tests/broker/broker_on_backends.h"

#include <fcntl.h>
#include <unistd.h>

#include <pugixml.hpp>
#include <regex>
#include <thread>

#include "admin/installation.h"
#include "admin/users.h"
#include "broker/broker.h"
#include "common/pass_lock.h"
#include "common/text.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/db/transaction.h"
#include "tests/broker/broker_test_installation.h"
#include "tests/broker/document_test_bed.h"

namespace tqs::broker::testing {

namespace {

constexpr const char* kHoursPrefix = "TQSRCServiceOrderHoursAccounting.";

}  // namespace

void BrokerOnBackendsTest::SetUp() {
  ServerDatabaseTest::SetUp();
  if (IsSkipped()) return;
  admin::InstallOptions options;
  options.directory = folder_ / "install";
  options.dsn = dsn_;
  options.demo = true;  // the reference ERP's demo engineers and orders
  options.programs_folder =
      programs_folder_.empty() ? folder_ / "no-programs" : programs_folder_;
  admin::Install(options, [](std::string_view) {});
  admin::AddUser(dsn_, "login-e300", kHoursEmployee, "BC300");
  AnswerHoursAccounting(*erp_, {});  // every line accepted
  erp_components_.Register(kHoursPrefix, erp_);
}

std::string BrokerOnBackendsTest::ErrorLogText() const {
  return ReadFile(bin() / "CriticalErrorlog.txt");
}

std::string BrokerOnBackendsTest::RunBroker(
    const automation::ComponentRegistry& components) const {
  FixedClock clock;
  RecordingEditor editor;
  Broker broker(BrokerEnvironment{bin(), clock, RegionalSettings::EnglishUS(), components, editor});
  broker.Form_Load();
  return broker.window().txtProcessStatus.text();
}

pid_t BrokerOnBackendsTest::StartBrokerProgram(const std::filesystem::path& output,
                                               const std::vector<std::string>& arguments) const {
  const std::string program = (bin() / "TQSRemoteBroker").string();
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    const int in = ::open("/dev/null", O_RDONLY);
    if (out < 0 || in < 0 || ::chdir(bin().c_str()) != 0) ::_exit(126);
    ::dup2(in, STDIN_FILENO);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(out, STDERR_FILENO);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  return pid;
}

bool BrokerOnBackendsTest::PassLockFreeWithin(std::chrono::seconds time) const {
  const auto connection = Connect();
  for (const auto until = std::chrono::steady_clock::now() + time;;) {
    if (PassLock::TryAcquire(dsn_, *connection) != nullptr) return true;
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void BrokerOnBackendsTest::SetWorkers(const std::string& value) const {
  const std::filesystem::path file =
      folder_ / "install" / "web" / "config" / "VarnexConfiguration.xml";
  pugi::xml_document document;
  ASSERT_TRUE(document.load_file(file.c_str())) << file;
  pugi::xml_node root = document.document_element();
  pugi::xml_node section = root.child("BROKER");
  if (!section) section = root.append_child("BROKER");
  section.remove_children();
  pugi::xml_node entry = section.append_child("add");
  entry.append_attribute("key") = "Workers";
  entry.append_attribute("value") = value.c_str();
  ASSERT_TRUE(document.save_file(file.c_str())) << file;
}

std::string HourLine(const std::string& task) {
  return "<hour interactionon='ON-1' lineid='" + task + "'><ctsk>" + task +
         "</ctsk><chlt>NORMAL</chlt><rgdt>20260310</rgdt><sptm>1.5</sptm></hour>";
}

void BrokerOnBackendsTest::AddPendingHours(const std::vector<std::string>& tasks) const {
  std::vector<std::pair<std::string, std::string>> documents;
  for (const std::string& task : tasks) documents.emplace_back(task, HourLine(task));
  AddPendingRows(kHoursEmployee, documents);
}

void BrokerOnBackendsTest::AddPendingRows(
    const std::string& employee,
    const std::vector<std::pair<std::string, std::string>>& documents) const {
  auto connection = Connect();
  db::Transaction transaction(*connection);
  auto rs = db::Recordset::Open("SELECT COUNT(*) FROM CLIENTSERVERINTERACTION", *connection);
  int number = rs->Field(0).AsInt32();
  rs->Close();
  for (const auto& [id, contents] : documents) {
    connection->Execute(
        "INSERT INTO CLIENTSERVERINTERACTION (EMPLOYEEID, BUSINESSDOCUMENTTYPE, INTERACTIONNAME, "
        "INTERACTIONON, INTERACTIONID, BUSINESSDOCUMENTID, BUSINESSDOCUMENTCONTENTS, "
        "INTERACTIONSTATUS) VALUES (" +
        QuoteSql(employee) + ", 10, 0, 'ON-1', " + std::to_string(++number) + ", " +
        QuoteSql(id) + ", " + QuoteSql(contents) + ", 5)");
  }
  transaction.Commit();
}

std::map<std::string, BrokerOnBackendsTest::StoredRow> BrokerOnBackendsTest::StoredRows() const {
  std::map<std::string, StoredRow> rows;
  auto connection = Connect();
  auto rs = db::Recordset::Open(
      "SELECT BUSINESSDOCUMENTID, INTERACTIONSTATUS, INTERACTIONRESULT, PROCESSEDON "
      "FROM CLIENTSERVERINTERACTION",
      *connection);
  for (; !rs->IsEOF(); rs->MoveNext()) {
    const auto status = rs->Field(1);
    rows[rs->Field(0).AsText()] = {status.IsNull() ? "<null>" : status.AsText(),
                                   !rs->Field(2).IsNull(), !rs->Field(3).IsNull()};
  }
  return rows;
}

std::map<std::string, int> BrokerOnBackendsTest::TasksBooked() const {
  static const std::regex kSetTask(R"re(\.setTask\(Text\("([^"]*)"\)\))re");
  std::map<std::string, int> booked;
  for (const std::string& line : erp_->Journal(".setTask(")) {
    std::smatch match;
    if (std::regex_search(line, match, kSetTask)) ++booked[match[1].str()];
  }
  return booked;
}

}  // namespace tqs::broker::testing
