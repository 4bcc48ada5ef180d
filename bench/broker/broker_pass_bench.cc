// The broker's processing pass (processBusinessdocuments) over --docs pending job sheets
// (2-20 KB each, one to twenty activities with material, labour, hour and other lines) of
// --employees employees, every one with a business component, against the same database work
// done through prepared sqlite3 statements on a copy of the same database:
//   product  the pass as the program runs it, its ERP calls served by a component factory that
//            accepts every call: ProcessJobSheet answers an output object whose error structure
//            reports nothing (every size 0) and whose return value is 0, so every row ends
//            finished (status 10);
//   raw      the pending row keys in EMPLOYEEID order, then per row: the row read by its key,
//            the employee's business component looked up, the attempt recorded (count, start,
//            open) and committed before the ERP would be called, as a document must never reach
//            the ERP without a durable trace of it, then status, result, processing time and
//            the closed attempt written in a transaction of its own.
// Each side runs in a child process of its own, which reports its time and its peak resident
// set size (VmHWM), so the peak of the pass is not hidden by the preparation's.
//
// Prints one line: path, product rate, raw rate, ratio, conditions.
//
//   broker_pass_bench [--docs=N] [--employees=N]
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <span>
#include <string>

#include "admin/installation.h"
#include "bench/support/raw_sqlite.h"
#include "broker/broker_window.h"
#include "broker/error_log.h"
#include "broker/general_hours_processor.h"
#include "broker/job_sheet_processor.h"
#include "broker/processing_pass.h"
#include "broker/service_inspection_processor.h"
#include "common/conversions.h"
#include "common/date_time.h"
#include "common/erp/job_sheets.h"
#include "platform/automation/component_registry.h"
#include "platform/automation/object.h"

namespace {

using tqs::bench::Bind;
using tqs::bench::Check;
using tqs::bench::OpenRaw;
using tqs::bench::Prepare;

namespace fs = std::filesystem;
namespace js = tqs::erp::job_sheets;
using tqs::automation::ObjectPtr;
using tqs::automation::Variant;
using Clock = std::chrono::steady_clock;

int g_docs = 10'000;
int g_employees = 5'000;

std::string Employee(int n) { return "E" + std::to_string(10000 + n % g_employees); }

// A job sheet as the laptop uploads it: about 1 KB per activity.
std::string JobSheetDocument(int order, int activities) {
  const std::string id = std::to_string(order);
  std::string xml = "<jobsheet><serviceorder id='SO" + id +
                    "' origin='ERP' type='N' actionsperformed='RDP' invoiceid='INV" + id +
                    "'><details><osta>20</osta><nama>Smith &amp; Co</nama><ordt>2026-12-01</ordt>"
                    "<txta>Maintenance visit of the robot cell, line 3</txta></details>"
                    "<activities>";
  for (int a = 1; a <= activities; ++a) {
    const std::string line = std::to_string(a * 10);
    xml += "<activity id='" + line +
           "' origin='ERP' actionsperformed='RDP'><details><asta>30</asta><desc>Replace the "
           "gripper seals and check the pressure</desc><txtb>Done as agreed</txtb></details>"
           "<materials><material lineid='" + line + "1' origin='ERP'><item>ITEM-" + line +
           "</item><eqan>2</eqan><disc/></material><material lineid='" + line +
           "2' origin='LAP'><item>SEAL-7</item><eqan>4</eqan><disc/></material></materials>"
           "<labors><labor lineid='" + line + "3' origin='LAP'><ctsk>T1</ctsk><aswr/></labor>"
           "</labors><hoursspent><hour lineid='" + line +
           "4' origin='LAP'><sptm>1,5</sptm><rgdt>8/12/2026</rgdt></hour><hour lineid='" + line +
           "5' origin='LAP'><sptm>0,75</sptm><rgdt>8/12/2026</rgdt></hour></hoursspent>"
           "<others><other lineid='" + line +
           "6' origin='LAP'><desc>Parking</desc><disc/></other></others></activity>";
  }
  xml += "</activities><payments><payment><mpay>CASH</mpay><amnt>12.50</amnt></payment>"
         "</payments></serviceorder></jobsheet>";
  return xml;
}

// A server database with the employees (each with a business component) and the pending job
// sheets; documents are made one at a time, never all held. Returns the average document size.
double PrepareDatabase(const fs::path& file) {
  tqs::admin::InitializeDatabase("Provider=SQLite;Data Source=" + file.string());
  sqlite3* db = OpenRaw(file);
  Check(db, sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), "begin");
  sqlite3_stmt* user = Prepare(
      db, "INSERT INTO USERDEFAULTS (LOGN, EMNO, BUSCOMPONENT, LASTJSID, LASTQUOTEID, "
          "LASTINVOICEID) VALUES (?, ?, ?, 0, 0, 0)");
  for (int e = 0; e < g_employees; ++e) {
    Bind(user, 1, "login-" + Employee(e));
    Bind(user, 2, Employee(e));
    Bind(user, 3, "BC" + std::to_string(e));
    Check(db, sqlite3_step(user), "user");
    sqlite3_reset(user);
  }
  sqlite3_finalize(user);
  sqlite3_stmt* row = Prepare(
      db, "INSERT INTO CLIENTSERVERINTERACTION (EMPLOYEEID, BUSINESSDOCUMENTTYPE, "
          "INTERACTIONNAME, INTERACTIONON, INTERACTIONID, BUSINESSDOCUMENTID, "
          "BUSINESSDOCUMENTCONTENTS, INTERACTIONSTATUS) VALUES (?, 5, 10, '20261208', ?, ?, ?, 5)");
  std::mt19937 random(11);
  double bytes = 0;
  for (int d = 0; d < g_docs; ++d) {
    const std::string document =
        JobSheetDocument(100000 + d, 2 + static_cast<int>(random() % 19));
    bytes += static_cast<double>(document.size());
    Bind(row, 1, Employee(d));
    sqlite3_bind_int(row, 2, d / g_employees + 1);
    Bind(row, 3, std::to_string(100000 + d) + "_0");
    Bind(row, 4, document);
    Check(db, sqlite3_step(row), "pending row");
    sqlite3_reset(row);
  }
  sqlite3_finalize(row);
  Check(db, sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), "commit");
  Check(db, sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr),
        "checkpoint");
  sqlite3_close(db);
  return bytes / g_docs;
}

