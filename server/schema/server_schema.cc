#include "server/schema/server_schema.h"

#include <fmt/format.h>

#include <cstdint>
#include <random>
#include <set>
#include <sstream>
#include <string_view>

#include "common/error.h"
#include "common/text.h"
#include "platform/db/recordset.h"

namespace tqs::server {

namespace schema_text {
extern const char* const kSqliteSchema;
extern const char* const kPostgresSchema;
extern const char* const kDefaultData;
extern const char* const kLabelsEnglish;
}  // namespace schema_text

namespace {

const char* SchemaFor(const db::Connection& connection) {
  const std::string provider = connection.Provider();
  if (provider == "SQLite") return schema_text::kSqliteSchema;
  if (provider == "PostgreSQL") return schema_text::kPostgresSchema;
  throw Error(error_number::kProviderNotFound,
              "The server database schema is not available for provider '" + provider + "'");
}

// Splits a tab-separated label file; lines starting with '#' and blank lines are skipped.
std::vector<DefaultLabel> ParseLabels(std::string_view text) {
  std::vector<DefaultLabel> labels;
  std::istringstream in{std::string(text)};
  std::string line;
  int line_number = 0;
  while (std::getline(in, line)) {
    ++line_number;
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (int i = 0; i < 3; ++i) {
      const std::size_t tab = line.find('\t', start);
      if (tab == std::string::npos) break;
      parts.push_back(line.substr(start, tab - start));
      start = tab + 1;
    }
    if (parts.size() != 3) {
      throw Error(error_number::kGenericFailure,
                  "Default label texts, line " + std::to_string(line_number) +
                      ": expected locale id, page context, label and text separated by tabs");
    }
    labels.push_back({std::stoi(parts[0]), parts[1], parts[2], line.substr(start)});
  }
  return labels;
}

bool IsSqlite(const db::Connection& connection) { return connection.Provider() == "SQLite"; }

// Gives an interaction table of an older database the columns added since, before the schema
// script creates the indexes on them.
//
// RECEIVEDON: the rows already there keep no received-at time (NULL): the time they arrived is
// not known. PostgreSQL takes the default afterwards, so only new rows get it. SQLite cannot add
// a column whose default is a clock, so a trigger stamps each new row instead; rows inserted
// with an explicit RECEIVEDON keep it.
// The attempt columns: the rows already there have no attempt on record (NULL), which is true
// of every row the broker has not finished: it never kept one.
void AddNewColumnsToOlderTable(db::Connection& connection) {
  const std::set<std::string> present = TableColumns(connection, "CLIENTSERVERINTERACTION");
  if (present.empty()) return;
  const bool sqlite = IsSqlite(connection);
  if (!present.count("RECEIVEDON")) {
    if (sqlite) {
      connection.ExecuteBatch(
          "ALTER TABLE CLIENTSERVERINTERACTION ADD COLUMN RECEIVEDON DATETIME;\n"
          "CREATE TRIGGER IF NOT EXISTS TR_CSI_RECEIVEDON AFTER INSERT ON "
          "CLIENTSERVERINTERACTION\n"
          "  FOR EACH ROW WHEN NEW.RECEIVEDON IS NULL BEGIN\n"
          "    UPDATE CLIENTSERVERINTERACTION SET RECEIVEDON = CURRENT_TIMESTAMP\n"
          "      WHERE INTERACTIONKEY = NEW.INTERACTIONKEY;\n"
          "  END;\n");
    } else {
      connection.ExecuteBatch(
          "ALTER TABLE CLIENTSERVERINTERACTION ADD COLUMN RECEIVEDON timestamp;\n"
          "ALTER TABLE CLIENTSERVERINTERACTION ALTER COLUMN RECEIVEDON "
          "SET DEFAULT (now() AT TIME ZONE 'UTC');\n");
    }
  }
  struct AddedColumn {
    const char* name;
    const char* sqlite_type;
    const char* postgres_type;
  };
  static constexpr AddedColumn kAttemptColumns[] = {
      {"ATTEMPTCOUNT", "INTEGER", "integer"},
      {"ATTEMPTSTARTEDON", "DATETIME", "timestamp"},
      {"ATTEMPTOPEN", "SMALLINT", "smallint"},
      {"LASTERROR", "TEXT", "text"},
  };
  for (const AddedColumn& column : kAttemptColumns) {
    if (present.count(column.name)) continue;
    connection.Execute(std::string("ALTER TABLE CLIENTSERVERINTERACTION ADD COLUMN ") +
                       column.name + " " + (sqlite ? column.sqlite_type : column.postgres_type));
  }
}

// A new installation's identity: 128 random bits as 32 hexadecimal digits. It makes the keys
// under which the broker hands documents to the ERP unique across installations that share one
// ERP.
std::string NewInstallationId() {
  std::random_device random;
  std::string id;
  for (int i = 0; i < 4; ++i) id += fmt::format("{:08x}", static_cast<std::uint32_t>(random()));
  return id;
}

void AddInstallationId(db::Connection& connection) {
  auto rs = db::Recordset::Open(
      "SELECT 1 FROM PARAMETERS WHERE PARAMNAME = " + QuoteSql(kInstallationIdParameter),
      connection, db::CursorType::kForwardOnly, db::LockType::kReadOnly);
  if (!rs->IsEOF()) return;
  rs->Close();
  connection.Execute("INSERT INTO PARAMETERS (PARAMNAME, PARAMVALUE) VALUES (" +
                     QuoteSql(kInstallationIdParameter) + ", " + QuoteSql(NewInstallationId()) +
                     ")");
}

bool LabelExists(db::Connection& connection, const DefaultLabel& label) {
  auto rs = db::Recordset::Open(
      "SELECT 1 FROM I18NText WHERE LOCALEID = " + std::to_string(label.locale_id) +
          " AND LABEL = " + QuoteSql(label.label) +
          " AND pagecontext = " + QuoteSql(label.page_context),
      connection, db::CursorType::kForwardOnly, db::LockType::kReadOnly);
  return !rs->IsEOF();
}

}  // namespace

std::vector<DefaultLabel> DefaultLabels() { return ParseLabels(schema_text::kLabelsEnglish); }

std::set<std::string> TableColumns(db::Connection& connection, std::string_view table) {
  // PostgreSQL folds the unquoted names of the schema script to lower case.
  const std::string sql = IsSqlite(connection)
                              ? "SELECT upper(name) FROM pragma_table_info(" + QuoteSql(table) + ")"
                              : "SELECT upper(column_name) FROM information_schema.columns "
                                "WHERE table_schema = current_schema() AND table_name = lower(" +
                                    QuoteSql(table) + ")";
  auto rs =
      db::Recordset::Open(sql, connection, db::CursorType::kForwardOnly, db::LockType::kReadOnly);
  std::set<std::string> columns;
  for (; !rs->IsEOF(); rs->MoveNext()) columns.insert(rs->Field(0).AsText());
  return columns;
}

SchemaReport CreateServerSchema(db::Connection& connection) {
  SchemaReport report;
  const std::vector<DefaultLabel> labels = DefaultLabels();
  connection.BeginTrans();
  try {
    const char* const schema = SchemaFor(connection);
    AddNewColumnsToOlderTable(connection);
    connection.ExecuteBatch(schema);
    connection.ExecuteBatch(schema_text::kDefaultData);
    AddInstallationId(connection);
    for (const DefaultLabel& label : labels) {
      if (LabelExists(connection, label)) {
        ++report.labels_present;
        continue;
      }
      connection.Execute("INSERT INTO I18NText (LOCALEID, LABEL, TEXT, pagecontext) VALUES (" +
                         std::to_string(label.locale_id) + ", " + QuoteSql(label.label) + ", " +
                         QuoteSql(label.text) + ", " + QuoteSql(label.page_context) + ")");
      ++report.labels_added;
    }
    connection.CommitTrans();
  } catch (...) {
    connection.RollbackTrans();
    throw;
  }
  return report;
}

}  // namespace tqs::server
