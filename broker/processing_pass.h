// ProcessingPass is one processing pass of the broker (processBusinessdocuments): it walks the
// CLIENTSERVERINTERACTION rows waiting for processing (status 5) in EMPLOYEEID order, and in
// upload order (INTERACTIONKEY) within an employee, checks that
// each row's employee has a business component in USERDEFAULTS, loads the row's business
// document and hands it to the processor of its document type ("5" job sheets, "10" general
// hours, "15" service inspections). The pass itself changes no row: a row it skips (employee
// without business component, document that is not well-formed XML, any other type) stays
// pending. The status box shows an opening banner, one line per employee without business
// component and a closing banner.
//
// Two passes never run at once on one server database: a pass first takes the pass lock
// (common/pass_lock.h). When another pass holds it, or it cannot be tried, the reason goes to
// the status box and to the error log ("Error : ... in processBusinessdocuments") and the pass
// ends without reading or changing a row; the window's m_ePassRefusal says which of the two
// (another pass, or a database that cannot be opened) kept it from starting. A connection kept from
// an earlier pass that fails while the lock is tried is replaced by a new one once, so a manual
// session outlives a lost connection.
//
// With several workers (BROKER/Workers, broker/worker_pass.h) the pass keeps its banners, the
// refusal handling and the report of the documents in doubt, takes the pass lock shared with
// other such passes, and hands the rows that name an employee to the workers; it reports the
// rows without employee itself. When an ERP component the processors use is registered
// single-threaded, it runs one worker and says so once per run (status box and log).
//
// Grouping: after an employee without business component, the further rows of that employee
// are skipped without a message; for an employee with one, the business component is looked
// up again for every row.
//
// Rows the pass leaves alone: a row with no employee, type or document (NULL) is reported in
// the status box and the log and passed over; a row another pass finished since the set was
// opened is passed over silently; a row in doubt (its last attempt never finished, so the ERP
// may have booked it) is handed on only to a processor whose ERP recognises a replay, and the
// others are counted in one message at the end of the pass. A pass needs the server database's
// installation id (PARAMETERS InstallationId, added with the attempt columns by init-db).
//
// An error the pass does not expect (reading or moving in the pending set) ends it at once: the
// reason goes to the status box and to the log ("Error : The processing pass stopped early: ...
// in processBusinessdocuments"), no closing banner follows, and the window's m_bPassIncomplete
// makes the run end with a failure status.
//
// Runs on the window's thread; not thread-safe.
#ifndef TQS_BROKER_PROCESSING_PASS_H_
#define TQS_BROKER_PROCESSING_PASS_H_

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "broker/broker_window.h"
#include "broker/business_document_processor.h"
#include "broker/error_log.h"
#include "broker/pending_row_handler.h"
#include "broker/worker_pass.h"
#include "common/conversions.h"
#include "common/date_time.h"
#include "common/pass_lock.h"

namespace tqs::broker {

class ProcessingPass {
 public:
  // Everything but the settings is borrowed and must outlive the pass.
  // Without `worker_pass` every pass runs one worker whatever m_iWorkers says.
  ProcessingPass(frmTQSRemoteBroker& window, const ErrorLog& error_log,
                 DocumentProcessors processors, const Clock& clock,
                 RegionalSettings settings = RegionalSettings::Current(),
                 const WorkerPass* worker_pass = nullptr);

  // One pass over the rows pending now. Opens the database when the window holds no
  // connection; the connection and the pending set stay open after the pass (a set left by an
  // earlier pass is closed first). Never raises.
  void processBusinessdocuments();

  // The business component of employee `i_sUserId` (USERDEFAULTS.BUSCOMPONENT where EMNO is the
  // id, placed as an SQL literal), or "" when the employee has no row. On an error: the
  // description and CR LF go to the status box, an entry "Error : ... in RetrieveBusComponent"
  // to the error log, and the result is "".
  std::string RetrieveBusComponent(std::string_view i_sUserId);

 private:
  // The work of one pass; errors escape to processBusinessdocuments.
  void RunPass();
  // The pass lock, or nullptr after reporting why the pass cannot have it.
  std::unique_ptr<PassLock> TakePassLock(PassLock::Mode mode);
  // How many workers this pass runs: m_iWorkers, or 1 without a worker pass or when an ERP
  // component is single-threaded (noted for ReportOneWorkerOnly).
  int WorkersOfThisPass();
  // The note that the pass runs one worker although more were set, once per run.
  void ReportOneWorkerOnly();
  // PARAMETERS InstallationId; raises when the database has none.
  std::string ReadInstallationId();
  // The message about the `in_doubt` documents that this pass left alone.
  void ReportDocumentsInDoubt(int in_doubt);

  frmTQSRemoteBroker& window_;
  const ErrorLog& error_log_;
  const Clock& clock_;
  const RegionalSettings settings_;
  const WorkerPass* const worker_pass_;
  PendingRowHandler rows_;

  // The note of WorkersOfThisPass not shown yet, and whether it was shown in this run.
  std::string one_worker_note_;
  bool one_worker_reported_ = false;
};

}  // namespace tqs::broker

#endif  // TQS_BROKER_PROCESSING_PASS_H_
