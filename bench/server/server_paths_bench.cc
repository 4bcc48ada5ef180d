// The JobSheet upload and result paths against the same database work done through prepared
// sqlite3 statements, in one run on the same data:
//   upload   StoreOutboxContent of outboxes of 100 job sheets (2-20 KB each) for employees out
//            of 5,000, into a table with 0 rows and with --rows existing rows; the raw side runs,
//            per outbox, BEGIN IMMEDIATE, per document SAVEPOINT / duplicate look-up / highest
//            number / INSERT / RELEASE, then one COMMIT (the product commits once per outbox and
//            keeps each document in a savepoint of its own) on the already serialised text. The
//            product side calls as the HTTP host's workers do: the host's idle connection to the
//            database is held and the calling thread keeps its SQLite connection, with its
//            compiled statements, from one call to the next, as the raw side keeps its one
//            connection. One more row on an empty table opens a connection per call, as JobSheet
//            does inside another web tier. Before the first row, as many outboxes as a row
//            stores go through the product into a scratch database, so that no row pays for the
//            process's first calls (loading, growing the heap), which a serving host paid long
//            ago.
//   results  GetProcessResult for --results interactions of one employee at --rows rows; the raw
//            side runs the same look-up once per interaction through one prepared statement.
// When TQS_TEST_POSTGRES_DSN names a PostgreSQL server (scripts/with-postgres.sh sets it), both
// paths run again there, in fresh schemas dropped at the end, against libpq prepared statements
// on one connection (the upload's transaction also takes the numbering scopes' advisory locks
// first, as the product does; the result look-ups are prepared per request and the session reset
// after it, as the product's pooled connections are).
// Prints one line per path: path, product rate, raw rate, ratio, conditions.
//
//   server_paths_bench [--rows=N] [--outboxes=N] [--results=N] [--rss-upload=DOCS]
// --rss-upload uploads one outbox of DOCS job sheets into an empty database and prints the
// peak resident set size of the process.
#include <libpq-fe.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "admin/installation.h"
#include "bench/support/raw_sqlite.h"
#include "platform/automation/component_registry.h"
#include "platform/automation/variant.h"
#include "platform/db/connection_string.h"
#include "server/host/database_keeper.h"
#include "server/host/memory_reuse.h"
#include "server/jobsheet.h"
#include "server/thread_connection.h"

