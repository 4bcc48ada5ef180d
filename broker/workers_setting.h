// The broker's Workers setting: how many documents a pass hands to the ERP at once, each
// employee's documents still one after the other in upload order. It is the key Workers of the
// section BROKER, read through the configuration chain (normally in
// web/config/VarnexConfiguration.xml, beside the host's SERVERHOST section):
//   <BROKER><add key="Workers" value="8"/></BROKER>
// Without the key the broker runs one worker, the pass as it always was.
//
// Stateless; thread-safe.
#ifndef TQS_BROKER_WORKERS_SETTING_H_
#define TQS_BROKER_WORKERS_SETTING_H_

#include "platform/config/configuration.h"

namespace tqs::broker {

inline constexpr const char* kBrokerSection = "BROKER";
inline constexpr const char* kWorkersKey = "Workers";
inline constexpr int kMinWorkers = 1;
inline constexpr int kMaxWorkers = 64;

// BROKER/Workers of `configuration`, 1 when the key is missing. Raises tqs::Error naming the
// setting and the allowed range when the value is not a whole number from 1 to 64.
int ReadWorkers(const config::Configuration& configuration);

}  // namespace tqs::broker

#endif  // TQS_BROKER_WORKERS_SETTING_H_
