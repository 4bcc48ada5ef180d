// Tells the service manager how the HTTP host is doing when it runs as a systemd service of
// Type=notify: "READY=1" once it accepts connections, "STOPPING=1" when a stop begins. The
// messages go to the socket that NOTIFY_SOCKET names; without it (started by hand, by a test,
// by another supervisor) every call does nothing. Failures to notify are ignored: the service
// manager then reports the start as failed, the host itself goes on.
//
// Thread-safe.
#ifndef TQS_SERVER_HOST_SERVICE_NOTIFICATION_H_
#define TQS_SERVER_HOST_SERVICE_NOTIFICATION_H_

#include <string_view>

namespace tqs::server::host {

// "READY=1" with `status` as the service's status line (shown by systemctl status).
void NotifyReady(std::string_view status);

// "STOPPING=1": the host takes no new connections and finishes the requests in progress.
void NotifyStopping();

}  // namespace tqs::server::host

#endif  // TQS_SERVER_HOST_SERVICE_NOTIFICATION_H_
