// The broker's connection to the server database: OpenDatabase opens the window's
// m_oConnection with its connection string unless one is held already, and reports a failure
// in the status box and the error log instead of raising it, so its caller goes on (and fails
// at its next database call with that call's own error).
//
// Not thread-safe: runs on the window's thread.
#ifndef TQS_BROKER_SERVER_DATABASE_H_
#define TQS_BROKER_SERVER_DATABASE_H_

#include "broker/broker_window.h"
#include "broker/error_log.h"
#include "platform/db/connection.h"

namespace tqs::broker {

// Opens m_oConnection (empty user and password) when the window holds none; a held connection
// is reused unchanged, open or not. On failure: an error-log entry "Error <description> in
// OpenDatabase", then CR LF + description + " " + status text 2 + " " + status text 9 + CR LF
// appended to the status box, no connection held, and m_ePassRefusal kDatabaseUnreachable.
void OpenDatabase(frmTQSRemoteBroker& window, const ErrorLog& error_log);

// The connection the window holds. Raises tqs::Error 3709 when it holds none (as a record set
// opened without a connection does).
db::Connection& ServerConnection(const frmTQSRemoteBroker& window);

}  // namespace tqs::broker

#endif  // TQS_BROKER_SERVER_DATABASE_H_
