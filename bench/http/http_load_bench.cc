// Load on the HTTP host of JobSheet, as a web tier in front of many laptops would put it: a
// fresh installation (SQLite, or a fresh schema of the PostgreSQL database given by --dsn or
// TQS_TEST_POSTGRES_DSN), the host served in this process on loopback, and N concurrent clients
// each acting as one engineer: upload an outbox of job sheets (a few KB; every tenth upload is a
// re-send of the previous outbox, as a laptop does when it missed the answer), then ask for the
// results of the documents just stored. Runs for a bounded time and number of rounds.
//
// Prints requests/s and latency percentiles (p50, p90, p99, max) per request kind, the errors
// (transport failures, HTTP status other than 200, documents that the feedback reports as not
// stored), and checks the table afterwards: every document stored exactly once, numbers 1..n
// per engineer. Exit status 1 when a request failed or a row is lost or duplicated.
//
//   http_load_bench [--clients=8] [--seconds=10] [--rounds=N] [--sheets=3] [--dsn=DSN]
//                   [--sqlite]
// --rounds caps the upload/result rounds of each client (default: only the time bounds them);
// --sqlite ignores TQS_TEST_POSTGRES_DSN.
#include <httplib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "admin/installation.h"
#include "common/error.h"
#include "platform/automation/component_registry.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "server/host/host_settings.h"
#include "server/host/http_server.h"
#include "server/host/memory_reuse.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Options {
  int clients = 8;
  double seconds = 10;
  long rounds = 0;  // 0: no cap
  int sheets = 3;
  std::string dsn;
  bool sqlite_only = false;
};

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&arg](const char* name) -> const char* {
      const std::string prefix = std::string(name) + "=";
      return arg.rfind(prefix, 0) == 0 ? arg.c_str() + prefix.size() : nullptr;
    };
    if (const char* v = value("--clients")) {
      options.clients = std::max(1, std::atoi(v));
    } else if (const char* v = value("--seconds")) {
      options.seconds = std::atof(v);
    } else if (const char* v = value("--rounds")) {
      options.rounds = std::atol(v);
    } else if (const char* v = value("--sheets")) {
      options.sheets = std::max(1, std::atoi(v));
    } else if (const char* v = value("--dsn")) {
      options.dsn = v;
    } else if (arg == "--sqlite") {
      options.sqlite_only = true;
    } else {
      std::fprintf(stderr, "http_load_bench: unknown option %s\n", arg.c_str());
      std::exit(2);
    }
  }
  if (options.dsn.empty() && !options.sqlite_only) {
    if (const char* env = std::getenv("TQS_TEST_POSTGRES_DSN")) options.dsn = env;
  }
  return options;
}

// A job sheet item: a service order with two activities, each with hours and cost lines
// (about 1.3 KB).
std::string JobSheetItem(const std::string& order) {
  std::string item = "<item interactionon='D1' id='" + order + "_0'><jobsheet><serviceorder id='" +
                     order +
                     "' actionsperformed='RDP,MD' customer='C4711' reference='Maintenance visit "
                     "of the robot cell, line 3' startdate='20261208T081500' "
                     "enddate='20261208T163000'><activities>";
  for (int a = 1; a <= 2; ++a) {
    item += "<activity id='" + std::to_string(a * 10) +
            "' actionsperformed='RDC' description='Replace the gripper seals and check the "
            "pressure of the pneumatic circuit' status='finished'><lines>";
    for (int l = 1; l <= 2; ++l) {
      item += "<line id='" + std::to_string(l) + "' type='" + (l % 2 ? "hours" : "cost") +
              "' item='ART-" + std::to_string(1000 + l * a) +
              "' quantity='1.5' unit='h' date='20261208' text='Work done as agreed with the "
              "customer on site'/>";
    }
    item += "</lines></activity>";
  }
  return item + "</activities></serviceorder></jobsheet></item>";
}

std::string Outbox(int client, long round, int sheets) {
  std::string outbox = "<businessdocuments><jobsheets>";
  for (int s = 0; s < sheets; ++s) {
    outbox += JobSheetItem(std::to_string(client) + "-" + std::to_string(round) + "-" +
                           std::to_string(s));
  }
  return outbox + "</jobsheets></businessdocuments>";
}

// The results of interaction numbers first..last of the engineer's job sheets.
std::string ResultRequest(long first, long last) {
  std::string request = "<processresultrequest><jobsheets>";
  for (long id = first; id <= last; ++id) {
    request += "<j interactionon='D1' interactionid='" + std::to_string(id) + "'/>";
  }
  return request + "</jobsheets></processresultrequest>";
}

enum Kind { kUpload, kResults, kKinds };
constexpr const char* kKindNames[kKinds] = {"upload (StoreOutboxContent)",
                                            "results (GetProcessResult)"};

struct ClientTally {
  std::vector<double> latency_ms[kKinds];
  long errors[kKinds] = {};
  long documents = 0;  // distinct documents uploaded
  std::string first_error;
};

