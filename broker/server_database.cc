#include "broker/server_database.h"

#include <exception>
#include <string>

#include "common/error.h"

namespace tqs::broker {

void OpenDatabase(frmTQSRemoteBroker& window, const ErrorLog& error_log) {
  try {
    if (!window.m_oConnection) {
      window.m_oConnection = db::Connection::Open(window.m_sConnectionString, "", "");
    }
  } catch (const std::exception& error) {
    error_log.WriteErrorLogEntry(window.m_sErrorLogFile, "OpenDatabase", ErrorPrefix::kError,
                                 error.what());
    const StatusTexts& texts = window.m_asStatusText;
    std::string line(kCrLf);
    line += error.what();
    line += ' ';
    line += texts[StatusSlot::kDatabaseOpenFailed];
    line += ' ';
    line += texts[StatusSlot::kDatabaseOpenHint];
    line += kCrLf;
    window.txtProcessStatus.Append(line);
    window.m_oConnection.reset();
    window.m_ePassRefusal = PassRefusal::kDatabaseUnreachable;
  }
}

db::Connection& ServerConnection(const frmTQSRemoteBroker& window) {
  if (!window.m_oConnection) {
    throw Error(error_number::kConnectionInvalid,
                "The connection cannot be used to perform this operation: the server database "
                "is not open");
  }
  return *window.m_oConnection;
}

}  // namespace tqs::broker
