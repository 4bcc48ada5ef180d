// The whole road of one field engineer through the built programs, in a fresh installation laid
// out by TQSRemoteAdmin: the laptop downloads its job sheets, uploads the offline work, the
// broker hands it to the reference ERP in its unattended pass, the laptop collects the results,
// reconciles its numbers, sends assignments and downloads again; then the master data program
// builds the client databases. Every program runs as its own process with the installation's
// bin folder as working folder, as an administrator starts them. The road is travelled with the
// server database on each backend: the installation's SQLite file, and a PostgreSQL database
// given to the installer when a test server is available.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <pugixml.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "tests/platform/db/test_backends.h"
#include "tests/support/temp_dir.h"

namespace tqs {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::UnorderedElementsAre;

constexpr const char* kEmployee = "E001";
constexpr const char* kLogin = "ada";
constexpr const char* kStamp = "20260310T124500";

// The offline work on SO1002: its only activity completed with a new material line and the
// labour line's actual time, one general hours line and one service inspection with two
// measurements.
constexpr const char* kOutbox =
    "<businessdocuments><jobsheets><item interactionon='20260310T124500' id='SO1002_0'>"
    "<jobsheet><serviceorder id='SO1002' origin='ERP' actionsperformed='' invoiceid=''>"
    "<details><osta>Planned</osta><emno>E001</emno></details><activities>"
    "<activity id='10' origin='ERP' actionsperformed='RDC'>"
    "<details><astm>2026-03-10 09:05:00</astm><aftm>2026-03-10 12:40:00</aftm></details>"
    "<materials><material lineid='N1' origin='LAP'><item>FLT-02</item><adqt>1</adqt>"
    "<cuqs>pcs</cuqs><awrh>NORTH</awrh></material></materials>"
    "<labors><labor lineid='1' origin='ERP'><ctsk>MAIN</ctsk><chlt>NORMAL</chlt>"
    "<acqt>3.5</acqt></labor></labors>"
    "</activity></activities></serviceorder></jobsheet></item></jobsheets>"
    "<generalhours><hour interactionon='20260310T124500' lineid='H1'><ctsk>TRAV</ctsk>"
    "<chlt>NORMAL</chlt><rgdt>20260310</rgdt><sptm>1.5</sptm></hour></generalhours>"
    "<SERVICEINSPECTIONS><SERVICEINSPECTION>"
    "<DOCINFO><INTERACTIONON>20260310T124500</INTERACTIONON></DOCINFO>"
    "<ATTRIBUTES><ID>SI1</ID><CCFG>MC-2026-014</CCFG><CROB>CMP-10</CROB><OSEQ>2</OSEQ>"
    "<CSER>SN-4471</CSER></ATTRIBUTES><INSPECTIONS>"
    "<INSPECTION><ATTRIBUTES><CMEA>TEMP</CMEA><MSEQ>1</MSEQ><RGTM>20260310</RGTM>"
    "<MIVL>3.5</MIVL></ATTRIBUTES></INSPECTION>"
    "<INSPECTION><ATTRIBUTES><CMEA>PRESSURE</CMEA><MSEQ>2</MSEQ><RGTM>20260310</RGTM>"
    "<MIVL>11.2</MIVL></ATTRIBUTES></INSPECTION>"
    "</INSPECTIONS></SERVICEINSPECTION></SERVICEINSPECTIONS></businessdocuments>";

// A path or text quoted for the shell.
std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string ReadWholeFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct ProgramRun {
  int exit_status = -1;
  std::string output;  // standard output and standard error, in that order
};

// One row of the server's upload table: type, document, interaction number, status.
std::string RowText(const std::vector<std::string>& columns) {
  std::string text;
  for (const std::string& column : columns) text += (text.empty() ? "" : " ") + column;
  return text;
}

// The ids of the service orders in one section (new, additions, cancellations) of a job
// sheets response.
std::vector<std::string> OrderIds(const std::string& response, const std::string& section) {
  pugi::xml_document document;
  EXPECT_TRUE(document.load_string(response.c_str())) << response;
  std::vector<std::string> ids;
  for (const pugi::xpath_node& order :
       document.select_nodes(("/jobsheets/" + section + "/jobsheet/serviceorder").c_str())) {
    ids.push_back(order.node().attribute("id").value());
  }
  return ids;
}

class RoadTest : public ::testing::TestWithParam<test_support::Backend> {
 protected:
  void SetUp() override {
    TQS_SKIP_UNLESS_AVAILABLE(GetParam());
    install_ = temp_.path() / "installation";
    std::string command =
        Quoted(TQS_ADMIN_PROGRAM) + " install --demo " + Quoted(install_.string());
    if (GetParam() == test_support::Backend::kPostgreSql) {
      server_database_ = std::make_unique<test_support::ScratchDatabase>(GetParam());
      dsn_ = server_database_->connection_string();
      command += " --dsn " + Quoted(dsn_);
    } else {
      dsn_ = "Provider=SQLite;Data Source=" + (install_ / "data" / "server.db").string();
    }
    const ProgramRun install = Run(temp_.path(), command);
    ASSERT_EQ(install.exit_status, 0) << install.output;
  }

