// The ERP retrieval of a download: asks the ERP job sheet manager, portion after portion, which
// job sheets are new to the laptop, which held ones have additions and which held orders were
// cancelled, and assembles the job sheets response document from the job sheet documents and
// cancellation elements (job_sheet_document.h):
//
//   <jobsheets><new>...</new><append>...</append><cancellations>...</cancellations></jobsheets>
//
// each section present only when its text is not blank, entries in the ERP's order, portion
// after portion. When the ERP reports errors the result is the ERP error document instead:
// "<errors>" then "<error>" + each error's text escaped + "</error>", "</errors>".
//
// A download the ERP has not completed within 10,000 portions is stopped and fails with an
// error saying so (the manager is not closed).
//
// Where the ERP's values hold characters XML cannot carry, the document holds U+FFFD in their
// place and one warning per retrieval says how many.
//
// Stateless; safe to call from several threads with distinct inputs.
#ifndef TQS_SERVER_DOWNLOAD_JOB_SHEETS_RETRIEVAL_H_
#define TQS_SERVER_DOWNLOAD_JOB_SHEETS_RETRIEVAL_H_

#include <string>

#include "platform/automation/component_registry.h"
#include "platform/automation/variant.h"
#include "server/warning_sink.h"

namespace tqs::server::download {

// Runs the retrieval for `employee` with the ERP business component `bus_component` and the
// download input (job_sheets_input.h). Results:
//   true:  o_vJobSheets = the job sheets response; o_vErrorDetails untouched.
//   false: o_vErrorDetails = the ERP error document, a writer's error text or the description
//          of any other error; o_vJobSheets = "" (left unchanged when an ERP object could not
//          be created). Nothing of earlier portions is returned.
// The manager is closed only after a complete retrieval.
bool RetrieveJobSheets(const automation::ComponentRegistry& components, const std::string& employee,
                       const std::string& bus_component, const automation::ObjectPtr& input,
                       automation::Variant& o_vJobSheets, automation::Variant& o_vErrorDetails,
                       const WarningSink& warnings);

}  // namespace tqs::server::download

#endif  // TQS_SERVER_DOWNLOAD_JOB_SHEETS_RETRIEVAL_H_