namespace {

using tqs::bench::Bind;
using tqs::bench::Check;
using tqs::bench::OpenRaw;
using tqs::bench::Prepare;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

long long g_rows = 1'000'000;
int g_outboxes = 10;
int g_results = 1000;
int g_rss_upload = 0;
constexpr int kEmployees = 5000;
constexpr int kSheetsPerOutbox = 100;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

std::string Employee(int n) { return "E" + std::to_string(10000 + n % kEmployees); }

// A job sheet item of a service order with `activities` activities, each with hour and cost
// lines: about 1 KB per activity, so 2-20 activities give 2-20 KB documents.
std::string JobSheetItem(int order, int activities, const std::string& on) {
  std::string item = "<item interactionon='" + on + "' id='" + std::to_string(order) +
                     "_0'><jobsheet><serviceorder id='" + std::to_string(order) +
                     "' actionsperformed='RDP,MD' customer='C" + std::to_string(order % 9000) +
                     "' reference='Maintenance visit of the robot cell, line 3' "
                     "startdate='20261208T081500' enddate='20261208T163000'><activities>";
  for (int a = 1; a <= activities; ++a) {
    item += "<activity id='" + std::to_string(a * 10) +
            "' actionsperformed='RDC' description='Replace the gripper seals and check the "
            "pressure of the pneumatic circuit' status='finished'><lines>";
    for (int l = 1; l <= 4; ++l) {
      item += "<line id='" + std::to_string(l) + "' type='" + (l % 2 ? "hours" : "cost") +
              "' item='ART-" + std::to_string(1000 + l * a) +
              "' quantity='1.5' unit='h' date='20261208' text='Work done as agreed with the "
              "customer on site'/>";
    }
    item += "</lines></activity>";
  }
  item += "</activities></serviceorder></jobsheet></item>";
  return item;
}

struct Outbox {
  std::string employee;
  std::string xml;                      // the envelope the laptop sends
  std::vector<std::string> order_ids;   // document ids ("4711_0")
  std::vector<std::string> documents;   // each job sheet element as stored
};

std::vector<Outbox> MakeOutboxes(int count, int sheets, const std::string& on, int seed) {
  std::mt19937 random(seed);
  std::vector<Outbox> outboxes;
  for (int o = 0; o < count; ++o) {
    Outbox outbox;
    outbox.employee = Employee(static_cast<int>(random()));
    outbox.xml = "<businessdocuments><jobsheets>";
    for (int s = 0; s < sheets; ++s) {
      const int order = 100000 + o * sheets + s;
      const std::string item = JobSheetItem(order, 2 + static_cast<int>(random() % 19), on);
      outbox.xml += item;
      outbox.order_ids.push_back(std::to_string(order) + "_0");
      const auto begin = item.find("<jobsheet>");
      const auto end = item.rfind("</item>");
      outbox.documents.push_back(item.substr(begin, end - begin));
    }
    outbox.xml += "</jobsheets></businessdocuments>";
    outboxes.push_back(std::move(outbox));
  }
  return outboxes;
}

std::string Dsn(const fs::path& file) { return "Provider=SQLite;Data Source=" + file.string(); }

// The product's per-document statements through prepared sqlite3 calls.
class RawUpload {
 public:
  explicit RawUpload(sqlite3* db) : db_(db) {
    find_ = Prepare(db, "SELECT INTERACTIONID FROM CLIENTSERVERINTERACTION WHERE EMPLOYEEID=? "
                        "AND BUSINESSDOCUMENTTYPE=5 AND INTERACTIONON=? AND INTERACTIONNAME=10 "
                        "AND BUSINESSDOCUMENTID=?");
    next_ = Prepare(db, "SELECT MAX(INTERACTIONID) FROM CLIENTSERVERINTERACTION WHERE "
                        "EMPLOYEEID=? AND BUSINESSDOCUMENTTYPE=5 AND INTERACTIONON=?");
    insert_ = Prepare(db, "INSERT INTO CLIENTSERVERINTERACTION (EMPLOYEEID, BUSINESSDOCUMENTTYPE, "
                          "INTERACTIONNAME, INTERACTIONON, INTERACTIONID, BUSINESSDOCUMENTID, "
                          "BUSINESSDOCUMENTCONTENTS, INTERACTIONSTATUS) "
                          "VALUES (?, 5, 10, ?, ?, ?, ?, 5)");
    begin_ = Prepare(db, "BEGIN IMMEDIATE");
    commit_ = Prepare(db, "COMMIT");
    savepoint_ = Prepare(db, "SAVEPOINT document");
    release_ = Prepare(db, "RELEASE SAVEPOINT document");
  }
  ~RawUpload() {
    for (sqlite3_stmt* s : {find_, next_, insert_, begin_, commit_, savepoint_, release_}) {
      sqlite3_finalize(s);
    }
  }

  void Store(const Outbox& outbox, const std::string& on) {
    Step(begin_);
    for (size_t i = 0; i < outbox.documents.size(); ++i) {
      Step(savepoint_);
      Bind(find_, 1, outbox.employee);
      Bind(find_, 2, on);
      Bind(find_, 3, outbox.order_ids[i]);
      const bool found = sqlite3_step(find_) == SQLITE_ROW;
      sqlite3_reset(find_);
      if (found) {
        std::fprintf(stderr, "raw upload: document stored twice\n");
        std::exit(1);
      }
      Bind(next_, 1, outbox.employee);
      Bind(next_, 2, on);
      Check(db_, sqlite3_step(next_), "max");
      const int next = sqlite3_column_type(next_, 0) == SQLITE_NULL
                           ? 1
                           : sqlite3_column_int(next_, 0) + 1;
      sqlite3_reset(next_);
      Bind(insert_, 1, outbox.employee);
      Bind(insert_, 2, on);
      sqlite3_bind_int(insert_, 3, next);
      Bind(insert_, 4, outbox.order_ids[i]);
      Bind(insert_, 5, outbox.documents[i]);
      Step(insert_);
      Step(release_);
    }
    Step(commit_);
  }