  // Runs `command` through the shell in `folder` with `input` on standard input.
  ProgramRun Run(const fs::path& folder, const std::string& command,
                 const std::string& input = "") {
    const fs::path in = temp_.WriteFile("run.in", input);
    const fs::path out = temp_.path() / "run.out";
    const fs::path err = temp_.path() / "run.err";
    const std::string line = "cd " + Quoted(folder.string()) + " && " + command + " <" +
                             Quoted(in.string()) + " >" + Quoted(out.string()) + " 2>" +
                             Quoted(err.string());
    const int status = std::system(line.c_str());
    ProgramRun run;
    run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.output = ReadWholeFile(out) + ReadWholeFile(err);
    return run;
  }

  // One JobSheet method through the installed host; the request gets the connection string.
  nlohmann::json Call(const std::string& method, nlohmann::json request) {
    request["i_sDSNString"] = dsn_;
    const ProgramRun run =
        Run(install_ / "bin", "./TQSRemoteServerHost call " + method, request.dump());
    EXPECT_EQ(run.exit_status, 0) << method << ": " << run.output;
    const nlohmann::json answer = nlohmann::json::parse(run.output, nullptr, false);
    EXPECT_FALSE(answer.is_discarded()) << method << " answered no JSON: " << run.output;
    EXPECT_FALSE(answer.contains("error")) << method << ": " << answer.dump();
    return answer.is_discarded() ? nlohmann::json::object() : answer;
  }

  std::string Download(const std::string& held) {
    const nlohmann::json answer =
        Call("getJobSheets", {{"i_sLogin", kLogin}, {"i_sJobSheets", held}});
    EXPECT_EQ(answer.value("o_vErrorDetails", std::string("missing")), "") << answer.dump();
    return answer.value("o_vJobSheets", std::string());
  }

  // The rows of `sql` in a database of the installation, columns joined by blanks; NULL is
  // read as "NULL" so that it is told apart from an empty text.
  std::vector<std::string> Query(const fs::path& database, const std::string& sql) {
    sqlite3* raw = nullptr;
    EXPECT_EQ(sqlite3_open_v2(database.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK)
        << database;
    std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(raw, &sqlite3_close);
    sqlite3_stmt* raw_statement = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &raw_statement, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db.get()) << ": " << sql;
    std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> statement(raw_statement,
                                                                         &sqlite3_finalize);
    std::vector<std::string> rows;
    while (statement && sqlite3_step(statement.get()) == SQLITE_ROW) {
      std::vector<std::string> columns;
      for (int c = 0; c < sqlite3_column_count(statement.get()); ++c) {
        const unsigned char* text = sqlite3_column_text(statement.get(), c);
        columns.emplace_back(text ? reinterpret_cast<const char*>(text) : "NULL");
      }
      rows.push_back(RowText(columns));
    }
    return rows;
  }

  // The rows of `sql` in the server database, as Query gives them.
  std::vector<std::string> ServerRows(const std::string& sql) {
    auto connection = db::Connection::Open(dsn_);
    auto rs = db::Recordset::Open(sql, *connection);
    std::vector<std::string> rows;
    for (; !rs->IsEOF(); rs->MoveNext()) {
      std::vector<std::string> columns;
      for (int c = 0; c < rs->FieldCount(); ++c) {
        const auto value = rs->Field(c);
        columns.push_back(value.IsNull() ? "NULL" : value.AsText());
      }
      rows.push_back(RowText(columns));
    }
    return rows;
  }

