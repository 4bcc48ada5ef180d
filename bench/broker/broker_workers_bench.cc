// The broker's processing pass with several workers against an ERP that answers like a real one
// in time: --docs pending hours lines of --employees employees, every booking call answered after
// --delay-ms milliseconds (DelayedHoursErp, as tests use it). The same pending rows are passed
// once with 1 worker and once with each of 4 and 8, made anew for each run, on a SQLite file or,
// with --dsn, on that server database (PostgreSQL; its tables are emptied). Connecting the
// workers to a PostgreSQL server (a server process each) costs the same whatever a pass's size
// and is paid once per broker process (the connections wait in the process's pool between
// passes): one pass with 8 workers over one row per employee runs first, so that the measured
// passes show the rate of the work; its time is printed in the conditions.
//
// Prints one line per worker count above 1: path, rate with N workers, rate with 1 worker, the
// ratio N vs 1, conditions.
//
//   broker_workers_bench [--docs=N] [--employees=N] [--delay-ms=N] [--dsn=DSN]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "admin/installation.h"
#include "broker/broker_window.h"
#include "broker/error_log.h"
#include "broker/general_hours_processor.h"
#include "broker/job_sheet_processor.h"
#include "broker/processing_pass.h"
#include "broker/service_inspection_processor.h"
#include "broker/worker_pass.h"
#include "common/conversions.h"
#include "common/date_time.h"
#include "common/erp/hours_accounting.h"
#include "common/text.h"
#include "platform/automation/component_registry.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/db/transaction.h"
#include "tests/support/delayed_hours_erp.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int g_docs = 400;
int g_employees = 100;
int g_delay_ms = 20;

std::string Employee(int n) { return "E" + std::to_string(10000 + n % g_employees); }

// The server database `dsn` (its schema made when missing) holding only the employees (each with
// a business component) and the pending hours lines, employees taking turns in upload order.
void PrepareDatabase(const std::string& dsn, int docs) {
  tqs::admin::InitializeDatabase(dsn);
  const auto connection = tqs::db::Connection::Open(dsn);
  tqs::db::Transaction transaction(*connection);
  connection->Execute("DELETE FROM CLIENTSERVERINTERACTION");
  connection->Execute("DELETE FROM USERDEFAULTS");
  for (int e = 0; e < g_employees; ++e) {
    connection->Execute(
        "INSERT INTO USERDEFAULTS (LOGN, EMNO, BUSCOMPONENT, LASTJSID, LASTQUOTEID, "
        "LASTINVOICEID) VALUES (" +
        tqs::QuoteSql("login-" + Employee(e)) + ", " + tqs::QuoteSql(Employee(e)) + ", " +
        tqs::QuoteSql("BC" + std::to_string(e)) + ", 0, 0, 0)");
  }
  for (int d = 0; d < docs; ++d) {
    const std::string task = "T" + std::to_string(d);
    connection->Execute(
        "INSERT INTO CLIENTSERVERINTERACTION (EMPLOYEEID, BUSINESSDOCUMENTTYPE, "
        "INTERACTIONNAME, INTERACTIONON, INTERACTIONID, BUSINESSDOCUMENTID, "
        "BUSINESSDOCUMENTCONTENTS, INTERACTIONSTATUS) VALUES (" +
        tqs::QuoteSql(Employee(d)) + ", 10, 0, 'ON-1', " + std::to_string(d + 1) + ", " +
        tqs::QuoteSql(task) + ", " +
        tqs::QuoteSql("<hour interactionon='ON-1' lineid='" + task + "'><ctsk>" + task +
                      "</ctsk><chlt>NORMAL</chlt><rgdt>20260310</rgdt><sptm>1.5</sptm></hour>") +
        ", 5)");
  }
  transaction.Commit();
}

long CountFinished(const std::string& dsn) {
  const auto connection = tqs::db::Connection::Open(dsn);
  auto rs = tqs::db::Recordset::Open(
      "SELECT COUNT(*) FROM CLIENTSERVERINTERACTION WHERE INTERACTIONSTATUS = 10", *connection);
  const long n = rs->Field(0).AsInt32();
  rs->Close();
  return n;
}

// One pass over the `docs` pending rows of `dsn` with `workers` workers; its documents per
// second.
double PassRate(const std::string& dsn, const fs::path& folder, int workers, int docs) {
  const tqs::Clock& clock = tqs::Clock::System();
  const tqs::RegionalSettings settings = tqs::RegionalSettings::EnglishUS();
  tqs::broker::frmTQSRemoteBroker window;
  window.m_sErrorLogFile = (folder / "CriticalErrorlog.txt").string();
  window.m_sConnectionString = dsn;
  window.m_iWorkers = workers;
  const tqs::broker::ErrorLog log{clock, settings};
  tqs::automation::ComponentRegistry registry;
  registry.Register(
      std::string(tqs::erp::hours_accounting::kPrefix),
      std::make_shared<tqs::test_support::DelayedHoursErp>(
          tqs::test_support::DelayedHoursErpOptions{std::chrono::milliseconds(g_delay_ms)}));
  tqs::broker::JobSheetProcessor job_sheets(window, log, registry, clock, settings);
  tqs::broker::GeneralHoursProcessor general_hours(window, log, registry, clock, settings);
  tqs::broker::ServiceInspectionProcessor inspections(window, log, registry, clock, settings);
  const tqs::broker::WorkerPass worker_pass(log, registry, clock, settings);
  tqs::broker::ProcessingPass pass(window, log, {job_sheets, general_hours, inspections}, clock,
                                   settings, &worker_pass);
  const auto start = Clock::now();
  pass.processBusinessdocuments();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  window.Unload();
  const long finished = CountFinished(dsn);
  if (finished != docs) {
    std::fprintf(stderr, "broker workers bench: %ld of %d rows finished with %d workers\n",
                 finished, docs, workers);
    std::exit(1);
  }
  return docs / seconds;
}

}  // namespace

int main(int argc, char** argv) {
  std::string dsn;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--docs=", 7) == 0)
      g_docs = std::atoi(argv[i] + 7);
    else if (std::strncmp(argv[i], "--employees=", 12) == 0)
      g_employees = std::atoi(argv[i] + 12);
    else if (std::strncmp(argv[i], "--delay-ms=", 11) == 0)
      g_delay_ms = std::atoi(argv[i] + 11);
    else if (std::strncmp(argv[i], "--dsn=", 6) == 0)
      dsn = argv[i] + 6;
  }
  const fs::path folder =
      fs::temp_directory_path() / ("tqs-broker-workers-bench-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const bool on_sqlite = dsn.empty();
  if (on_sqlite) dsn = "Provider=SQLite;Data Source=" + (folder / "server.db").string();
  // Each run over the same pending rows, made anew.
  const auto rate = [&](int workers, int docs) {
    PrepareDatabase(dsn, docs);
    return PassRate(dsn, folder, workers, docs);
  };
  const double first_pass_ms = 1000.0 * g_employees / rate(8, g_employees);
  const double one = rate(1, g_docs);
  for (const int workers : {4, 8}) {
    const double many = rate(workers, g_docs);
    std::printf(
        "broker pass, %d workers vs 1 (slow ERP)\t%.0f docs/s\t%.0f docs/s\t%.2f\t%d "
        "hours lines of %d employees, ERP answering after %d ms, %s; first pass of the "
        "process (connecting 8 workers, %d rows) %.0f ms, not counted\n",
        workers, many, one, many / one, g_docs, g_employees, g_delay_ms,
        on_sqlite ? "SQLite" : "PostgreSQL", g_employees, first_pass_ms);
  }
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return 0;
}
