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
#ifndef TQS_SERVER_JOBSHEET_H_
#define TQS_SERVER_JOBSHEET_H_

#include <string>

#include "common/export.h"
#include "platform/automation/component_registry.h"
#include "platform/automation/variant.h"

namespace tqs::server {

class TQS_EXPORT JobSheet {
 public:
  // `components` serves the ERP components by programmatic identifier; it must outlive the
  // JobSheet.
  explicit JobSheet(const automation::ComponentRegistry& components);
  JobSheet(const JobSheet&) = delete;
  JobSheet& operator=(const JobSheet&) = delete;

  // Job sheet download: the job sheets the laptop must receive for the login's engineer.
  // True with the job sheets response in o_vJobSheets and "" in o_vErrorDetails; false with
  // the reason (or the ERP error document) in o_vErrorDetails.
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

 private:
  const automation::ComponentRegistry& components_;
};

}  // namespace tqs::server

#endif  // TQS_SERVER_JOBSHEET_H_
