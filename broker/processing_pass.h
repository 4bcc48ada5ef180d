// ProcessingPass is one processing pass of the broker (processBusinessdocuments): it walks the
// CLIENTSERVERINTERACTION rows waiting for processing (status 5) in EMPLOYEEID order, checks that
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
// ends without reading or changing a row. A connection kept from an earlier pass that fails
// while the lock is tried is replaced by a new one once, so a manual session outlives a lost
// connection.
//
// Grouping: after an employee without business component, the further rows of that employee
// are skipped without a message; for an employee with one, the business component is looked
// up again for every row. An error the pass does not expect (reading or moving in the pending
// set) ends it at once and silently: no message, no log entry, no closing banner.
//
// Runs on the window's thread; not thread-safe.
#ifndef TQS_BROKER_PROCESSING_PASS_H_
#define TQS_BROKER_PROCESSING_PASS_H_

#include <memory>
#include <string>
#include <string_view>

#include "broker/broker_window.h"
#include "broker/business_document_processor.h"
#include "broker/error_log.h"
#include "common/pass_lock.h"
#include "common/conversions.h"
#include "common/date_time.h"

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
  // Loads the current row's document and hands it to its processor.
  void DispatchCurrentRow();
  // The status line and log entry of an employee without business component.
  void ReportInvalidBusComponent();

  frmTQSRemoteBroker& window_;
  const ErrorLog& error_log_;
  const DocumentProcessors processors_;
  const Clock& clock_;
  const RegionalSettings settings_;
};

}  // namespace tqs::broker

#endif  // TQS_BROKER_PROCESSING_PASS_H_