// An ERP that accepts every call: procedures and setters return nothing, sizes 0, and
// ProcessJobSheet an output object handing back the error structure it was given and the
// return value 0.
class AcceptingObject final : public tqs::automation::Object {
 public:
  explicit AcceptingObject(std::string prog_id) : prog_id_(std::move(prog_id)) {}

  Variant Invoke(std::string_view method, std::span<Variant> args) override {
    if (method == js::manager::kProcessJobSheet) {
      auto output = std::make_shared<AcceptingObject>("Q72dVXRsvordJobSheets.ProcessOutput");
      output->errors_ = args[4];
      return Variant(ObjectPtr(output));
    }
    if (method == js::process_output::kGetOErrorProcessStructForProcessJobSheet) return errors_;
    if (method == js::process_output::kGetOReturnValue || method.rfind("size", 0) == 0) {
      return Variant(std::int32_t{0});
    }
    return Variant();
  }
  std::string ProgId() const override { return prog_id_; }

 private:
  const std::string prog_id_;
  Variant errors_;
};

class AcceptingFactory final : public tqs::automation::ComponentFactory {
 public:
  ObjectPtr Create(std::string_view prog_id) override {
    return std::make_shared<AcceptingObject>(std::string(prog_id));
  }
};

// The peak resident set size of this process, in KB.
long PeakRssKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

long CountFinished(const fs::path& file) {
  sqlite3* db = OpenRaw(file);
  sqlite3_stmt* s =
      Prepare(db, "SELECT COUNT(*) FROM CLIENTSERVERINTERACTION WHERE INTERACTIONSTATUS = 10");
  sqlite3_step(s);
  const long n = sqlite3_column_int64(s, 0);
  sqlite3_finalize(s);
  sqlite3_close(db);
  return n;
}

void ProductPass(const fs::path& file) {
  const tqs::Clock& clock = tqs::Clock::System();
  const tqs::RegionalSettings settings = tqs::RegionalSettings::EnglishUS();
  tqs::broker::frmTQSRemoteBroker window;
  window.m_sErrorLogFile = (file.parent_path() / "CriticalErrorlog.txt").string();
  window.m_sConnectionString = "Provider=SQLite;Data Source=" + file.string();
  const tqs::broker::ErrorLog log{clock, settings};
  tqs::automation::ComponentRegistry registry;
  registry.Register("", std::make_shared<AcceptingFactory>());
  tqs::broker::JobSheetProcessor job_sheets(window, log, registry, clock, settings);
  tqs::broker::GeneralHoursProcessor general_hours(window, log, registry, clock, settings);
  tqs::broker::ServiceInspectionProcessor inspections(window, log, registry, clock, settings);
  tqs::broker::ProcessingPass pass(window, log, {job_sheets, general_hours, inspections}, clock,
                                   settings);
  pass.processBusinessdocuments();
}

constexpr const char* kResult =
    "<jobsheet interactionon='20261208' interactionid='1' headerid='SO100000' errortype='' "
    "errordesc=''><serviceorder id='SO100000' result='0' error='' new=''/></jobsheet>";

