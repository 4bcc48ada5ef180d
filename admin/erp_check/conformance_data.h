// The conformance data set: what an ERP must hold while `TQSRemoteAdmin erp check` checks it.
// It is the demo data of the reference ERP (`TQSRemoteAdmin install --demo`, the job sheet
// documents of erp/demo-orders.xml), of which the check uses employee E001 with business
// component 100 and the service orders assigned to E001:
//   SO1001  open (Released); activity 10 with material line 1, labor line 2 and inspection
//           lines 1 (TEMP) and 2 (PRESSURE); activity 20 with material line 3, other line 4
//   SO1002  open (Planned); activity 10 with labor line 1
//   SO1003  Cancelled
// and the task TRAV for general hours. SO9999 must be unknown to the ERP. The employee must
// hold no other open service order that the scenarios would not expect; other employees'
// orders do not matter.
//
// Compile-time constants only; safe to use from any thread.
#ifndef TQS_ADMIN_ERP_CHECK_CONFORMANCE_DATA_H_
#define TQS_ADMIN_ERP_CHECK_CONFORMANCE_DATA_H_

#include <string_view>

namespace tqs::admin::erp_check::data {

inline constexpr std::string_view kLogin = "erpcheck";
inline constexpr std::string_view kEmployee = "E001";
inline constexpr std::string_view kBusComponent = "100";

inline constexpr std::string_view kOpenOrder = "SO1001";
inline constexpr std::string_view kOtherOpenOrder = "SO1002";
inline constexpr std::string_view kCancelledOrder = "SO1003";
inline constexpr std::string_view kUnknownOrder = "SO9999";

// The activity of kOpenOrder that the laptop lacks in the addition scenario.
inline constexpr std::string_view kAddedActivity = "20";

}  // namespace tqs::admin::erp_check::data

#endif  // TQS_ADMIN_ERP_CHECK_CONFORMANCE_DATA_H_
