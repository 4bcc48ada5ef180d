// The job sheet download of the JobSheet component (JobSheet::getJobSheets forwards here):
// looks up the login's employee number and ERP business component in USERDEFAULTS on the
// calling thread's connection, turns the request into the ERP input (job_sheets_input.h) and
// runs the ERP retrieval (job_sheets_retrieval.h).
//
// Uses the calling thread's connection (server/thread_connection.h) and drops it on every way
// out after opening it; calls on different threads never share state.
#ifndef TQS_SERVER_DOWNLOAD_GET_JOB_SHEETS_H_
#define TQS_SERVER_DOWNLOAD_GET_JOB_SHEETS_H_

#include <string>

#include "platform/automation/component_registry.h"
#include "platform/automation/variant.h"
#include "server/warning_sink.h"

namespace tqs::server::download {

// Never raises. Results:
//   true:  o_vJobSheets = the job sheets response, o_vErrorDetails = "".
//   false, o_vJobSheets unchanged: the database cannot be opened, the login look-up fails, or
//          the request cannot be turned into ERP input; o_vErrorDetails = the error text.
//   false, o_vJobSheets = "": the ERP reports errors (o_vErrorDetails = the ERP error
//          document), a job sheet document cannot be written, or another ERP failure
//          (o_vErrorDetails = the error text; o_vJobSheets stays unchanged when an ERP object
//          cannot be created).
// A response or ERP error document in which ERP values had to be repaired (U+FFFD in place of
// characters XML cannot carry) is reported once to `warnings`.
bool GetJobSheets(const automation::ComponentRegistry& components, const std::string& i_sLogin,
                  const std::string& i_sJobSheets, const std::string& i_sDSNString,
                  automation::Variant& o_vJobSheets, automation::Variant& o_vErrorDetails,
                  const WarningSink& warnings);

}  // namespace tqs::server::download

#endif  // TQS_SERVER_DOWNLOAD_GET_JOB_SHEETS_H_