void RawPass(const fs::path& file) {
  sqlite3* db = OpenRaw(file);
  sqlite3_stmt* keys = Prepare(db, "SELECT rowid FROM CLIENTSERVERINTERACTION "
                                   "WHERE INTERACTIONSTATUS=5 ORDER BY EMPLOYEEID");
  std::vector<sqlite3_int64> pending;
  while (sqlite3_step(keys) == SQLITE_ROW) pending.push_back(sqlite3_column_int64(keys, 0));
  sqlite3_finalize(keys);
  sqlite3_stmt* read = Prepare(db, "SELECT * FROM CLIENTSERVERINTERACTION WHERE rowid=?");
  sqlite3_stmt* component =
      Prepare(db, "SELECT USERDEFAULTS.BUSCOMPONENT FROM USERDEFAULTS WHERE EMNO = ?");
  sqlite3_stmt* attempt =
      Prepare(db,
              "UPDATE CLIENTSERVERINTERACTION SET ATTEMPTCOUNT=COALESCE(ATTEMPTCOUNT, 0)+1, "
              "ATTEMPTSTARTEDON=?, ATTEMPTOPEN=1 WHERE rowid=?");
  sqlite3_stmt* update =
      Prepare(db,
              "UPDATE CLIENTSERVERINTERACTION SET INTERACTIONRESULT=?, INTERACTIONSTATUS=10, "
              "PROCESSEDON=?, ATTEMPTOPEN=0 WHERE rowid=?");
  std::string contents;
  for (sqlite3_int64 key : pending) {
    sqlite3_bind_int64(read, 1, key);
    Check(db, sqlite3_step(read), "read");
    int employee_column = -1, contents_column = -1;
    for (int i = 0; i < sqlite3_column_count(read); ++i) {
      const std::string name = sqlite3_column_name(read, i);
      if (name == "EMPLOYEEID") employee_column = i;
      if (name == "BUSINESSDOCUMENTCONTENTS") contents_column = i;
    }
    const std::string employee =
        reinterpret_cast<const char*>(sqlite3_column_text(read, employee_column));
    contents.assign(reinterpret_cast<const char*>(sqlite3_column_text(read, contents_column)),
                    sqlite3_column_bytes(read, contents_column));
    sqlite3_reset(read);
    Bind(component, 1, employee);
    Check(db, sqlite3_step(component), "component");
    sqlite3_reset(component);
    Bind(attempt, 1, "2026-12-08 14:05:08");
    sqlite3_bind_int64(attempt, 2, key);
    Check(db, sqlite3_step(attempt), "attempt");
    sqlite3_reset(attempt);
    Bind(update, 1, kResult);
    Bind(update, 2, "2026-12-08 14:05:09");
    sqlite3_bind_int64(update, 3, key);
    Check(db, sqlite3_step(update), "update");
    sqlite3_reset(update);
  }
  for (sqlite3_stmt* s : {read, component, attempt, update}) sqlite3_finalize(s);
  sqlite3_close(db);
}

struct Measured {
  double seconds = 0;
  long peak_rss_kb = 0;
  long rss_before_kb = 0;
};

// Runs `pass` on `file` in a child process; returns its time and peak RSS.
template <typename Pass>
Measured InChild(const fs::path& file, Pass pass) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) std::exit(1);
  const pid_t child = fork();
  if (child == 0) {
    close(pipe_ends[0]);
    Measured measured;
    measured.rss_before_kb = PeakRssKb();
    const auto start = Clock::now();
    pass(file);
    measured.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    measured.peak_rss_kb = PeakRssKb();
    if (write(pipe_ends[1], &measured, sizeof measured) != sizeof measured) _exit(1);
    _exit(0);
  }
  close(pipe_ends[1]);
  Measured measured;
  const bool read_all = read(pipe_ends[0], &measured, sizeof measured) == sizeof measured;
  close(pipe_ends[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (!read_all || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "broker pass benchmark: a pass failed\n");
    std::exit(1);
  }
  return measured;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--docs=", 7) == 0) g_docs = std::atoi(argv[i] + 7);
    else if (std::strncmp(argv[i], "--employees=", 12) == 0) g_employees = std::atoi(argv[i] + 12);
  }
  const fs::path folder =
      fs::temp_directory_path() / ("tqs-broker-bench-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const fs::path product = folder / "product" / "server.db";
  const fs::path raw = folder / "raw" / "server.db";
  fs::create_directories(product.parent_path());
  fs::create_directories(raw.parent_path());
  std::fprintf(stderr, "Preparing %d pending job sheets of %d employees ...\n", g_docs,
               g_employees);
  const double average = PrepareDatabase(product);
  fs::copy_file(product, raw);

  const Measured product_run = InChild(product, ProductPass);
  const Measured raw_run = InChild(raw, RawPass);
  const long finished = CountFinished(product);
  if (finished != g_docs || CountFinished(raw) != g_docs) {
    std::fprintf(stderr, "broker pass: %ld of %d rows finished\n", finished, g_docs);
    return 1;
  }
  std::printf(
      "broker pass (processBusinessdocuments)\t%.0f docs/s\t%.0f docs/s\t%.3f\t%d job "
      "sheets (avg %.1f KB) of %d employees, accept-all ERP, attempt and outcome committed per "
      "doc; peak RSS "
      "%.1f MB (raw %.1f MB, %.1f MB at the start)\n",
      g_docs / product_run.seconds, g_docs / raw_run.seconds, raw_run.seconds / product_run.seconds,
      g_docs, average / 1024, g_employees, product_run.peak_rss_kb / 1024.0,
      raw_run.peak_rss_kb / 1024.0, product_run.rss_before_kb / 1024.0);
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return 0;
}