  std::vector<std::string> UploadRows(const std::string& extra_columns = "") {
    return ServerRows(
                 "SELECT BUSINESSDOCUMENTTYPE, BUSINESSDOCUMENTID, INTERACTIONID, "
                 "INTERACTIONSTATUS" +
                     extra_columns + " FROM CLIENTSERVERINTERACTION ORDER BY INTERACTIONKEY");
  }
  std::vector<std::string> ErpRows(const std::string& sql) {
    return Query(install_ / "erp" / "erp.db", sql);
  }

  test_support::ScopedTempDir temp_;
  // The PostgreSQL server database; none on SQLite, whose file the installer makes.
  std::unique_ptr<test_support::ScratchDatabase> server_database_;
  fs::path install_;
  std::string dsn_;
};
TQS_INSTANTIATE_FOR_BACKENDS(RoadTest);

TEST_P(RoadTest, InstallationHoldsTheBuiltProgramsAndTheErpLibrary) {
  for (const char* built :
       {TQS_HOST_PROGRAM, TQS_BROKER_PROGRAM, TQS_MASTER_DATA_PROGRAM, TQS_REFERENCE_ERP_LIBRARY}) {
    const fs::path installed = install_ / "bin" / fs::path(built).filename();
    ASSERT_TRUE(fs::exists(installed)) << installed;
    EXPECT_EQ(fs::file_size(installed), fs::file_size(built)) << installed;
  }
  EXPECT_THAT(ReadWholeFile(install_ / "bin" / "TQSRemoteComponents.xml"),
              HasSubstr(fs::path(TQS_REFERENCE_ERP_LIBRARY).filename().string()));
}

TEST_P(RoadTest, OfflineWorkTravelsToTheErpAndBackAndIsNotOfferedAgain) {
  // 1. The first download offers ada's two open orders as new; the cancelled one is not
  //    offered to a laptop that never held it.
  const std::string first = Download("");
  EXPECT_THAT(OrderIds(first, "new"), ElementsAre("SO1001", "SO1002"));
  EXPECT_THAT(OrderIds(first, "additions"), IsEmpty());
  EXPECT_THAT(OrderIds(first, "cancellations"), IsEmpty());

  // 2. The upload stores one pending row per document and answers each with its number.
  const nlohmann::json stored =
      Call("StoreOutboxContent", {{"i_sOutboxContent", kOutbox}, {"i_sEmployee", kEmployee}});
  const std::string feedback = stored.value("o_vResult", std::string());
  pugi::xml_document feedback_document;
  ASSERT_TRUE(feedback_document.load_string(feedback.c_str())) << feedback;
  std::vector<std::string> answered;
  for (const pugi::xpath_node& entry : feedback_document.select_nodes("/uploadfeedback/*/*")) {
    const pugi::xml_node node = entry.node();
    answered.push_back(std::string(node.name()) + " " + node.attribute("headerid").value() + " " +
                       node.attribute("interactionon").value() + " " +
                       node.attribute("interactionid").value() + " [" +
                       node.attribute("errortype").value() + "]");
  }
  EXPECT_THAT(answered, ElementsAre(std::string("jobsheet SO1002,10 ") + kStamp + " 1 []",
                                    std::string("hour H1 ") + kStamp + " 1 []",
                                    std::string("SERVICEINSPECTION SI1 ") + kStamp + " 1 []"));
  EXPECT_THAT(UploadRows(", PROCESSEDON IS NULL"),
              ElementsAre("5 SO1002_0 1 5 1", "10 H1 1 5 1", "15 MC-2026-014_CMP-10_2 1 5 1"));

  // 3. The broker's unattended pass hands every document to the ERP and finishes every row.
  const ProgramRun broker = Run(install_ / "bin", "./TQSRemoteBroker");
  ASSERT_EQ(broker.exit_status, 0) << broker.output;
  EXPECT_THAT(broker.output, HasSubstr("Job sheet SO1002"));
  EXPECT_THAT(broker.output, HasSubstr("General hours line H1"));
  EXPECT_THAT(UploadRows(", PROCESSEDON IS NULL"),
              ElementsAre("5 SO1002_0 1 10 0", "10 H1 1 10 0", "15 MC-2026-014_CMP-10_2 1 10 0"));
  // What the ERP stored: the new material line numbered after the order's labour line, the
  // activity completed, the hours line booked for the uploader and the inspection's header.
  EXPECT_THAT(ErpRows("SELECT kind, id, origin FROM lines WHERE order_id = 'SO1002' "
                      "ORDER BY position"),
              ElementsAre("labor 1 ERP", "material 2 LAP"));
  EXPECT_THAT(ErpRows("SELECT status FROM activities WHERE order_id = 'SO1002'"),
              ElementsAre("Completed"));
  // The times and hours the engineer entered offline reached the ERP.
  EXPECT_THAT(ErpRows("SELECT json_extract(details, '$.ExecutionStart') || ' ' || "
                      "json_extract(details, '$.ExecutionFinish') FROM activities "
                      "WHERE order_id = 'SO1002'"),
              ElementsAre("2026-03-10 09:05:00 2026-03-10 12:40:00"));
  EXPECT_THAT(ErpRows("SELECT json_extract(property_values, '$.ActualQuantity') FROM lines "
                      "WHERE order_id = 'SO1002' AND kind = 'labor'"),
              ElementsAre("3.5"));
  EXPECT_THAT(ErpRows("SELECT line_number, employee, task, registration_date, spent_time "
                      "FROM hours_lines"),
              ElementsAre("1 E001 TRAV 2026-03-10 1.5"));
  EXPECT_THAT(ErpRows("SELECT id, client_id, configuration, object, object_number "
                      "FROM service_inspections"),
              ElementsAre("1 SI1 MC-2026-014 CMP-10 2"));

  // 4. The laptop asks for the results with the numbers of the feedback and gets documents
  //    that name the ERP's numbers.
  std::string result_for = feedback;
  result_for.replace(result_for.find("<uploadfeedback"), 15, "<processresultrequest");
  result_for.replace(result_for.rfind("</uploadfeedback>"), 17, "</processresultrequest>");
  const nlohmann::json results =
      Call("GetProcessResult", {{"i_sResultFor", result_for}, {"i_sEmployee", kEmployee}});
  pugi::xml_document result_document;
  const std::string result_text = results.value("o_vResult", std::string());
  ASSERT_TRUE(result_document.load_string(result_text.c_str())) << result_text;
  const pugi::xml_node material = result_document
                                      .select_node(
                                          "//jobsheets/jobsheet/serviceorder/activities/activity"
                                          "/materials/material[@lineid='N1']")
                                      .node();
  EXPECT_STREQ(material.attribute("result").value(), "0") << result_text;
  EXPECT_STREQ(material.attribute("new").value(), "2") << result_text;
  EXPECT_STREQ(result_document.select_node("//jobsheets/jobsheet/serviceorder")
                   .node()
                   .attribute("result")
                   .value(),
               "0")
      << result_text;
  const pugi::xml_node hour = result_document.select_node("//generalhours/hour").node();
  EXPECT_STREQ(hour.attribute("lineid").value(), "H1") << result_text;
  EXPECT_STREQ(hour.attribute("new").value(), "1") << result_text;
  EXPECT_STREQ(hour.attribute("error").value(), "") << result_text;
  const pugi::xml_node inspection = result_document.select_node("//SERVICEINSPECTIONS/*").node();
  EXPECT_STREQ(inspection.attribute("id").value(), "1") << result_text;
  EXPECT_STREQ(inspection.attribute("result").value(), "0") << result_text;

  // 5. The numbers are raised to the larger on both sides.
  const nlohmann::json numbers =
      Call("UpdateLastUsedNumbersInServer",
           {{"i_sLogin", kLogin},
            {"io_sXML",
             "<recordids><order>7</order><invoice>3</invoice><quotation>2</quotation>"
             "</recordids>"}});
  EXPECT_THAT(numbers.value("io_sXML", std::string()), HasSubstr("<order>7</order>"));
  EXPECT_THAT(ServerRows(                    "SELECT LASTJSID, LASTQUOTEID, LASTINVOICEID FROM USERDEFAULTS "
                    "WHERE LOGN = 'ada'"),
              ElementsAre("7 2 3"));

  // 6. Assignments reach the ERP for the login's employee.
  const nlohmann::json assigned =
      Call("updateAssignments",
           {{"i_sLogin", kLogin},
            {"i_oAssignments",
             "<assignments><serviceorder id='SO1001'><activity id='20' ataken='ACC' "
             "don='20260309' aon='20260309'/></serviceorder></assignments>"}});
  EXPECT_EQ(assigned.value("result", false), true) << assigned.dump();
  EXPECT_THAT(ErpRows("SELECT order_id, activity_id, employee, action_taken FROM "
                      "assignment_actions"),
              ElementsAre("SO1001 20 E001 ACC"));

  // 7. The completed order is offered neither to the laptop that holds it nor to one that
  //    holds nothing; the open one still is to the latter.
  const std::string held =
      "<jobsheets><serviceorder id='SO1001'><activities>"
      "<activity id='10'><materials><material lineid='1'/></materials>"
      "<labors><labor lineid='2'/></labors>"
      "<inspections><inspection lineid='1'/><inspection lineid='2'/></inspections></activity>"
      "<activity id='20'><materials><material lineid='3'/></materials>"
      "<others><other lineid='4'/></others></activity></activities></serviceorder>"
      "<serviceorder id='SO1002'><activities><activity id='10'>"
      "<materials><material lineid='2'/></materials><labors><labor lineid='1'/></labors>"
      "</activity></activities></serviceorder></jobsheets>";
  const std::string second = Download(held);
  EXPECT_THAT(OrderIds(second, "new"), IsEmpty()) << second;
  EXPECT_THAT(OrderIds(second, "additions"), IsEmpty()) << second;
  EXPECT_THAT(OrderIds(second, "cancellations"), IsEmpty()) << second;
  EXPECT_THAT(OrderIds(Download(""), "new"), ElementsAre("SO1001"));

  // 8. The master data program builds and packs one client database per service centre.
  const ProgramRun master_data =
      Run(install_ / "bin", "./TQSRemoteCreateMasterData --run --recreate");
  ASSERT_EQ(master_data.exit_status, 0) << master_data.output;
  std::vector<std::string> produced;
  const fs::path output = install_ / "web" / "Varnex" / "EndUser" / "MasterData";
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(output)) {
    if (entry.is_regular_file() && entry.file_size() > 0) {
      produced.push_back(fs::relative(entry.path(), output).generic_string());
    }
  }
  EXPECT_THAT(produced, UnorderedElementsAre("100/NORTH.mdb", "100/NORTH.exe", "100/SOUTH.mdb",
                                             "100/SOUTH.exe", "200/WEST.mdb", "200/WEST.exe"));

