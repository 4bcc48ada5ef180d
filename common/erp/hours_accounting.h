// The ERP hours accounting component: the programmatic identifiers of its classes and the
// names of the methods the broker calls to book one general hours line through
// ServiceOrderHoursAccountingManager.Create and to read the outcome (the error document or the
// stored line's number). Any implementation registered for kPrefix serves.
//
// Every text value crosses the contract as plain text, both ways: no markup, no entities, no
// escaping. The programs escape what they write into XML themselves (common/text.h).
//
// Compile-time constants only; safe to use from any thread.
#ifndef TQS_COMMON_ERP_HOURS_ACCOUNTING_H_
#define TQS_COMMON_ERP_HOURS_ACCOUNTING_H_

#include <string_view>

#include "common/erp/contract.h"

namespace tqs::erp::hours_accounting {

inline constexpr std::string_view kPrefix = "TQSRCServiceOrderHoursAccounting.";

namespace prog_id {
inline constexpr std::string_view kServiceOrderHoursAccountingManager =
    "TQSRCServiceOrderHoursAccounting.ServiceOrderHoursAccountingManager";
inline constexpr std::string_view kServiceOrderHoursAccounting =
    "TQSRCServiceOrderHoursAccounting.ServiceOrderHoursAccounting";
inline constexpr std::string_view kRecordset = "TQSRCServiceOrderHoursAccounting.Recordset";
}  // namespace prog_id

namespace method {
// ServiceOrderHoursAccounting, one hours line.
inline constexpr std::string_view kSetEmployee = "setEmployee";
inline constexpr std::string_view kSetTask = "setTask";
inline constexpr std::string_view kSetCostComponent = "setCostComponent";
inline constexpr std::string_view kSetHourlyLaborType = "setHourlyLaborType";
inline constexpr std::string_view kSetRegistrationDate = "setRegistrationDate";  // ddmmyyyy
inline constexpr std::string_view kSetSpentTime = "setSpentTime";                // a double
inline constexpr std::string_view kGetLineNumber = "getLineNumber";
// Recordset, the lines handed to the manager and the lines it stored.
inline constexpr std::string_view kAddServiceOrderHoursAccounting =
    "addServiceOrderHoursAccounting";
inline constexpr std::string_view kGetServiceOrderHoursAccountingAt =
    "getServiceOrderHoursAccountingAt";  // 16-bit index
// ServiceOrderHoursAccountingManager: Initialize(business component), Create(record set by
// reference) returning the outcome.
inline constexpr std::string_view kInitialize = "Initialize";
inline constexpr std::string_view kCreate = "Create";
// setIdempotencyKey(key) on the manager before Create: Create books the record set at most
// once per key (see contract.h).
inline constexpr std::string_view kSetIdempotencyKey = erp::kSetIdempotencyKey;
// The outcome and its error document.
inline constexpr std::string_view kGetKorvoErrorDoc = "getKorvoErrorDoc";
inline constexpr std::string_view kGetRecordSet = "getRecordSet";
inline constexpr std::string_view kSizeKorvoErrorStructure = "sizeKorvoErrorStructure";
inline constexpr std::string_view kGetKorvoErrorStructureAt =
    "getKorvoErrorStructureAt";  // 16-bit index
inline constexpr std::string_view kGetErrorDescription = "getErrorDescription";
}  // namespace method

}  // namespace tqs::erp::hours_accounting

#endif  // TQS_COMMON_ERP_HOURS_ACCOUNTING_H_
