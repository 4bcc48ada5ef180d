#include "tests/broker/broker_test_installation.h"

#include <fstream>
#include <sstream>

#include "admin/installation.h"
#include "admin/users.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"

namespace tqs::broker::testing {

DateTime TestNow() {
  using namespace std::chrono;
  return local_days{year{2026} / December / 7} + hours{12} + minutes{49} + seconds{30};
}

TestInstallation::TestInstallation(test_support::Backend backend)
    : root_(temp_.path() / "install") {
  admin::InstallOptions options;
  options.directory = root_;
  options.programs_folder = temp_.path() / "no-programs";
  if (backend == test_support::Backend::kPostgreSql) {
    server_database_ = std::make_unique<test_support::ScratchDatabase>(backend);
    options.dsn = server_database_->connection_string();
  }
  admin::Install(options, [](std::string_view) {});
}

std::string TestInstallation::dsn() const {
  return server_database_ ? server_database_->connection_string()
                          : "Provider=SQLite;Data Source=" + database_file().string();
}

void TestInstallation::Execute(const std::string& sql) const {
  db::Connection::Open(dsn())->Execute(sql);
}

void TestInstallation::RefuseUpdatesOf(const std::string& document_id,
                                       const std::string& message) const {
  if (server_database_) {
    Execute(
        "CREATE FUNCTION refuse_update() RETURNS trigger LANGUAGE plpgsql AS 'BEGIN "
        "IF OLD.BUSINESSDOCUMENTID = ''" + document_id + "'' THEN RAISE EXCEPTION ''" + message +
        "''; END IF; RETURN NEW; END'");
    Execute("CREATE TRIGGER refuse_update BEFORE UPDATE ON CLIENTSERVERINTERACTION "
            "FOR EACH ROW EXECUTE FUNCTION refuse_update()");
  } else {
    Execute("CREATE TRIGGER refuse_update BEFORE UPDATE ON CLIENTSERVERINTERACTION "
            "WHEN OLD.BUSINESSDOCUMENTID = '" + document_id + "' BEGIN SELECT RAISE(ABORT, '" +
            message + "'); END");
  }
}

void TestInstallation::SetProcessingMode(const std::string& mode) const {
  Execute("UPDATE PARAMETERS SET PARAMVALUE = '" + mode + "' WHERE PARAMNAME = 'ProcessToKorvo'");
}

void TestInstallation::AddUser(const std::string& employee,
                               const std::string& bus_component) const {
  admin::AddUser(dsn(), "login-" + employee, employee, bus_component);
}

void TestInstallation::AddPendingRow(const std::string& employee, int type,
                                     const std::string& contents) const {
  auto connection = db::Connection::Open(dsn());
  auto rs = db::Recordset::Open("CLIENTSERVERINTERACTION", *connection, db::CursorType::kKeyset,
                                db::LockType::kOptimistic, db::CommandType::kTable);
  const std::int32_t number = static_cast<std::int32_t>(rs->RecordCount()) + 1;
  rs->AddNew();
  rs->SetField("EMPLOYEEID", employee);
  rs->SetField("BUSINESSDOCUMENTTYPE", std::int32_t{type});
  rs->SetField("INTERACTIONNAME", std::int32_t{0});
  rs->SetField("INTERACTIONON", "upload-1");
  rs->SetField("INTERACTIONID", number);
  rs->SetField("BUSINESSDOCUMENTID", "doc-" + std::to_string(number));
  rs->SetField("BUSINESSDOCUMENTCONTENTS", contents);
  rs->SetField("INTERACTIONSTATUS", std::int16_t{5});
  rs->Update();
  rs->Close();
}

std::vector<std::string> TestInstallation::Statuses() const {
  auto connection = db::Connection::Open(dsn());
  auto rs = db::Recordset::Open(
      "SELECT INTERACTIONSTATUS FROM CLIENTSERVERINTERACTION ORDER BY INTERACTIONKEY", *connection);
  std::vector<std::string> statuses;
  for (; !rs->IsEOF(); rs->MoveNext()) {
    const auto value = rs->Field(0);
    statuses.push_back(value.IsNull() ? "<null>" : value.AsText());
  }
  return statuses;
}

std::string TestInstallation::Scalar(const std::string& sql) const {
  auto connection = db::Connection::Open(dsn());
  auto rs = db::Recordset::Open(sql, *connection);
  if (rs->IsEOF()) return "<none>";
  const auto value = rs->Field(0);
  return value.IsNull() ? "<null>" : value.AsText();
}

std::string ReadFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return "<missing>";
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace tqs::broker::testing
