// The ERP assignment component: the programmatic identifiers of its classes and the names of
// the methods the server component calls to pass an engineer's assignment actions (action
// taken, downloaded on, accepted on, per activity) to svbodll350002Manager. Any implementation
// registered for kPrefix serves.
//
// Every text value crosses the contract as plain text, both ways: no markup, no entities, no
// escaping. The programs escape what they write into XML themselves (common/text.h).
//
// Compile-time constants only; safe to use from any thread.
#ifndef TQS_COMMON_ERP_ASSIGNMENTS_H_
#define TQS_COMMON_ERP_ASSIGNMENTS_H_

#include <string_view>

namespace tqs::erp::assignments {

inline constexpr std::string_view kPrefix = "Q72dVXRsvordAssignments.";

namespace prog_id {
inline constexpr std::string_view kIAssignments = "Q72dVXRsvordAssignments.iassignments";
inline constexpr std::string_view kServiceOrderWithOutData =
    "Q72dVXRsvordAssignments.ServiceOrderWithOutData";
inline constexpr std::string_view kActivityWithOutData =
    "Q72dVXRsvordAssignments.ActivityWithOutData";
inline constexpr std::string_view kManager = "Q72dVXRsvordAssignments.svbodll350002Manager";
inline constexpr std::string_view kOAssignments = "Q72dVXRsvordAssignments.oassignments";
inline constexpr std::string_view kOEStruct = "Q72dVXRsvordAssignments.oEStruct";
}  // namespace prog_id

namespace method {
// iassignments.
inline constexpr std::string_view kAddServiceOrderWithOutData = "addServiceOrderWithOutData";
// ServiceOrderWithOutData.
inline constexpr std::string_view kSetServiceOrderID = "setServiceOrderID";
inline constexpr std::string_view kAddActivityWithOutData = "addActivityWithOutData";
// ActivityWithOutData.
inline constexpr std::string_view kSetActivityID = "setActivityID";
inline constexpr std::string_view kSetActionTaken = "setActionTaken";
inline constexpr std::string_view kSetDownloadedON = "setDownloadedON";
inline constexpr std::string_view kSetAcceptedON = "setAcceptedON";
// svbodll350002Manager: Initialize(business component), then
// svbodll350002updateassignments(employee, iassignments, oassignments, oEStruct, 0), returning
// a result object whose getOReturnValue is -1 on failure.
inline constexpr std::string_view kInitialize = "Initialize";
inline constexpr std::string_view kUpdateAssignments = "svbodll350002updateassignments";
inline constexpr std::string_view kGetOReturnValue = "getOReturnValue";
}  // namespace method

}  // namespace tqs::erp::assignments

#endif  // TQS_COMMON_ERP_ASSIGNMENTS_H_
