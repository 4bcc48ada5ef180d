#include "admin/operator_identity.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace tqs::admin {

std::string OperatingSystemUser() {
  if (const char* sudo_user = std::getenv("SUDO_USER"); sudo_user != nullptr && *sudo_user) {
    return sudo_user;
  }
  if (const passwd* entry = ::getpwuid(::geteuid()); entry != nullptr && entry->pw_name) {
    return entry->pw_name;
  }
  return "uid " + std::to_string(::geteuid());
}

}  // namespace tqs::admin