  // Nothing on the road left a row behind.
  EXPECT_THAT(ServerRows(                    "SELECT COUNT(*) FROM CLIENTSERVERINTERACTION WHERE INTERACTIONSTATUS <> 10"),
              ElementsAre("0"));
}

TEST_P(RoadTest, WorkTheErpRejectsEndsAtStatus15WithItsDescription) {
  // An activity SO1002 does not have, and an hours line dated on a day that does not exist.
  std::string outbox = kOutbox;
  outbox.replace(outbox.find("<activity id='10'"), 17, "<activity id='99'");
  outbox.replace(outbox.find("<rgdt>20260310</rgdt>"), 21, "<rgdt>20260231</rgdt>");
  Call("StoreOutboxContent", {{"i_sOutboxContent", outbox}, {"i_sEmployee", kEmployee}});

  const ProgramRun broker = Run(install_ / "bin", "./TQSRemoteBroker");
  ASSERT_EQ(broker.exit_status, 0) << broker.output;

  const std::vector<std::string> rows = UploadRows(", INTERACTIONRESULT");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_THAT(rows[0], ::testing::StartsWith("5 SO1002_0 1 15 "));
  EXPECT_THAT(rows[0], HasSubstr("99"));
  EXPECT_THAT(rows[1], ::testing::StartsWith("10 H1 1 15 "));
  EXPECT_THAT(rows[1], HasSubstr("is no date"));
  EXPECT_THAT(rows[2], ::testing::StartsWith("15 MC-2026-014_CMP-10_2 1 10 "));
  // Nothing of the rejected work was stored.
  EXPECT_THAT(ErpRows("SELECT status FROM activities WHERE order_id = 'SO1002'"),
              Not(ElementsAre("Completed")));
  EXPECT_THAT(ErpRows("SELECT COUNT(*) FROM hours_lines"), ElementsAre("0"));
}

}  // namespace
}  // namespace tqs
