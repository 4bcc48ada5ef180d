// The compaction of one centre database after its cuts (secure delete switched on, then VACUUM,
// as the master data creator does before it packs the database), against SQLite's plain VACUUM
// of the same file. The template holds 1,000,000 customers spread over 5 service centres; each
// iteration copies it, cuts the copy down to one centre's 20 % (DELETE of the others' rows) and
// times the compaction alone. Reports the rows, the template's size, the centre database's size
// before and after compaction, and the seconds and kept rows/s of both.
//
//   masterdata_compaction_bench [--rows=N] [Google Benchmark options]
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "masterdata/database_compactor.h"
#include "masterdata/settings.h"
#include "platform/db/connection.h"

namespace {

namespace fs = std::filesystem;
using tqs::masterdata::kClientConnectionPrefix;

constexpr int kCentres = 5;
long long g_rows = 1'000'000;
fs::path g_folder;
std::uintmax_t g_template_size = 0;
std::uintmax_t g_before_size = 0;
std::uintmax_t g_after_size = 0;
double g_product_seconds = 0;
double g_sqlite_seconds = 0;

fs::path TemplatePath() { return g_folder / "ClientDatabase.mdb"; }
fs::path CentrePath() { return g_folder / "NORTH.mdb"; }
long long KeptRows() { return (g_rows + kCentres - 1) / kCentres; }

void CreateTemplate() {
  g_folder = fs::temp_directory_path() / ("tqs-compaction-bench-" + std::to_string(::getpid()));
  fs::create_directories(g_folder);
  auto db = tqs::db::Connection::OpenOrCreate(std::string(kClientConnectionPrefix) +
                                              TemplatePath().string());
  db->Execute(
      "CREATE TABLE CUSTOMERS (CUNO TEXT PRIMARY KEY, NAME TEXT, CITY TEXT, CREDITLIMIT REAL, "
      "LASTVISIT DATE, CWOC TEXT)");
  db->Execute("WITH RECURSIVE c(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM c WHERE n < " +
              std::to_string(g_rows - 1) +
              ") INSERT INTO CUSTOMERS SELECT printf('C%08d', n), 'Customer number ' || n, "
              "'City ' || (n % 500), (n % 100) * 250.0, '2026-12-08 14:05:09', "
              "CASE n % 5 WHEN 0 THEN 'NORTH' WHEN 1 THEN 'SOUTH' WHEN 2 THEN 'EAST' "
              "WHEN 3 THEN 'WEST' ELSE 'CENTRAL' END FROM c");
  db->Close();
  g_template_size = fs::file_size(TemplatePath());
}

// A fresh centre database: the template copied and cut down to the centre NORTH.
void CutCentreDatabase() {
  fs::copy_file(TemplatePath(), CentrePath(), fs::copy_options::overwrite_existing);
  auto db = tqs::db::Connection::Open(std::string(kClientConnectionPrefix) + CentrePath().string());
  db->Execute("DELETE FROM CUSTOMERS WHERE CWOC <> 'NORTH'");
  db->Close();
  g_before_size = fs::file_size(CentrePath());
}

// The centre's kept rows per second of compaction.
void Report(benchmark::State& state) {
  state.counters["kept_rows_per_s"] = benchmark::Counter(
      static_cast<double>(KeptRows()), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_SecureDeleteVacuum(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    CutCentreDatabase();
    state.ResumeTiming();
    tqs::masterdata::EraseFreedPages(CentrePath());
  }
  g_after_size = fs::file_size(CentrePath());
  Report(state);
}

void BM_SqliteVacuum(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    CutCentreDatabase();
    sqlite3* db = nullptr;
    if (sqlite3_open(CentrePath().c_str(), &db) != SQLITE_OK) state.SkipWithError("cannot open");
    state.ResumeTiming();
    if (sqlite3_exec(db, "VACUUM", nullptr, nullptr, nullptr) != SQLITE_OK) {
      state.SkipWithError(sqlite3_errmsg(db));
    }
    sqlite3_close(db);
  }
  Report(state);
}

// Keeps the seconds per compaction of each benchmark for the summary printed at the end.
class TimeKeeper final : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred || run.iterations == 0) continue;
      const double seconds = run.real_accumulated_time / static_cast<double>(run.iterations);
      const std::string name = run.benchmark_name();
      if (name.rfind("BM_SecureDeleteVacuum", 0) == 0) g_product_seconds = seconds;
      if (name.rfind("BM_SqliteVacuum", 0) == 0) g_sqlite_seconds = seconds;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

BENCHMARK(BM_SecureDeleteVacuum)->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_SqliteVacuum)->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--rows=", 7) == 0) g_rows = std::atoll(argv[i] + 7);
  }
  benchmark::Initialize(&argc, argv);
  std::printf("Preparing a template database of %lld rows over %d centres ...\n", g_rows, kCentres);
  std::fflush(stdout);
  CreateTemplate();
  TimeKeeper reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  if (g_product_seconds > 0 && g_sqlite_seconds > 0) {
    std::printf(
        "\nCentre compaction: %lld rows, template %ju bytes; centre database (%lld rows kept) "
        "%ju bytes before, %ju bytes after; secure delete + VACUUM %.3f s (%.0f kept rows/s); "
        "plain VACUUM %.3f s (%.0f kept rows/s); ratio %.3f\n",
        g_rows, g_template_size, KeptRows(), g_before_size, g_after_size, g_product_seconds,
        KeptRows() / g_product_seconds, g_sqlite_seconds, KeptRows() / g_sqlite_seconds,
        g_sqlite_seconds / g_product_seconds);
  }
  benchmark::Shutdown();
  std::error_code ignored;
  fs::remove_all(g_folder, ignored);
  return 0;
}
