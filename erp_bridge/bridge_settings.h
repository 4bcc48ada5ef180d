// The settings a component registry entry gives the HTTP bridge, one entry per component
// prefix it serves:
//   Url             the adapter's address, http:// or https:// (required)
//   Authorization   the value of the Authorization header of every request (optional; the
//                   registry file then holds a secret and must be private)
//   CaFile          a file of CA certificates to verify the adapter's TLS certificate with
//                   (optional; the system's store otherwise). Verification is always on.
//   ConnectTimeout  seconds to establish a connection (default 10)
//   Timeout         seconds for one whole request, answer included (default 60)
//   Retries         how many times a request is sent again after a transport failure
//                   (default 2, at most 10)
//   RetryDelay      seconds before the first repetition, doubled before each further one
//                   (default 0.5)
// Seconds may have a decimal part ("0.25").
//
// An immutable value; safe to share between threads.
#ifndef TQS_ERP_BRIDGE_BRIDGE_SETTINGS_H_
#define TQS_ERP_BRIDGE_BRIDGE_SETTINGS_H_

#include <chrono>
#include <optional>
#include <string>

#include "platform/automation/component_registry.h"

namespace tqs::erp_bridge {

struct BridgeSettings {
  std::string url;
  std::optional<std::string> authorization;
  std::optional<std::string> ca_file;
  std::chrono::milliseconds connect_timeout{10'000};
  std::chrono::milliseconds timeout{60'000};
  int retries = 2;
  std::chrono::milliseconds retry_delay{500};

  // Reads a registry entry's settings; a missing Url or a malformed value raises tqs::Error
  // (the generic failure) naming the setting.
  static BridgeSettings Read(const automation::ComponentSettings& settings);
};

// `url` without a user name or password it may carry, for error texts.
std::string PrintableUrl(std::string_view url);

}  // namespace tqs::erp_bridge

#endif  // TQS_ERP_BRIDGE_BRIDGE_SETTINGS_H_