 private:
  void Step(sqlite3_stmt* s) {
    Check(db_, sqlite3_step(s), sqlite3_sql(s));
    sqlite3_reset(s);
  }
  sqlite3* db_;
  sqlite3_stmt* find_;
  sqlite3_stmt* next_;
  sqlite3_stmt* insert_;
  sqlite3_stmt* begin_;
  sqlite3_stmt* commit_;
  sqlite3_stmt* savepoint_;
  sqlite3_stmt* release_;
};

long long CountRows(const fs::path& file) {
  sqlite3* db = OpenRaw(file);
  sqlite3_stmt* s = Prepare(db, "SELECT COUNT(*) FROM CLIENTSERVERINTERACTION");
  sqlite3_step(s);
  const long long n = sqlite3_column_int64(s, 0);
  sqlite3_finalize(s);
  sqlite3_close(db);
  return n;
}

// `rows` finished interactions spread over the employees: 200 bytes of contents and a result
// document each, numbered per employee on day 20250101 + (n / 1000).
void Prefill(const fs::path& file, long long rows) {
  sqlite3* db = OpenRaw(file);
  Check(db, sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), "begin");
  sqlite3_stmt* insert = Prepare(
      db, "INSERT INTO CLIENTSERVERINTERACTION (EMPLOYEEID, BUSINESSDOCUMENTTYPE, "
          "INTERACTIONNAME, INTERACTIONON, INTERACTIONID, BUSINESSDOCUMENTID, "
          "BUSINESSDOCUMENTCONTENTS, INTERACTIONSTATUS, INTERACTIONRESULT, PROCESSEDON) "
          "VALUES (?, 5, 10, ?, ?, ?, ?, 2, ?, '2025-06-01 10:00:00')");
  const std::string contents(200, 'x');
  for (long long n = 0; n < rows; ++n) {
    const int employee = static_cast<int>(n % kEmployees);
    const long long nth = n / kEmployees;  // this employee's nth document
    const std::string on = "2025" + std::to_string(100000 + nth / 20).substr(2);
    const int id = static_cast<int>(nth % 20) + 1;
    Bind(insert, 1, Employee(employee));
    Bind(insert, 2, on);
    sqlite3_bind_int(insert, 3, id);
    Bind(insert, 4, std::to_string(n) + "_0");
    Bind(insert, 5, contents);
    Bind(insert, 6,
         "<jobsheet interactionon=\"" + on + "\" interactionid=\"" + std::to_string(id) +
             "\" headerid=\"" + std::to_string(n) +
             "\" errortype=\"\" errordesc=\"\"><serviceorder id=\"" + std::to_string(n) +
             "\" status=\"processed\"/></jobsheet>");
    Check(db, sqlite3_step(insert), "prefill");
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  Check(db, sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), "commit");
  // The prefill's pages go into the database file now, not in the first checkpoint of the
  // measured upload.
  Check(db, sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr),
        "checkpoint");
  sqlite3_close(db);
}

fs::path g_folder;

fs::path NewDatabase(const std::string& name) {
  const fs::path file = g_folder / name;
  tqs::admin::InitializeDatabase(Dsn(file));
  return file;
}

struct Row {
  std::string path;
  double product;
  double raw;
  std::string unit;
  std::string conditions;
};
std::vector<Row> g_table;

// How the product's calls reach an SQLite database: as the HTTP host's workers call (the
// thread's connection kept between calls) or with a connection opened and closed per call.
enum class Calls { kAsTheHost, kConnectionPerCall };

// Stores `outboxes` through JobSheet into `product_dsn`; exits on a refused document.
void StoreThroughProduct(const std::string& product_dsn, const std::vector<Outbox>& outboxes,
                         Calls calls) {
  tqs::automation::ComponentRegistry components;
  tqs::server::JobSheet job_sheet(components);
  tqs::server::ThreadConnection::ForCurrentThread().set_keep_sqlite_connection(calls ==
                                                                               Calls::kAsTheHost);
  for (const Outbox& outbox : outboxes) {
    tqs::automation::Variant result;
    job_sheet.StoreOutboxContent(outbox.xml, outbox.employee, product_dsn, result);
    if (result.AsText().find("errortype=\"normal\"") != std::string::npos ||
        result.AsText().find("errortype=\"conflict\"") != std::string::npos) {
      std::fprintf(stderr, "upload failed: %s\n", result.AsText().substr(0, 400).c_str());
      std::exit(1);
    }
  }
  tqs::server::ThreadConnection::ForCurrentThread().set_keep_sqlite_connection(false);
}

