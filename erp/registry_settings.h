// The settings a component registry entry gives the reference ERP:
//   Store        the path of the ERP store file (required; a relative path is taken from the
//                working folder of the program)
//   PortionSize  the most job sheets getJobSheets hands out per portion (default 20)
//
// Compile-time constants; safe to use from any thread.
#ifndef TQS_ERP_REGISTRY_SETTINGS_H_
#define TQS_ERP_REGISTRY_SETTINGS_H_

#include <cstdint>
#include <string_view>

namespace tqs::erp {

inline constexpr std::string_view kStoreSetting = "Store";
inline constexpr std::string_view kPortionSizeSetting = "PortionSize";
inline constexpr std::int32_t kDefaultPortionSize = 20;

}  // namespace tqs::erp

#endif  // TQS_ERP_REGISTRY_SETTINGS_H_