void RunClient(int client, const Options& options, int port, const std::string& secret,
               Clock::time_point deadline, ClientTally& tally) {
  httplib::Client http("127.0.0.1", port);
  http.set_keep_alive(true);
  http.set_tcp_nodelay(true);
  http.set_read_timeout(60);
  const httplib::Headers headers = {{"Authorization", "Bearer " + secret}};
  const std::string employee = "E" + std::to_string(1000 + client);
  const auto call = [&](Kind kind, const char* method, const nlohmann::json& body) {
    const auto start = Clock::now();
    auto response = http.Post((std::string("/JobSheet/") + method).c_str(), headers, body.dump(),
                              "application/json");
    tally.latency_ms[kind].push_back(
        std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    std::string problem;
    if (!response) {
      problem = "transport: " + httplib::to_string(response.error());
    } else if (response->status != 200) {
      problem = "HTTP " + std::to_string(response->status) + ": " + response->body;
    } else if (kind == kUpload && response->body.find("normal") != std::string::npos) {
      problem = "document not stored: " + response->body;  // feedback errortype "normal"
    }
    if (!problem.empty()) {
      ++tally.errors[kind];
      if (tally.first_error.empty()) tally.first_error = problem;
    }
  };
  long sent_round = -1;
  for (long round = 0; options.rounds == 0 || round < options.rounds; ++round) {
    if (Clock::now() >= deadline) break;
    // Every tenth upload re-sends the previous outbox: the server answers with conflicts and
    // adds no rows.
    const bool resend = round % 10 == 9 && sent_round >= 0;
    const long outbox_round = resend ? sent_round : round;
    call(kUpload, "StoreOutboxContent",
         {{"i_sOutboxContent", Outbox(client, outbox_round, options.sheets)},
          {"i_sEmployee", employee}});
    if (!resend) {
      tally.documents += options.sheets;
      sent_round = round;
    }
    call(kResults, "GetProcessResult",
         {{"i_sResultFor",
           ResultRequest(std::max(1L, tally.documents - options.sheets + 1), tally.documents)},
          {"i_sEmployee", employee}});
  }
}

double Percentile(const std::vector<double>& sorted, double p) {
  if (sorted.empty()) return 0;
  const auto index = static_cast<std::size_t>(p * static_cast<double>(sorted.size() - 1) + 0.5);
  return sorted[std::min(index, sorted.size() - 1)];
}

std::string Scalar(tqs::db::Connection& connection, const std::string& sql) {
  auto rs = tqs::db::Recordset::Open(sql, connection, tqs::db::CursorType::kForwardOnly,
                                     tqs::db::LockType::kReadOnly);
  return rs->IsEOF() || rs->Field(0).IsNull() ? "0" : rs->Field(0).AsText();
}

// A fresh database for the run: a schema of the PostgreSQL database (dropped at the end), or
// a SQLite file of the installation.
class RunDatabase {
 public:
  explicit RunDatabase(const std::string& server_dsn) : server_dsn_(server_dsn) {
    if (server_dsn_.empty()) return;
    schema_ = "tqs_http_bench_" + std::to_string(::getpid());
    tqs::db::Connection::Open(server_dsn_)->Execute("CREATE SCHEMA " + schema_);
    dsn_ = server_dsn_ + ";Search Path=" + schema_;
  }
  ~RunDatabase() {
    if (schema_.empty()) return;
    try {
      tqs::db::Connection::Open(server_dsn_)->Execute("DROP SCHEMA " + schema_ + " CASCADE");
    } catch (const tqs::Error& error) {
      std::fprintf(stderr, "dropping schema %s: %s\n", schema_.c_str(),
                   error.description().c_str());
    }
  }
  RunDatabase(const RunDatabase&) = delete;
  RunDatabase& operator=(const RunDatabase&) = delete;

  // Empty for SQLite: the installation's own file.
  const std::string& dsn() const { return dsn_; }

 private:
  const std::string server_dsn_;
  std::string schema_;
  std::string dsn_;
};

int Run(const Options& options) {
  const fs::path folder =
      fs::temp_directory_path() / ("tqs-http-bench-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  struct RemoveAtExit {
    fs::path path;
    ~RemoveAtExit() {
      std::error_code ignored;
      fs::remove_all(path, ignored);
    }
  } remove_at_exit{folder};
  RunDatabase database(options.dsn);

  tqs::admin::InstallOptions install;
  install.directory = folder / "installation";
  install.programs_folder = folder / "no-programs";
  if (!database.dsn().empty()) install.dsn = database.dsn();
  tqs::admin::Install(install, [](std::string_view) {});
  tqs::server::host::HostSettings settings =
      tqs::server::host::ReadHostSettings(install.directory / "bin");
  settings.port = 0;
  settings.worker_threads = std::max(settings.worker_threads, options.clients);
  const bool postgres = settings.connection_string.find("Provider=PostgreSQL") != std::string::npos;

  tqs::automation::ComponentRegistry components;
  tqs::server::host::KeepFreedMemoryForReuse();  // as TQSRemoteServerHost serve does
  tqs::server::host::HttpServer server(settings, components);
  const int port = server.Bind();
  std::thread serving([&server] { server.Serve(); });

  std::vector<ClientTally> tallies(static_cast<std::size_t>(options.clients));
  const auto start = Clock::now();
  const auto deadline = start + std::chrono::duration_cast<Clock::duration>(
                                    std::chrono::duration<double>(options.seconds));
  {
    std::vector<std::thread> clients;
    for (int c = 0; c < options.clients; ++c) {
      clients.emplace_back(RunClient, c, std::cref(options), port,
                           std::cref(settings.shared_secret), deadline,
                           std::ref(tallies[static_cast<std::size_t>(c)]));
    }
    for (auto& client : clients) client.join();
  }
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  server.Stop();
  serving.join();

  std::printf(
      "HTTP host load: %s, %d clients, %d worker threads, %.1f s, outboxes of %d job "
      "sheets (%zu bytes), loopback, host in process\n",
      postgres ? "PostgreSQL" : "SQLite", options.clients, settings.worker_threads, elapsed,
      options.sheets, Outbox(0, 0, options.sheets).size());
  std::printf("%-30s%10s%10s%9s%9s%9s%9s%8s\n", "request", "count", "req/s", "p50 ms", "p90 ms",
              "p99 ms", "max ms", "errors");
  long errors = 0;
  std::vector<double> all;
  for (int kind = 0; kind < kKinds; ++kind) {
    std::vector<double> latencies;
    long kind_errors = 0;
    for (const auto& tally : tallies) {
      latencies.insert(latencies.end(), tally.latency_ms[kind].begin(),
                       tally.latency_ms[kind].end());
      kind_errors += tally.errors[kind];
    }
    std::sort(latencies.begin(), latencies.end());
    all.insert(all.end(), latencies.begin(), latencies.end());
    errors += kind_errors;
    std::printf("%-30s%10zu%10.1f%9.2f%9.2f%9.2f%9.2f%8ld\n", kKindNames[kind], latencies.size(),
                static_cast<double>(latencies.size()) / elapsed, Percentile(latencies, 0.50),
                Percentile(latencies, 0.90), Percentile(latencies, 0.99),
                latencies.empty() ? 0.0 : latencies.back(), kind_errors);
  }
  std::sort(all.begin(), all.end());
  std::printf("%-30s%10zu%10.1f%9.2f%9.2f%9.2f%9.2f%8ld\n", "all", all.size(),
              static_cast<double>(all.size()) / elapsed, Percentile(all, 0.50),
              Percentile(all, 0.90), Percentile(all, 0.99), all.empty() ? 0.0 : all.back(), errors);
  for (const auto& tally : tallies) {
    if (!tally.first_error.empty()) {
      std::printf("first error: %s\n", tally.first_error.substr(0, 300).c_str());
      break;
    }
  }

  // Every document acknowledged once: as many rows as distinct documents, none twice, and
  // each engineer's numbers 1..n.
  long expected = 0;
  for (const auto& tally : tallies) expected += tally.documents;
  auto connection = tqs::db::Connection::Open(settings.connection_string);
  const long stored =
      std::stol(Scalar(*connection, "SELECT COUNT(*) FROM CLIENTSERVERINTERACTION"));
  const long distinct =
      std::stol(Scalar(*connection,
                       "SELECT COUNT(DISTINCT EMPLOYEEID || '/' || BUSINESSDOCUMENTID) FROM "
                       "CLIENTSERVERINTERACTION"));
  const long gapped = std::stol(Scalar(
      *connection,
      "SELECT COUNT(*) FROM (SELECT EMPLOYEEID FROM CLIENTSERVERINTERACTION GROUP BY EMPLOYEEID "
      "HAVING MIN(INTERACTIONID) <> 1 OR MAX(INTERACTIONID) <> COUNT(*) OR "
      "COUNT(DISTINCT INTERACTIONID) <> COUNT(*)) AS faulty"));
  const bool rows_ok = stored == expected && distinct == expected && gapped == 0;
  std::printf(
      "rows: %ld documents sent, %ld stored, %ld lost, %ld duplicated, %ld engineers "
      "with gaps in their numbers: %s\n",
      expected, stored, std::max(0L, expected - distinct), stored - distinct, gapped,
      rows_ok ? "OK" : "FAULT");
  return errors == 0 && rows_ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = ParseOptions(argc, argv);
  try {
    return Run(options);
  } catch (const tqs::Error& error) {
    std::fprintf(stderr, "http_load_bench: %s (error %ld)\n", error.description().c_str(),
                 static_cast<long>(error.number()));
    return 1;
  }
}
