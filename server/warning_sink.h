// WarningSink is where the JobSheet component reports what it repaired without failing a call:
// an ERP value that XML cannot carry (a control character, bytes that are not UTF-8), written
// as U+FFFD into the document the laptop receives. The component keeps no log file of its own:
// a host hands it the sink of its own log; the default writes one line per warning to standard
// error, which the hosts' service manager keeps in its journal.
//
// A sink is called on the thread of the call that warns, and must be safe to call from several
// threads at once.
#ifndef TQS_SERVER_WARNING_SINK_H_
#define TQS_SERVER_WARNING_SINK_H_

#include <functional>
#include <string_view>

namespace tqs::server {

using WarningSink = std::function<void(std::string_view warning)>;

// "TQSRemoteServer: warning: <warning>" and a line feed on standard error, in one write.
WarningSink StandardErrorWarnings();

}  // namespace tqs::server

#endif  // TQS_SERVER_WARNING_SINK_H_
