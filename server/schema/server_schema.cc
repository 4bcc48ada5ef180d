#include "server/schema/server_schema.h"

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

// Whether CLIENTSERVERINTERACTION exists but lacks RECEIVEDON: a database made before the
// received-at time was kept.
bool InteractionTableLacksReceivedOn(db::Connection& connection) {
  const std::string sql =
      IsSqlite(connection)
          ? "SELECT COUNT(*), COUNT(CASE WHEN name = 'RECEIVEDON' COLLATE NOCASE THEN 1 END) "
            "FROM pragma_table_info('CLIENTSERVERINTERACTION')"
          : "SELECT COUNT(*), COUNT(CASE WHEN column_name = 'receivedon' THEN 1 END) "
            "FROM information_schema.columns WHERE table_schema = current_schema() "
            "AND table_name = 'clientserverinteraction'";
  auto rs =
      db::Recordset::Open(sql, connection, db::CursorType::kForwardOnly, db::LockType::kReadOnly);
  return rs->Field(0).AsInt32() > 0 && rs->Field(1).AsInt32() == 0;
}

// Gives an interaction table of an older database its RECEIVEDON column before the schema
// script creates the index on it. The rows already there keep no received-at time (NULL): the
// time they arrived is not known. PostgreSQL takes the default afterwards, so only new rows get
// it. SQLite cannot add a column whose default is a clock, so a trigger stamps each new row
// instead; rows inserted with an explicit RECEIVEDON keep it.
void AddReceivedOnToOlderTable(db::Connection& connection) {
  if (!InteractionTableLacksReceivedOn(connection)) return;
  if (IsSqlite(connection)) {
    connection.ExecuteBatch(
        "ALTER TABLE CLIENTSERVERINTERACTION ADD COLUMN RECEIVEDON DATETIME;\n"
        "CREATE TRIGGER IF NOT EXISTS TR_CSI_RECEIVEDON AFTER INSERT ON CLIENTSERVERINTERACTION\n"
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

SchemaReport CreateServerSchema(db::Connection& connection) {
  SchemaReport report;
  const std::vector<DefaultLabel> labels = DefaultLabels();
  connection.BeginTrans();
  try {
    const char* const schema = SchemaFor(connection);
    AddReceivedOnToOlderTable(connection);
    connection.ExecuteBatch(schema);
    connection.ExecuteBatch(schema_text::kDefaultData);
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
