// JobSheet is the class that the web tier calls while a laptop synchronises: it hands out the
// job sheets that the ERP computes (getJobSheets), takes in the outbox produced offline
// (StoreOutboxContent), returns the results that the broker stored (GetProcessResult), passes
// on assignment actions and reconciles the last used numbers. Parameter names are the ones the
// web tier knows: i_ in, o_ out (in/out), a type letter s text, v variant, o object.
//
// Every method that touches the server database first stores its i_sDSNString as the calling
// thread's connection string, opens the thread's connection and releases it before returning:
// one JobSheet may be created per request and called from any thread, and calls on different
// threads never share a connection. Errors are reported as each method describes; a method
// that "raises" throws tqs::Error.
//
// Text parameters (XML texts included) must be well-formed UTF-8 without NUL characters: a
// method refuses any other before it touches the database or the ERP, with error 5 (invalid
// procedure call or argument) naming the parameter. Methods that answer failures through
// o_vErrorDetails return false with that description there; the others raise it.
#ifndef TQS_SERVER_JOBSHEET_H_
#define TQS_SERVER_JOBSHEET_H_

#include <pugixml.hpp>
#include <string>

#include "common/export.h"
#include "platform/automation/component_registry.h"
#include "platform/automation/variant.h"
#include "server/warning_sink.h"

namespace tqs::server {

class TQS_EXPORT JobSheet {
 public:
  // `components` serves the ERP components by programmatic identifier; it must outlive the
  // JobSheet. `warnings` receives what a call repaired without failing (server/warning_sink.h);
  // without one, warnings go to standard error.
  explicit JobSheet(const automation::ComponentRegistry& components);
  JobSheet(const automation::ComponentRegistry& components, WarningSink warnings);
  JobSheet(const JobSheet&) = delete;
  JobSheet& operator=(const JobSheet&) = delete;

  // Job sheet download: the job sheets the laptop must receive for the login's engineer.
  // True with the job sheets response in o_vJobSheets and "" in o_vErrorDetails; false with
  // the reason (or the ERP error document) in o_vErrorDetails. ERP values that XML cannot
  // carry are written as U+FFFD, with one warning per call.
  bool getJobSheets(const std::string& i_sLogin, const std::string& i_sJobSheets,
                    const std::string& i_sDSNString, automation::Variant& o_vJobSheets,
                    automation::Variant& o_vErrorDetails);

  // Outbox upload: stores every job sheet, general hours line and service inspection of the
  // business-documents envelope as a pending interaction and sets o_vResult to the upload
  // feedback document. Raises only on an unexpected error (o_vResult then stays unchanged).
  bool StoreOutboxContent(const std::string& i_sOutboxContent, const std::string& i_sEmployee,
                          const std::string& i_sDSNString, automation::Variant& o_vResult);

  // Result retrieval: the stored results of the awaited interactions that the broker has
  // finished, grouped by document type. Raises only on an unexpected error.
  bool GetProcessResult(const std::string& i_sResultFor, const std::string& i_sEmployee,
                        const std::string& i_sDSNString, automation::Variant& o_vResult);

  // Assignment actions of the login's engineer to the ERP: looks up the employee and business
  // component and calls sendAssignments. False with the reason in o_vErrorDetails when the
  // database, the login or the ERP update fails. o_vFeedBack is never written.
  bool updateAssignments(const std::string& i_sLogin, const pugi::xml_document& i_oAssignments,
                         const std::string& i_sDSNString, automation::Variant& o_vFeedBack,
                         automation::Variant& o_vErrorDetails);

  // Assignment actions to the ERP for an employee and business component. True unless the
  // ERP update answers -1 (o_vErrorDetails untouched) or an error occurs (its description in
  // o_vErrorDetails).
  bool sendAssignments(const std::string& i_sEmployee, const std::string& i_sBusComponent,
                       const pugi::xml_document& i_oAssignments, automation::Variant& o_vFeedBack,
                       automation::Variant& o_vErrorDetails);

  // Adds one ERP service order per child of the document's root, with one activity per child
  // of that, to the ERP input object. Raises on a missing attribute or a failing ERP call.
  automation::Variant prepareAssignments(const pugi::xml_document& i_oAssignments,
                                         automation::ObjectPtr& i_oInputAssignement);

  // A date object holding the UTC stamp "yyyymmddXhhnnss" in the server's local time (years
  // from 1900, months from 0); all fields 0 for a blank text. Raises tqs::Error 13 on a
  // non-numeric field.
  automation::ObjectPtr returnDate(const std::string& i_sDate);

  // Raises the laptop's last used order, quotation and invoice numbers in io_sXML (a recordids
  // document) and the login's USERDEFAULTS row to the larger of each pair. Empty on success;
  // false when the database cannot be opened (io_sXML unchanged). Raises on anything else.
  // Calls for one login at the same moment never lower a counter: a write refused because the
  // row changed since it was read is redone on the row as it is then (up to 20 times), and
  // io_sXML shows the numbers finally stored.
  automation::Variant UpdateLastUsedNumbersInServer(const std::string& i_sLogin,
                                                    const std::string& i_sDSNString,
                                                    automation::Variant& io_sXML);

  // The registry that serves the ERP components.
  const automation::ComponentRegistry& components() const { return components_; }

 private:
  const automation::ComponentRegistry& components_;
  const WarningSink warnings_;
};

}  // namespace tqs::server

#endif  // TQS_SERVER_JOBSHEET_H_
