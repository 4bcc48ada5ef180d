#include "server/download/get_job_sheets.h"

#include <exception>
#include <string>

#include "common/error.h"
#include "server/download/job_sheets_input.h"
#include "server/download/job_sheets_retrieval.h"
#include "server/jobsheet.h"
#include "server/text_parameters.h"
#include "server/thread_connection.h"
#include "server/user_defaults.h"

namespace tqs::server {

namespace download {

namespace {

// Drops the thread's connection when the call ends, whichever way it ends.
class ConnectionRelease {
 public:
  explicit ConnectionRelease(ThreadConnection& thread) : thread_(thread) {}
  ~ConnectionRelease() { thread_.DropConnection(); }
  ConnectionRelease(const ConnectionRelease&) = delete;
  ConnectionRelease& operator=(const ConnectionRelease&) = delete;

 private:
  ThreadConnection& thread_;
};

}  // namespace

bool GetJobSheets(const automation::ComponentRegistry& components, const std::string& i_sLogin,
                  const std::string& i_sJobSheets, const std::string& i_sDSNString,
                  automation::Variant& o_vJobSheets, automation::Variant& o_vErrorDetails,
                  const WarningSink& warnings) {
  ThreadConnection& thread = ThreadConnection::ForCurrentThread();
  thread.set_connection_string(i_sDSNString);
  std::string open_error;
  const bool opened = thread.OpenConnection(open_error);
  o_vErrorDetails = automation::Variant(std::move(open_error));
  if (!opened) return false;

  const ConnectionRelease release(thread);
  try {
    const UserDefaults user = LookUpLogin(thread.connection(), i_sLogin);
    automation::ObjectPtr input;
    std::string input_error;
    if (!BuildJobSheetsInput(components, i_sJobSheets, input, input_error)) {
      o_vErrorDetails = automation::Variant(std::move(input_error));
      return false;
    }
    return RetrieveJobSheets(components, user.employee, user.bus_component, input, o_vJobSheets,
                             o_vErrorDetails, warnings);
  } catch (const Error& error) {
    o_vErrorDetails = automation::Variant(error.description());
  } catch (const std::exception& error) {
    o_vErrorDetails = automation::Variant(std::string(error.what()));
  }
  return false;
}

}  // namespace download

bool JobSheet::getJobSheets(const std::string& i_sLogin, const std::string& i_sJobSheets,
                            const std::string& i_sDSNString, automation::Variant& o_vJobSheets,
                            automation::Variant& o_vErrorDetails) {
  std::string refused;
  if (!TextParametersAccepted(
          {{"i_sLogin", i_sLogin}, {"i_sJobSheets", i_sJobSheets}, {"i_sDSNString", i_sDSNString}},
          refused)) {
    o_vErrorDetails = automation::Variant(std::move(refused));
    return false;
  }
  return download::GetJobSheets(components_, i_sLogin, i_sJobSheets, i_sDSNString, o_vJobSheets,
                                o_vErrorDetails, warnings_);
}

}  // namespace tqs::server
