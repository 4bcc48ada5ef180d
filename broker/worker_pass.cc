#include "broker/worker_pass.h"

#include <algorithm>
#include <cstddef>
#include <exception>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "broker/broker_worker.h"
#include "broker/employee_claims.h"
#include "broker/server_database.h"
#include "common/erp/hours_accounting.h"
#include "common/erp/job_sheets.h"
#include "common/erp/service_inspections.h"
#include "platform/db/connection_string.h"
#include "platform/db/recordset.h"

namespace tqs::broker {

namespace {

// The employees with pending rows, the one with the oldest pending upload first.
constexpr std::string_view kPendingEmployeesQuery =
    "SELECT EMPLOYEEID, MIN(INTERACTIONKEY) AS FIRSTKEY FROM CLIENTSERVERINTERACTION "
    "WHERE INTERACTIONSTATUS=5 AND EMPLOYEEID IS NOT NULL GROUP BY EMPLOYEEID "
    "ORDER BY FIRSTKEY";

// The component libraries whose objects the processors create.
constexpr std::string_view kProcessorComponents[] = {
    erp::job_sheets::kPrefix, erp::hours_accounting::kPrefix, erp::service_inspections::kPrefix};

std::vector<std::string> PendingEmployees(const frmTQSRemoteBroker& window) {
  auto rs = db::Recordset::Open(kPendingEmployeesQuery, ServerConnection(window),
                                db::CursorType::kForwardOnly, db::LockType::kReadOnly);
  std::vector<std::string> employees;
  for (; !rs->IsEOF(); rs->MoveNext()) employees.push_back(rs->Field("EMPLOYEEID").AsText());
  rs->Close();
  return employees;
}

// What the workers of one pass share; every member is guarded by `mutex`.
struct Shared {
  std::mutex mutex;
  frmTQSRemoteBroker& window;  // its status box receives the workers' lines
  const std::vector<std::string> employees;
  std::size_t next = 0;  // the next employee to take
  int in_doubt = 0;
  bool left_document_in_doubt = false;
  std::optional<std::string> stopped_early;

  // The next employee to visit, or none when all are taken or a worker stopped early.
  std::optional<std::string> Next() {
    const std::lock_guard lock(mutex);
    if (stopped_early || next == employees.size()) return std::nullopt;
    return employees[next++];
  }

  void Show(const std::string& lines) {
    if (lines.empty()) return;
    const std::lock_guard lock(mutex);
    window.txtProcessStatus.Append(lines);
  }

  void Stop(const std::string& reason) {
    const std::lock_guard lock(mutex);
    if (!stopped_early) stopped_early = reason;
  }

  void Finish(const BrokerWorker& worker) {
    const std::lock_guard lock(mutex);
    in_doubt += worker.in_doubt();
    left_document_in_doubt = left_document_in_doubt || worker.left_document_in_doubt();
  }
};

// One worker's thread: claims and handles employees until none is left.
void Work(BrokerWorker& worker, InProcessClaims& process_claims, bool advisory, Shared& shared) {
  try {
    db::Connection& connection = worker.Connect();
    std::unique_ptr<EmployeeClaims> own_claims;
    if (advisory) own_claims = NewAdvisoryClaims(connection);
    EmployeeClaims& claims = advisory ? *own_claims : process_claims;
    while (const std::optional<std::string> employee = shared.Next()) {
      const std::unique_ptr<EmployeeClaim> claim = claims.TryClaim(*employee);
      // Held by another broker's worker, which handles the employee's rows.
      if (!claim) continue;
      try {
        worker.ProcessEmployee(*employee);
      } catch (...) {
        shared.Show(worker.TakeStatusLines());
        throw;
      }
      shared.Show(worker.TakeStatusLines());
    }
  } catch (const std::exception& error) {
    shared.Stop(error.what());
  }
  shared.Finish(worker);
}

}  // namespace

WorkerPass::WorkerPass(const ErrorLog& error_log, const automation::ComponentRegistry& components,
                       const Clock& clock, RegionalSettings settings)
    : error_log_(error_log),
      components_(components),
      clock_(clock),
      settings_(std::move(settings)) {}

std::optional<std::string> WorkerPass::SingleThreadedComponent() const {
  for (const std::string_view prefix : kProcessorComponents) {
    if (components_.RunsOnOneThread(prefix)) return std::string(prefix);
  }
  return std::nullopt;
}

WorkerPass::Outcome WorkerPass::Run(frmTQSRemoteBroker& window, int workers) const {
  Shared shared{.window = window, .employees = PendingEmployees(window)};
  const bool advisory = db::ConnectionString::Parse(window.m_sConnectionString).provider() ==
                        db::ProviderKind::kPostgreSql;
  InProcessClaims process_claims;
  const std::size_t count =
      std::min(static_cast<std::size_t>(std::max(workers, 1)), shared.employees.size());
  std::vector<std::unique_ptr<BrokerWorker>> pool;
  for (std::size_t i = 0; i < count; ++i) {
    pool.push_back(
        std::make_unique<BrokerWorker>(window, error_log_, components_, clock_, settings_));
  }
  {
    std::vector<std::jthread> threads;
    for (const auto& worker : pool) {
      threads.emplace_back(
          [&, &worker = *worker] { Work(worker, process_claims, advisory, shared); });
    }
  }  // joined
  if (shared.left_document_in_doubt) window.m_bPassIncomplete = true;
  return {shared.in_doubt, shared.stopped_early};
}

}  // namespace tqs::broker
