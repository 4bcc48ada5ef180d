#include "tests/masterdata/masterdata_fixture.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>

#include "masterdata/label_table.h"
#include "masterdata/settings.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "server/schema/server_schema.h"

namespace tqs::masterdata::testing {

namespace fs = std::filesystem;

DateTime TestTime() {
  using namespace std::chrono;
  return local_days{year{2026} / December / 8} + hours{14} + minutes{5} + seconds{9};
}

void RecordingEvents::CopyProgress(std::string_view centre, std::string_view table,
                                   std::int64_t rows, bool complete) {
  progress.push_back(std::string(centre) + "/" + std::string(table) + ":" + std::to_string(rows) +
                     (complete ? " done" : ""));
  front_end_.CopyProgress(centre, table, rows, complete);
}

std::vector<std::string> ClientRows(const fs::path& path, const std::string& sql) {
  auto connection = db::Connection::Open(std::string(kClientConnectionPrefix) + path.string());
  auto rs = db::Recordset::Open(sql, *connection, db::CursorType::kForwardOnly);
  std::vector<std::string> rows;
  for (; !rs->IsEOF(); rs->MoveNext()) {
    std::string row;
    for (int i = 0; i < rs->FieldCount(); ++i) {
      if (i > 0) row += "|";
      const auto value = rs->Field(i);
      row += value.IsNull() ? "<null>" : value.AsText();
    }
    rows.push_back(row);
  }
  rs->Close();
  connection->Close();
  return rows;
}

void CreateClientDatabase(const fs::path& path, std::string_view script) {
  fs::remove(path);
  auto connection =
      db::Connection::OpenOrCreate(std::string(kClientConnectionPrefix) + path.string());
  connection->ExecuteBatch(script);
  connection->Close();
}

std::string LabelText(std::string_view code) {
  for (const server::DefaultLabel& label : server::DefaultLabels()) {
    if (label.page_context == kPageContext && label.label == code) return label.text;
  }
  ADD_FAILURE() << "no default text for " << code;
  return "";
}

std::vector<std::string> FileLines(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  std::vector<std::string> lines;
  std::string text = content.str();
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos) {
      lines.push_back(text.substr(at) + "<no line end>");
      break;
    }
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

namespace {

void WriteConfiguration(const fs::path& file, const char* section, const char* key,
                        const std::string& value) {
  fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary);
  out << "<?xml version=\"1.0\"?>\n<configuration><" << section << "><add key=\"" << key
      << "\" value=\"" << value << "\"/></" << section << "></configuration>\n";
}

}  // namespace

MasterDataTest::MasterDataTest() {
  const fs::path dir = root_.path() / "inst";
  bin_ = dir / "bin";
  master_data_ = dir / "web" / "Varnex" / "EndUser" / "MasterData";
  template_ = bin_ / "ClientDatabase.mdb";
  fs::create_directories(bin_);
  fs::create_directories(master_data_);
  fs::create_directories(dir / "data");
  server_dsn_ = "Provider=SQLite;Data Source=" + (dir / "data" / "server.db").string();
  WriteConfiguration(dir / "Configuration.xml", "DEFAULTS", "WebRelativePath", "..\\web");
  WriteConfiguration(dir / "web" / "config" / "VarnexConfiguration.xml", "CONNECTIONS",
                     "VarnexConnection_ConnectionString", server_dsn_);
  auto server = db::Connection::OpenOrCreate(server_dsn_);
  server::CreateServerSchema(*server);
  server->Close();

  CreatorEnvironment environment;
  environment.application_folder = bin_.string();
  environment.working_folder = bin_;
  environment.clock = &clock_;
  creator_ = std::make_unique<MasterDataCreator>(window_, *archiver_, events_, environment);
}

void MasterDataTest::WriteTemplate(std::string_view script) {
  CreateClientDatabase(template_, script);
}

void MasterDataTest::WriteTransferDescription(std::string_view xml) {
  root_.WriteFile(fs::relative(bin_ / "MasterDataTransfer.Xml", root_.path()), xml);
}

MasterDataCreator::RunResult MasterDataTest::Run(bool recreate) {
  window_.SetRecreateMasterData(recreate);
  return creator_->CreateMasterData();
}

fs::path MasterDataTest::CompanyFolder(std::string_view company) const {
  return master_data_ / std::string(company);
}

fs::path MasterDataTest::CentreDatabase(std::string_view company, std::string_view centre) const {
  return CompanyFolder(company) / (std::string(centre) + ".mdb");
}

fs::path MasterDataTest::CentreArchive(std::string_view company, std::string_view centre) const {
  return CompanyFolder(company) / (std::string(centre) + ".exe");
}

std::vector<std::string> MasterDataTest::OutputSnapshot() const {
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(master_data_)) {
    std::string line = fs::relative(entry.path(), master_data_).string();
    if (entry.is_regular_file()) {
      std::ifstream in(entry.path(), std::ios::binary);
      std::stringstream content;
      content << in.rdbuf();
      line += " " + std::to_string(entry.file_size()) + " " +
              std::to_string(std::hash<std::string>{}(content.str()));
    }
    files.push_back(line);
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace tqs::masterdata::testing