// Stores the outboxes through the product (into `product_dsn`) and through `raw_store`, which
// stores the same documents on its own; adds the row.
template <typename RawStore>
void UploadPath(const std::string& product_dsn, RawStore raw_store, const std::string& label,
                const std::string& on, const std::string& conditions_suffix,
                Calls calls = Calls::kAsTheHost) {
  const std::vector<Outbox> outboxes = MakeOutboxes(g_outboxes, kSheetsPerOutbox, on, 7);
  double bytes = 0;
  for (const Outbox& o : outboxes) bytes += static_cast<double>(o.xml.size());
  // The HTTP host holds an idle connection to an SQLite database from its start.
  std::optional<tqs::server::host::DatabaseKeeper> keeper;
  if (calls == Calls::kAsTheHost) keeper.emplace(product_dsn);
  const auto product_start = Clock::now();
  StoreThroughProduct(product_dsn, outboxes, calls);
  const double product_s = Seconds(product_start);
  const double raw_s = raw_store(outboxes);
  const double docs = static_cast<double>(g_outboxes) * kSheetsPerOutbox;
  char conditions[240];
  std::snprintf(conditions, sizeof conditions, "%d outboxes x %d job sheets, avg %.1f KB/doc, %s%s",
                g_outboxes, kSheetsPerOutbox, bytes / docs / 1024, conditions_suffix.c_str(),
                calls == Calls::kAsTheHost ? "" : ", a connection per call");
  g_table.push_back({label, docs / product_s, docs / raw_s, "docs/s", conditions});
}

// The raw SQLite upload into `raw_db` on day `raw_on`; returns its seconds.
auto SqliteRawUpload(const fs::path& raw_db, const std::string& raw_on) {
  return [raw_db, raw_on](const std::vector<Outbox>& outboxes) {
    // The connection is opened and the statements compiled within the time, as the product
    // opens its connection and compiles its statements on its first call.
    const auto raw_start = Clock::now();
    sqlite3* db = OpenRaw(raw_db);
    double raw_s = 0;
    {
      RawUpload raw(db);
      for (const Outbox& outbox : outboxes) raw.Store(outbox, raw_on);
      raw_s = Seconds(raw_start);
    }
    sqlite3_close(db);
    return raw_s;
  };
}

// One request of the results path: an employee and the interactions it asks for.
struct Request {
  std::string employee;
  std::string xml;
  std::vector<std::pair<std::string, int>> keys;
};

// The raw SQLite look-ups of the requests; returns the bytes of results found.
auto SqliteRawResults(const fs::path& file) {
  return [file](const std::vector<Request>& requests) {
    std::size_t raw_bytes = 0;
    for (const Request& request : requests) {
      // A connection per request, as the product opens one per call.
      sqlite3* db = OpenRaw(file);
      sqlite3_stmt* select = Prepare(
          db, "SELECT INTERACTIONRESULT FROM CLIENTSERVERINTERACTION WHERE EMPLOYEEID=? AND "
              "BUSINESSDOCUMENTTYPE=5 AND INTERACTIONON=? AND INTERACTIONID=? AND "
              "INTERACTIONSTATUS <> 5");
      std::string answer;
      for (const auto& [on, id] : request.keys) {
        Bind(select, 1, request.employee);
        Bind(select, 2, on);
        sqlite3_bind_int(select, 3, id);
        if (sqlite3_step(select) == SQLITE_ROW) {
          answer.append(reinterpret_cast<const char*>(sqlite3_column_text(select, 0)),
                        sqlite3_column_bytes(select, 0));
        }
        sqlite3_reset(select);
      }
      raw_bytes += answer.size();
      sqlite3_finalize(select);
      sqlite3_close(db);
    }
    return raw_bytes;
  };
}

