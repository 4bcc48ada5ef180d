// Who is acting, as the operator's commands record it in OPERATORACTIONS: the operating-system
// user that runs TQSRemoteAdmin. Thread-safe.
#ifndef TQS_ADMIN_OPERATOR_IDENTITY_H_
#define TQS_ADMIN_OPERATOR_IDENTITY_H_

#include <string>

namespace tqs::admin {

// The operating-system user acting: $SUDO_USER when set, else the effective user's name.
std::string OperatingSystemUser();

}  // namespace tqs::admin

#endif  // TQS_ADMIN_OPERATOR_IDENTITY_H_
