// The master data creator's APPEND copy (in the engine between two database files, every value
// passed through as stored) against SQLite's own copy of the same rows (INSERT INTO ... SELECT
// over an attached template), for 1,000,000 rows of a typical master data table; and the copy
// through the data access layer's statements (engine values moved row by row from a query to
// an insert), which serves any other pair of databases. Reports rows/s and the ratios.
//
//   masterdata_append_bench [--rows=N] [Google Benchmark options]
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "masterdata/heap_tuning.h"
#include "masterdata/settings.h"
#include "masterdata/table_transfer.h"
#include "platform/db/connection.h"
#include "platform/db/table_copy.h"

namespace {

namespace fs = std::filesystem;
using tqs::masterdata::kClientConnectionPrefix;

long long g_rows = 1'000'000;
fs::path g_folder;
double g_append_rate = 0;
double g_sqlite_rate = 0;
double g_statements_rate = 0;

constexpr const char* kTableSql =
    "CREATE TABLE CUSTOMERS (CUNO TEXT PRIMARY KEY, NAME TEXT, CITY TEXT, CREDITLIMIT REAL, "
    "LASTVISIT DATE, CWOC TEXT)";

fs::path TemplatePath() { return g_folder / "ClientDatabase.mdb"; }
fs::path CentrePath() { return g_folder / "W.mdb"; }

void Check(sqlite3* db, int code) {
  if (code != SQLITE_OK) {
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
    std::exit(1);
  }
}

// The template: g_rows customers of one service centre; the centre database: the empty table.
void CreateDatabases() {
  g_folder = fs::temp_directory_path() / ("tqs-append-bench-" + std::to_string(::getpid()));
  fs::create_directories(g_folder);
  {
    auto db = tqs::db::Connection::OpenOrCreate(std::string(kClientConnectionPrefix) +
                                                TemplatePath().string());
    db->Execute(kTableSql);
    db->Execute("WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < " +
                std::to_string(g_rows) +
                ") INSERT INTO CUSTOMERS SELECT printf('C%08d', n), 'Customer number ' || n, "
                "'City ' || (n % 500), (n % 100) * 250.0, '2026-12-08 14:05:09', 'NORTH' FROM c");
    db->Close();
  }
  auto db = tqs::db::Connection::OpenOrCreate(std::string(kClientConnectionPrefix) +
                                              CentrePath().string());
  db->Execute(kTableSql);
  db->Close();
}

void BM_AppendCopy(benchmark::State& state) {
  const tqs::masterdata::TransferEntry entry{"CUSTOMERS",
                                             "SELECT * FROM CUSTOMERS WHERE CWOC = {CWOC}",
                                             tqs::masterdata::TransferType::kAppend};
  const tqs::masterdata::TransferDatabases databases{
      std::string(kClientConnectionPrefix) + TemplatePath().string(),
      std::string(kClientConnectionPrefix) + CentrePath().string()};
  std::int64_t rows = 0;
  for (auto _ : state) {
    rows = tqs::masterdata::ApplyTransferEntry(entry, {"100", "NORTH"}, databases,
                                               tqs::masterdata::RunEvents::None());
  }
  if (rows != g_rows) state.SkipWithError("the copy lost rows");
  state.SetItemsProcessed(state.iterations() * rows);
  state.counters["rows_per_s"] =
      benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_StatementsCopy(benchmark::State& state) {
  const std::string source = std::string(kClientConnectionPrefix) + TemplatePath().string();
  const std::string target = std::string(kClientConnectionPrefix) + CentrePath().string();
  std::int64_t rows = 0;
  for (auto _ : state) {
    rows = tqs::db::ReplaceRows(
        tqs::db::TableCopy{source, "SELECT * FROM CUSTOMERS WHERE CWOC = 'NORTH'", target,
                           "CUSTOMERS", tqs::masterdata::kRowsBetweenEvents, [](std::int64_t) {},
                           tqs::db::CopyMethod::kStatements});
  }
  if (rows != g_rows) state.SkipWithError("the copy lost rows");
  state.SetItemsProcessed(state.iterations() * rows);
  state.counters["rows_per_s"] =
      benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_SqliteInsertSelect(benchmark::State& state) {
  sqlite3* db = nullptr;
  Check(db, sqlite3_open(CentrePath().c_str(), &db));
  // The settings the data access layer gives a client database.
  Check(db, sqlite3_exec(db, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL", nullptr,
                         nullptr, nullptr));
  const std::string attach = "ATTACH DATABASE '" + TemplatePath().string() + "' AS template";
  Check(db, sqlite3_exec(db, attach.c_str(), nullptr, nullptr, nullptr));
  for (auto _ : state) {
    Check(db, sqlite3_exec(db,
                           "BEGIN IMMEDIATE; DELETE FROM main.CUSTOMERS; "
                           "INSERT INTO main.CUSTOMERS SELECT * FROM template.CUSTOMERS "
                           "WHERE CWOC = 'NORTH'; COMMIT",
                           nullptr, nullptr, nullptr));
  }
  if (sqlite3_changes64(db) != g_rows) state.SkipWithError("the copy lost rows");
  sqlite3_close(db);
  state.SetItemsProcessed(state.iterations() * g_rows);
  state.counters["rows_per_s"] = benchmark::Counter(static_cast<double>(g_rows),
                                                    benchmark::Counter::kIsIterationInvariantRate);
}

// Keeps the rows/s of each benchmark for the ratio printed at the end.
class RateKeeper final : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const auto rate = run.counters.find("rows_per_s");
      if (rate == run.counters.end() || run.error_occurred) continue;
      const std::string name = run.benchmark_name();
      if (name.rfind("BM_AppendCopy", 0) == 0) g_append_rate = rate->second.value;
      if (name.rfind("BM_SqliteInsertSelect", 0) == 0) g_sqlite_rate = rate->second.value;
      if (name.rfind("BM_StatementsCopy", 0) == 0) g_statements_rate = rate->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

BENCHMARK(BM_AppendCopy)->Unit(benchmark::kSecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_StatementsCopy)->Unit(benchmark::kSecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_SqliteInsertSelect)->Unit(benchmark::kSecond)->Iterations(2)->UseRealTime();

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--rows=", 7) == 0) g_rows = std::atoll(argv[i] + 7);
  }
  // As the program does at its start.
  tqs::masterdata::KeepFreedHeapForReuse();
  benchmark::Initialize(&argc, argv);
  std::printf("Preparing a template database of %lld rows ...\n", g_rows);
  std::fflush(stdout);
  CreateDatabases();
  RateKeeper reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  if (g_append_rate > 0 && g_sqlite_rate > 0) {
    std::printf(
        "\nAPPEND copy: %.0f rows/s; INSERT INTO ... SELECT through ATTACH: %.0f rows/s; "
        "ratio %.3f (the APPEND copy runs at %.1f%% of SQLite's own copy)\n",
        g_append_rate, g_sqlite_rate, g_append_rate / g_sqlite_rate,
        100.0 * g_append_rate / g_sqlite_rate);
  }
  if (g_statements_rate > 0 && g_sqlite_rate > 0) {
    std::printf("Copy through statements: %.0f rows/s; ratio %.3f to SQLite's own copy (%.1f%%)\n",
                g_statements_rate, g_statements_rate / g_sqlite_rate,
                100.0 * g_statements_rate / g_sqlite_rate);
  }
  benchmark::Shutdown();
  std::error_code ignored;
  fs::remove_all(g_folder, ignored);
  return 0;
}
