// The ERP service inspection component: the programmatic identifiers of its classes and the
// names of the methods the broker calls to hand one uploaded service inspection (a header and
// its measurements) to ServiceInspectionsManager.ProcessServiceInspection and to read the
// outcome. Any implementation registered for kPrefix serves.
//
// Every text value crosses the contract as plain text, both ways: no markup, no entities, no
// escaping. The programs escape what they write into XML themselves (common/text.h).
//
// Compile-time constants only; safe to use from any thread.
#ifndef TQS_COMMON_ERP_SERVICE_INSPECTIONS_H_
#define TQS_COMMON_ERP_SERVICE_INSPECTIONS_H_

#include <string_view>

#include "common/erp/contract.h"

namespace tqs::erp::service_inspections {

inline constexpr std::string_view kPrefix = "Q72dVXRsvordServiceInspections.";

namespace prog_id {
inline constexpr std::string_view kOErrorProcessStructForProcessSI =
    "Q72dVXRsvordServiceInspections.oErrorProcessStructForProcessSI";
inline constexpr std::string_view kIServiceInspectionForProcess =
    "Q72dVXRsvordServiceInspections.iServiceInspectionForProcess";
inline constexpr std::string_view kServiceInspection =
    "Q72dVXRsvordServiceInspections.serviceInspection";
inline constexpr std::string_view kServiceInspectionsManager =
    "Q72dVXRsvordServiceInspections.ServiceInspectionsManager";
inline constexpr std::string_view kInspectionHeaderDetails =
    "Q72dVXRsvordServiceInspections.InspectionHeaderDetails";
inline constexpr std::string_view kInspections = "Q72dVXRsvordServiceInspections.Inspections";
inline constexpr std::string_view kInspection = "Q72dVXRsvordServiceInspections.Inspection";
}  // namespace prog_id

namespace method {
// InspectionHeaderDetails (each with one text).
inline constexpr std::string_view kSetServiceInspectionID = "setServiceInspectionID";
inline constexpr std::string_view kSetConfiguration = "setConfiguration";
inline constexpr std::string_view kSetObject = "setObject";
inline constexpr std::string_view kSetObjectNumber = "setObjectNumber";
inline constexpr std::string_view kSetSerialNumber = "setSerialNumber";
inline constexpr std::string_view kSetReferenceActivity = "setReferenceActivity";
// Inspection (each with one text).
inline constexpr std::string_view kSetSIMeasurementType = "setSIMeasurementType";
inline constexpr std::string_view kSetMeasurementSequence = "setMeasurementSequence";
inline constexpr std::string_view kSetRegistrationTime = "setRegistrationTime";
inline constexpr std::string_view kSetMeasuredIndependentValue = "setMeasuredIndependentValue";
inline constexpr std::string_view kSetMeasuredDependentValue = "setMeasuredDependentValue";
// serviceInspection, Inspections, iServiceInspectionForProcess (objects by reference).
inline constexpr std::string_view kSetInspectionHeaderDetails = "setInspectionHeaderDetails";
inline constexpr std::string_view kAddInspection = "addInspection";
inline constexpr std::string_view kSetInspections = "setInspections";
inline constexpr std::string_view kSetServiceInspection = "setServiceInspection";
// ServiceInspectionsManager: Initialize(business component), then
// ProcessServiceInspection(iServiceInspectionForProcess, 0, error structure, 0), all by
// reference, returning the outcome.
inline constexpr std::string_view kInitialize = "Initialize";
inline constexpr std::string_view kProcessServiceInspection = "ProcessServiceInspection";
// setIdempotencyKey(key) on the manager before ProcessServiceInspection: the inspection is
// stored at most once per key (see contract.h).
inline constexpr std::string_view kSetIdempotencyKey = erp::kSetIdempotencyKey;
// The outcome and its error structure.
inline constexpr std::string_view kGetOErrorProcessStructForProcessSI =
    "getOErrorProcessStructForProcessSI";
inline constexpr std::string_view kGetOReturnValue = "getOReturnValue";
inline constexpr std::string_view kGetSI = "getSI";
inline constexpr std::string_view kGetServiceInspectionLineAttribute =
    "getServiceInspectionLineAttribute";
inline constexpr std::string_view kGetResult = "getResult";
inline constexpr std::string_view kGetErrorDescription = "getErrorDescription";
}  // namespace method

}  // namespace tqs::erp::service_inspections

#endif  // TQS_COMMON_ERP_SERVICE_INSPECTIONS_H_