template <typename RawResults>
void ResultsPath(const std::string& dsn, RawResults raw_results, const std::string& label,
                 long long rows) {
  // --results finished interactions, asked for by their employees: each request lists all of
  // one employee's interactions (rows / 5,000 of them).
  const int per_employee = static_cast<int>(g_rows / kEmployees);
  std::vector<Request> requests;
  int count = 0;
  for (int e = 0; count < g_results && e < kEmployees && per_employee > 0; ++e) {
    Request request{Employee(e), "<processresultrequest><jobsheets>", {}};
    for (int nth = 0; nth < per_employee && count < g_results; ++nth, ++count) {
      const std::string on = "2025" + std::to_string(100000 + nth / 20).substr(2);
      const int id = nth % 20 + 1;
      request.keys.emplace_back(on, id);
      request.xml += "<jobsheet interactionon='" + on + "' interactionid='" +
                     std::to_string(id) + "'/>";
    }
    request.xml += "</jobsheets></processresultrequest>";
    requests.push_back(std::move(request));
  }
  tqs::automation::ComponentRegistry components;
  tqs::server::JobSheet job_sheet(components);
  constexpr int kRepeats = 5;
  size_t product_bytes = 0;
  const auto product_start = Clock::now();
  for (int r = 0; r < kRepeats; ++r) {
    product_bytes = 0;
    for (const Request& request : requests) {
      tqs::automation::Variant result;
      job_sheet.GetProcessResult(request.xml, request.employee, dsn, result);
      product_bytes += result.AsText().size();
    }
  }
  const double product_s = Seconds(product_start);
  size_t raw_bytes = 0;
  const auto raw_start = Clock::now();
  for (int r = 0; r < kRepeats; ++r) raw_bytes = raw_results(requests);
  const double raw_s = Seconds(raw_start);
  if (raw_bytes == 0 || product_bytes < raw_bytes) {
    std::fprintf(stderr, "results: the product answered %zu bytes, the raw look-ups %zu\n",
                 product_bytes, raw_bytes);
    std::exit(1);
  }
  char conditions[200];
  std::snprintf(conditions, sizeof conditions,
                "%d interactions in %zu requests (one employee each), %lld rows, x%d", count,
                requests.size(), rows, kRepeats);
  g_table.push_back({label, count * kRepeats / product_s,
                     count * kRepeats / raw_s, "interactions/s", conditions});
}

// ---- PostgreSQL: the same paths on a server database, the raw side through libpq prepared
// statements on one connection (the product pools its connections the same way).

PGconn* ConnectRaw(const std::string& server_dsn, const std::string& schema) {
  const tqs::db::ConnectionString parsed = tqs::db::ConnectionString::Parse(server_dsn);
  const std::string host = parsed.Find("Host").value_or("");
  const std::string port = parsed.Find("Port").value_or("");
  const std::string database = parsed.Find("Database").value_or("");
  const std::string user = parsed.Find("User ID").value_or("");
  const std::string password = parsed.Find("Password").value_or("");
  const char* keys[] = {"host", "port", "dbname", "user", "password", nullptr};
  const char* values[] = {host.c_str(), port.c_str(), database.c_str(), user.c_str(),
                          password.c_str(), nullptr};
  PGconn* connection = PQconnectdbParams(keys, values, 0);
  if (PQstatus(connection) != CONNECTION_OK) {
    std::fprintf(stderr, "libpq: %s\n", PQerrorMessage(connection));
    std::exit(1);
  }
  // Notices (the cascade of a dropped schema) are not the benchmark's output.
  PQsetNoticeProcessor(connection, [](void*, const char*) {}, nullptr);
  if (!schema.empty()) {
    PGresult* result = PQexec(connection, ("SET search_path TO " + schema).c_str());
    PQclear(result);
  }
  return connection;
}

// Runs a prepared statement or plain text; exits on failure. The result is the caller's.
PGresult* CheckPg(PGconn* connection, PGresult* result, const char* what) {
  const ExecStatusType status = PQresultStatus(result);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    std::fprintf(stderr, "libpq (%s): %s\n", what, PQerrorMessage(connection));
    std::exit(1);
  }
  return result;
}

