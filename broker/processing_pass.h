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
#include "common/conversions.h"
#include "common/date_time.h"
#include "common/pass_lock.h"

namespace tqs::broker {

class ProcessingPass {
 public:
  // Everything but the settings is borrowed and must outlive the pass.
  ProcessingPass(frmTQSRemoteBroker& window, const ErrorLog& error_log,
                 DocumentProcessors processors, const Clock& clock,
                 RegionalSettings settings = RegionalSettings::Current());

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
  std::unique_ptr<PassLock> TakePassLock();
  // The current row: passed over, reported, or handed to its processor. `previous_employee` is
  // the employee whose further rows are skipped (no business component), or "".
  void VisitCurrentRow(std::string& previous_employee);
  // PARAMETERS InstallationId; raises when the database has none.
  std::string ReadInstallationId();
  // The first of the columns the pass needs that the current row holds as NULL, if any.
  std::optional<std::string> UnreadableColumn() const;
  void ReportUnreadableRow(const std::string& column);
  // Whether the current row, as read now, still waits for processing.
  bool StillPending() const;
  // The processor of a document type, or nullptr for a type the pass leaves alone.
  BusinessDocumentProcessor* ProcessorOf(const std::string& type) const;
  // Loads the current row's document and hands it to its processor.
  void DispatchCurrentRow();
  // The message about the documents in doubt that this pass left alone.
  void ReportDocumentsInDoubt();
  // The status line and log entry of an employee without business component.
  void ReportInvalidBusComponent();

  frmTQSRemoteBroker& window_;
  const ErrorLog& error_log_;
  const DocumentProcessors processors_;
  const Clock& clock_;
  const RegionalSettings settings_;

  // The documents in doubt this pass left alone.
  int in_doubt_ = 0;
};

}  // namespace tqs::broker

#endif  // TQS_BROKER_PROCESSING_PASS_H_
