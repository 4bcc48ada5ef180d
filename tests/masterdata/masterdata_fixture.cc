#include "tests/masterdata/masterdata_fixture.h"

#include <archive.h>
#include <archive_entry.h>

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

std::string Description(std::initializer_list<std::array<const char*, 3>> entries) {
  std::string xml = "<MasterData>";
  for (const auto& [type, source, statement] : entries) {
    xml += std::string("<TABLE condition='yes' source='") + source + "'><ConditionSQL type='" +
           type + "'><![CDATA[" + statement + "]]></ConditionSQL></TABLE>";
  }
  return xml + "</MasterData>";
}

std::vector<ArchiveMember> ReadWithLibarchive(const fs::path& path) {
  ::archive* reader = archive_read_new();
  archive_read_support_format_all(reader);
  archive_read_support_filter_all(reader);
  std::vector<ArchiveMember> members;
  if (archive_read_open_filename(reader, path.c_str(), 1 << 16) != ARCHIVE_OK) {
    ADD_FAILURE() << archive_error_string(reader);
    archive_read_free(reader);
    return members;
  }
  ::archive_entry* entry = nullptr;
  while (archive_read_next_header(reader, &entry) == ARCHIVE_OK) {
    ArchiveMember member{archive_entry_pathname(entry), "", archive_entry_perm(entry)};
    char buffer[1 << 16];
    la_ssize_t size;
    while ((size = archive_read_data(reader, buffer, sizeof buffer)) > 0) {
      member.content.append(buffer, static_cast<std::size_t>(size));
    }
    EXPECT_EQ(size, 0) << archive_error_string(reader);
    EXPECT_EQ(archive_format(reader) & ARCHIVE_FORMAT_BASE_MASK, ARCHIVE_FORMAT_ZIP);
    members.push_back(std::move(member));
  }
  archive_read_free(reader);
  return members;
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