void ExecPg(PGconn* connection, const std::string& sql) {
  PQclear(CheckPg(connection, PQexec(connection, sql.c_str()), sql.c_str()));
}

void PreparePg(PGconn* connection, const char* name, const char* sql) {
  PQclear(CheckPg(connection, PQprepare(connection, name, sql, 0, nullptr), name));
}

PGresult* RunPrepared(PGconn* connection, const char* name,
                      std::initializer_list<const char*> parameters) {
  const std::vector<const char*> values(parameters);
  return CheckPg(connection,
                 PQexecPrepared(connection, name, static_cast<int>(values.size()), values.data(),
                                nullptr, nullptr, 0),
                 name);
}

// The raw PostgreSQL upload into `schema` on day `raw_on` as the product: per outbox a
// transaction holding the numbering scope's lock, per document in a savepoint the duplicate
// look-up, highest number and insert, then one commit.
auto PostgresRawUpload(const std::string& server_dsn, const std::string& schema,
                       const std::string& raw_on) {
  return [server_dsn, schema, raw_on](const std::vector<Outbox>& outboxes) {
    PGconn* connection = ConnectRaw(server_dsn, schema);
    PreparePg(connection, "lock", "SELECT pg_advisory_xact_lock(hashtextextended($1, 0))");
    PreparePg(connection, "find",
              "SELECT INTERACTIONID FROM CLIENTSERVERINTERACTION WHERE EMPLOYEEID=$1 AND "
              "BUSINESSDOCUMENTTYPE=5 AND INTERACTIONON=$2 AND INTERACTIONNAME=10 AND "
              "BUSINESSDOCUMENTID=$3");
    PreparePg(connection, "next",
              "SELECT MAX(INTERACTIONID) FROM CLIENTSERVERINTERACTION WHERE EMPLOYEEID=$1 AND "
              "BUSINESSDOCUMENTTYPE=5 AND INTERACTIONON=$2");
    PreparePg(connection, "insert",
              "INSERT INTO CLIENTSERVERINTERACTION (EMPLOYEEID, BUSINESSDOCUMENTTYPE, "
              "INTERACTIONNAME, INTERACTIONON, INTERACTIONID, BUSINESSDOCUMENTID, "
              "BUSINESSDOCUMENTCONTENTS, INTERACTIONSTATUS) VALUES ($1, 5, 10, $2, $3, $4, $5, 5)");
    const auto start = Clock::now();
    for (const Outbox& outbox : outboxes) {
      const std::string scope = "CLIENTSERVERINTERACTION/" + outbox.employee + "/5/" + raw_on;
      ExecPg(connection, "BEGIN");
      PQclear(RunPrepared(connection, "lock", {scope.c_str()}));
      for (std::size_t i = 0; i < outbox.documents.size(); ++i) {
        ExecPg(connection, "SAVEPOINT document");
        PGresult* found = RunPrepared(
            connection, "find",
            {outbox.employee.c_str(), raw_on.c_str(), outbox.order_ids[i].c_str()});
        if (PQntuples(found) != 0) {
          std::fprintf(stderr, "raw upload: document stored twice\n");
          std::exit(1);
        }
        PQclear(found);
        PGresult* highest =
            RunPrepared(connection, "next", {outbox.employee.c_str(), raw_on.c_str()});
        const std::string next = std::to_string(
            PQgetisnull(highest, 0, 0) ? 1 : std::atoi(PQgetvalue(highest, 0, 0)) + 1);
        PQclear(highest);
        PQclear(RunPrepared(connection, "insert",
                            {outbox.employee.c_str(), raw_on.c_str(), next.c_str(),
                             outbox.order_ids[i].c_str(), outbox.documents[i].c_str()}));
        ExecPg(connection, "RELEASE SAVEPOINT document");
      }
      ExecPg(connection, "COMMIT");
    }
    const double seconds = Seconds(start);
    PQfinish(connection);
    return seconds;
  };
}

