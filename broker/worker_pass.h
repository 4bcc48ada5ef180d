// WorkerPass runs the document handling of a processing pass on several worker threads
// (BROKER/Workers of 2 or more), so that several documents wait for the ERP at once. Each worker
// (broker/broker_worker.h) takes the next employee with pending rows, oldest pending upload
// first, claims it (broker/employee_claims.h), handles that employee's pending rows in upload
// order as the single-worker pass does, gives the claim back and takes the next. Each employee is
// visited at most once per pass: rows that stay pending (no business component, in doubt, not
// well-formed) wait for the next pass, and an employee another broker holds is left to it. The
// status lines of one employee reach the window's status box in one piece, so lines of two
// employees never interleave.
//
// The opening and closing banners, the pass lock and the report of the documents in doubt stay
// with the pass (broker/processing_pass.h).
//
// Run is called on the window's thread and starts and joins the worker threads itself; a
// WorkerPass runs one pass at a time.
#ifndef TQS_BROKER_WORKER_PASS_H_
#define TQS_BROKER_WORKER_PASS_H_

#include <optional>
#include <string>

#include "broker/broker_window.h"
#include "broker/error_log.h"
#include "common/conversions.h"
#include "common/date_time.h"
#include "platform/automation/component_registry.h"

namespace tqs::broker {

class WorkerPass {
 public:
  // What became of a pass's workers.
  struct Outcome {
    int in_doubt = 0;  // documents in doubt left alone, over all workers
    // The error that stopped a worker (the first one), after which no worker took a further
    // employee; none when every worker got through.
    std::optional<std::string> stopped_early;
  };

  // Everything but the settings is borrowed and must outlive the pass.
  WorkerPass(const ErrorLog& error_log, const automation::ComponentRegistry& components,
             const Clock& clock, RegionalSettings settings = RegionalSettings::Current());

  // An ERP component the processors use that its registry entry marks single-threaded, if any:
  // then the broker runs one worker.
  std::optional<std::string> SingleThreadedComponent() const;

  // Handles the rows with an employee that are pending now with `workers` threads (at most one
  // per employee). `window` holds the pass's connection and run state; its status box receives
  // the workers' lines, and m_bPassIncomplete is set when a worker left a document in doubt.
  Outcome Run(frmTQSRemoteBroker& window, int workers) const;

 private:
  const ErrorLog& error_log_;
  const automation::ComponentRegistry& components_;
  const Clock& clock_;
  const RegionalSettings settings_;
};

}  // namespace tqs::broker

#endif  // TQS_BROKER_WORKER_PASS_H_
