// A PendingRowHandler does a processing pass's work on the rows of a pending set: it walks the
// window's m_oInteractions from its current row to the end and, for each row, checks that the
// row's employee has a business component in USERDEFAULTS, loads the row's business document
// and hands it to the processor of its document type ("5" job sheets, "10" general hours, "15"
// service inspections). The single-worker pass runs it over all pending rows; each worker of a
// pass with several runs its own over the pending rows of one employee at a time.
//
// For each row: a row with no employee, type or document (NULL) is reported in the status box
// and the log and passed over; a row another pass finished since the set was opened is passed
// over silently; after an employee without business component (one status line, one log
// entry) the further rows of that employee are skipped without a message, while for an
// employee with one the business component is looked up again for every row; a document that
// is not well-formed or of any other type stays pending without a message; a row in doubt (its
// last attempt never finished) goes only to a processor whose ERP recognises a replay, the
// others are counted (in_doubt()).
//
// Works on one window's state with that window's processors; not thread-safe.
#ifndef TQS_BROKER_PENDING_ROW_HANDLER_H_
#define TQS_BROKER_PENDING_ROW_HANDLER_H_

#include <optional>
#include <string>
#include <string_view>

#include "broker/broker_window.h"
#include "broker/business_document_processor.h"
#include "broker/error_log.h"

namespace tqs::broker {

class PendingRowHandler {
 public:
  // Everything is borrowed and must outlive the handler.
  PendingRowHandler(frmTQSRemoteBroker& window, const ErrorLog& error_log,
                    DocumentProcessors processors);

  // Visits the rows of the window's m_oInteractions from the current one to the end, and the
  // window's m_oBusinessDocument receives each document. A row deleted since the set was opened
  // is passed over; any other error reading or moving in the set escapes.
  void VisitRows();

  // The business component of employee `i_sUserId` (USERDEFAULTS.BUSCOMPONENT where EMNO is the
  // id, placed as an SQL literal), or "" when the employee has no row. On an error: the
  // description and CR LF go to the status box, an entry "Error : ... in RetrieveBusComponent"
  // to the error log, and the result is "".
  std::string RetrieveBusComponent(std::string_view i_sUserId);

  // The documents in doubt left alone since the last ResetInDoubt.
  int in_doubt() const { return in_doubt_; }
  void ResetInDoubt() { in_doubt_ = 0; }

 private:
  // The current row: passed over, reported, or handed to its processor. `previous_employee` is
  // the employee whose further rows are skipped (no business component), or "".
  void VisitCurrentRow(std::string& previous_employee);
  // The first of the columns the pass needs that the current row holds as NULL, if any.
  std::optional<std::string> UnreadableColumn() const;
  void ReportUnreadableRow(const std::string& column);
  // Whether the current row, as read now, still waits for processing.
  bool StillPending() const;
  // The processor of a document type, or nullptr for a type the pass leaves alone.
  BusinessDocumentProcessor* ProcessorOf(const std::string& type) const;
  // Loads the current row's document and hands it to its processor.
  void DispatchCurrentRow();
  // The status line and log entry of an employee without business component.
  void ReportInvalidBusComponent();

  frmTQSRemoteBroker& window_;
  const ErrorLog& error_log_;
  const DocumentProcessors processors_;

  int in_doubt_ = 0;
};

}  // namespace tqs::broker

#endif  // TQS_BROKER_PENDING_ROW_HANDLER_H_