// The raw PostgreSQL look-ups: per request the statement is prepared, run per interaction and
// dropped with the session state (DISCARD ALL, as the product's pool resets a connection).
auto PostgresRawResults(const std::string& server_dsn, const std::string& schema) {
  auto connection = std::shared_ptr<PGconn>(ConnectRaw(server_dsn, schema), PQfinish);
  return [connection, schema](const std::vector<Request>& requests) {
    PGconn* pg = connection.get();
    std::size_t raw_bytes = 0;
    for (const Request& request : requests) {
      ExecPg(pg, "SET search_path TO " + schema);
      PreparePg(pg, "result",
                "SELECT INTERACTIONRESULT FROM CLIENTSERVERINTERACTION WHERE EMPLOYEEID=$1 AND "
                "BUSINESSDOCUMENTTYPE=5 AND INTERACTIONON=$2 AND INTERACTIONID=$3 AND "
                "INTERACTIONSTATUS <> 5");
      std::string answer;
      for (const auto& [on, id] : request.keys) {
        const std::string number = std::to_string(id);
        PGresult* result =
            RunPrepared(pg, "result", {request.employee.c_str(), on.c_str(), number.c_str()});
        if (PQntuples(result) > 0) {
          answer.append(PQgetvalue(result, 0, 0), PQgetlength(result, 0, 0));
        }
        PQclear(result);
      }
      raw_bytes += answer.size();
      ExecPg(pg, "DISCARD ALL");
    }
    return raw_bytes;
  };
}

// `rows` finished interactions, as Prefill makes them on SQLite, generated by the server.
void PrefillPostgres(PGconn* connection, long long rows) {
  ExecPg(connection,
         "INSERT INTO CLIENTSERVERINTERACTION (EMPLOYEEID, BUSINESSDOCUMENTTYPE, "
         "INTERACTIONNAME, INTERACTIONON, INTERACTIONID, BUSINESSDOCUMENTID, "
         "BUSINESSDOCUMENTCONTENTS, INTERACTIONSTATUS, INTERACTIONRESULT, PROCESSEDON) "
         "SELECT 'E' || (10000 + n % " + std::to_string(kEmployees) + "), 5, 10, "
         "'2025' || substr((100000 + (n / " + std::to_string(kEmployees) + ") / 20)::text, 3), "
         "((n / " + std::to_string(kEmployees) + ") % 20) + 1, n || '_0', repeat('x', 200), 2, "
         "'<jobsheet interactionon=\"' || '2025' || substr((100000 + (n / " +
         std::to_string(kEmployees) + ") / 20)::text, 3) || '\" interactionid=\"' || "
         "(((n / " + std::to_string(kEmployees) + ") % 20) + 1) || '\" headerid=\"' || n || "
         "'\" errortype=\"\" errordesc=\"\"><serviceorder id=\"' || n || "
         "'\" status=\"processed\"/></jobsheet>', '2025-06-01 10:00:00' "
         "FROM generate_series(0::bigint, " + std::to_string(rows - 1) + ") AS n");
  ExecPg(connection, "ANALYZE CLIENTSERVERINTERACTION");
}

void PostgresPaths(const std::string& server_dsn) {
  const std::string prefix = "tqs_bench_" + std::to_string(::getpid());
  const auto schema_dsn = [&](const std::string& schema) {
    return server_dsn + ";Search Path=" + schema;
  };
  const std::string conditions = "PostgreSQL, commit per outbox";
  for (const char* part : {"_product", "_raw", "_big"}) {
    tqs::admin::InitializeDatabase(schema_dsn(prefix + part));
  }
  UploadPath(schema_dsn(prefix + "_product"),
             PostgresRawUpload(server_dsn, prefix + "_raw", "20261208"),
             "upload (StoreOutboxContent), 0 rows [PostgreSQL]", "20261208", conditions);
  PGconn* admin = ConnectRaw(server_dsn, prefix + "_big");
  std::fprintf(stderr, "Prefilling %lld interaction rows on PostgreSQL ...\n", g_rows);
  PrefillPostgres(admin, g_rows);
  UploadPath(schema_dsn(prefix + "_big"), PostgresRawUpload(server_dsn, prefix + "_big", "20261210"),
             "upload (StoreOutboxContent), " + std::to_string(g_rows) + " rows [PostgreSQL]",
             "20261209", conditions);
  ResultsPath(schema_dsn(prefix + "_big"), PostgresRawResults(server_dsn, prefix + "_big"),
              "results (GetProcessResult) [PostgreSQL]", g_rows + 2 * g_outboxes * kSheetsPerOutbox);
  for (const char* part : {"_product", "_raw", "_big"}) {
    ExecPg(admin, "DROP SCHEMA " + prefix + part + " CASCADE");
  }
  PQfinish(admin);
}

long PeakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

constexpr const char* kSqliteConditions = "WAL synchronous=FULL, commit per outbox";

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--rows=", 7) == 0) g_rows = std::atoll(argv[i] + 7);
    else if (std::strncmp(argv[i], "--outboxes=", 11) == 0) g_outboxes = std::atoi(argv[i] + 11);
    else if (std::strncmp(argv[i], "--results=", 10) == 0) g_results = std::atoi(argv[i] + 10);
    else if (std::strncmp(argv[i], "--rss-upload=", 13) == 0)
      g_rss_upload = std::atoi(argv[i] + 13);
  }
  // The product's calls run as in the HTTP host's process.
  tqs::server::host::KeepFreedMemoryForReuse();
  g_folder = fs::temp_directory_path() / ("tqs-server-bench-" + std::to_string(::getpid()));
  fs::create_directories(g_folder);

  if (g_rss_upload > 0) {
    const fs::path file = NewDatabase("rss.db");
    std::vector<Outbox> outbox = MakeOutboxes(1, g_rss_upload, "20261208", 3);
    const double megabytes = static_cast<double>(outbox[0].xml.size()) / 1e6;
    outbox[0].documents.clear();
    outbox[0].order_ids.clear();
    const long before = PeakRssKb();
    tqs::automation::ComponentRegistry components;
    tqs::server::JobSheet job_sheet(components);
    tqs::automation::Variant result;
    job_sheet.StoreOutboxContent(outbox[0].xml, outbox[0].employee, Dsn(file), result);
    std::printf("RSS\tupload of one outbox of %d job sheets (%.1f MB)\tpeak RSS %ld KB "
                "(%ld KB before the call, outbox text held by the caller)\n",
                g_rss_upload, megabytes, PeakRssKb(), before);
    fs::remove_all(g_folder);
    return 0;
  }

  StoreThroughProduct(Dsn(NewDatabase("warm-up.db")),
                      MakeOutboxes(g_outboxes, kSheetsPerOutbox, "20261201", 1), Calls::kAsTheHost);
  UploadPath(Dsn(NewDatabase("empty-product.db")),
             SqliteRawUpload(NewDatabase("empty-raw.db"), "20261208"),
             "upload (StoreOutboxContent), 0 rows", "20261208", kSqliteConditions);
  UploadPath(Dsn(NewDatabase("empty-per-call-product.db")),
             SqliteRawUpload(NewDatabase("empty-per-call-raw.db"), "20261208"),
             "upload (StoreOutboxContent), 0 rows, embedded", "20261208", kSqliteConditions,
             Calls::kConnectionPerCall);
  const fs::path big = NewDatabase("big.db");
  std::fprintf(stderr, "Prefilling %lld interaction rows ...\n", g_rows);
  Prefill(big, g_rows);
  // The raw side uses another upload day in the same table.
  UploadPath(Dsn(big), SqliteRawUpload(big, "20261210"),
             "upload (StoreOutboxContent), " + std::to_string(g_rows) + " rows", "20261209",
             kSqliteConditions);
  ResultsPath(Dsn(big), SqliteRawResults(big), "results (GetProcessResult)", CountRows(big));
  if (const char* server = std::getenv("TQS_TEST_POSTGRES_DSN"); server && *server) {
    PostgresPaths(server);
  }
  for (const Row& row : g_table) {
    std::printf("%s\t%.0f %s\t%.0f %s\t%.3f\t%s\n", row.path.c_str(), row.product,
                row.unit.c_str(), row.raw, row.unit.c_str(), row.product / row.raw,
                row.conditions.c_str());
  }
  std::error_code ignored;
  fs::remove_all(g_folder, ignored);
  return 0;
}
