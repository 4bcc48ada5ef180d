// The ERP conformance check behind `TQSRemoteAdmin erp check`: drives the ERP components of a
// registry through recorded scenarios with the programs' own code (the server's download,
// upload and assignment calls, the broker's processing pass) in a throw-away installation
// (check_installation.h), against the conformance data set (conformance_data.h), and says per
// scenario whether the ERP answered as the programs need.
//
// Download scenarios only read. The others hand documents to the ERP's booking methods (two job
// sheets that book lines, one job sheet for an unknown order, one general hours line, one
// service inspection, one assignment action, and replays of them under their first keys); they
// run only when bookings are allowed and are reported as skipped otherwise.
//
// Not thread-safe; one check at a time.
#ifndef TQS_ADMIN_ERP_CHECK_ERP_CHECK_H_
#define TQS_ADMIN_ERP_CHECK_ERP_CHECK_H_

#include <functional>
#include <string>
#include <vector>

#include "platform/automation/component_registry.h"

namespace tqs::admin::erp_check {

enum class Verdict { kPass, kFail, kSkip };

struct ScenarioOutcome {
  std::string scenario;
  Verdict verdict = Verdict::kPass;
  std::string reason;  // why it failed or was skipped; empty for a pass
};

struct CheckOptions {
  // Run the scenarios that book test documents into the ERP.
  bool allow_bookings = false;
};

// Runs every scenario in order and reports each outcome through `report` as it is known.
// Raises tqs::Error only when the throw-away installation cannot be laid out.
std::vector<ScenarioOutcome> RunErpCheck(const automation::ComponentRegistry& components,
                                         const CheckOptions& options,
                                         const std::function<void(const ScenarioOutcome&)>& report);

// "PASS <scenario>", "FAIL <scenario>: <reason>" or "SKIP <scenario>: <reason>".
std::string FormatOutcome(const ScenarioOutcome& outcome);

}  // namespace tqs::admin::erp_check

#endif  // TQS_ADMIN_ERP_CHECK_ERP_CHECK_H_
