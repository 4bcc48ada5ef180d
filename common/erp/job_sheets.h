// The ERP job sheet component: the programmatic identifiers of its classes and the names of the
// methods the programs call on them. The broker creates the upload classes and feeds an
// uploaded job sheet to JobSheetsManager.ProcessJobSheet; the server component builds the
// download input, calls JobSheetsManager.getJobSheets and reads the service order data objects
// it returns to write job sheet documents. Any implementation registered for the prefix
// kPrefix serves both, so these spellings are the whole contract: a replacement component
// accepts these classes and methods with the argument orders its callers document.
//
// Every text value crosses the contract as plain text, both ways: no markup, no entities, no
// escaping. The programs escape what they write into XML themselves (common/text.h): a
// service order's values, its head attributes and the ERP's error texts included.
//
// Compile-time constants only; safe to use from any thread.
#ifndef TQS_COMMON_ERP_JOB_SHEETS_H_
#define TQS_COMMON_ERP_JOB_SHEETS_H_

#include <string_view>

#include "common/erp/contract.h"

namespace tqs::erp::job_sheets {

// Every class identifier starts with this prefix (the component library's name and a dot).
inline constexpr std::string_view kPrefix = "Q72dVXRsvordJobSheets.";

namespace prog_id {

// The entry point.
inline constexpr std::string_view kJobSheetsManager = "Q72dVXRsvordJobSheets.JobSheetsManager";

// Processing an uploaded job sheet: the input, the state and the error structure handed over.
inline constexpr std::string_view kIJobSheetForProcess =
    "Q72dVXRsvordJobSheets.iJobSheetForProcess";
inline constexpr std::string_view kIoState = "Q72dVXRsvordJobSheets.ioState";
inline constexpr std::string_view kOErrorProcessStructForProcessJobSheet =
    "Q72dVXRsvordJobSheets.oErrorProcessStructForProcessJobSheet";

// The data of one job sheet, as uploaded (and as the download's service order data delivers).
inline constexpr std::string_view kServiceOrderData = "Q72dVXRsvordJobSheets.ServiceOrderData";
inline constexpr std::string_view kOrderDetails = "Q72dVXRsvordJobSheets.OrderDetails";
inline constexpr std::string_view kOrderText = "Q72dVXRsvordJobSheets.OrderText";
inline constexpr std::string_view kTextValue = "Q72dVXRsvordJobSheets.TextValue";
inline constexpr std::string_view kActivitiesData = "Q72dVXRsvordJobSheets.ActivitiesData";
inline constexpr std::string_view kActivityData = "Q72dVXRsvordJobSheets.ActivityData";
inline constexpr std::string_view kActivityDetails = "Q72dVXRsvordJobSheets.ActivityDetails";
inline constexpr std::string_view kActivityText = "Q72dVXRsvordJobSheets.ActivityText";
inline constexpr std::string_view kCallText = "Q72dVXRsvordJobSheets.CallText";
inline constexpr std::string_view kSolutionText = "Q72dVXRsvordJobSheets.SolutionText";
inline constexpr std::string_view kMaterialRequirement =
    "Q72dVXRsvordJobSheets.MaterialRequirement";
inline constexpr std::string_view kMaterialData = "Q72dVXRsvordJobSheets.MaterialData";
inline constexpr std::string_view kLaborRequirement = "Q72dVXRsvordJobSheets.LaborRequirement";
inline constexpr std::string_view kLaborData = "Q72dVXRsvordJobSheets.LaborData";
inline constexpr std::string_view kHoursAccounting = "Q72dVXRsvordJobSheets.hoursAccounting";
inline constexpr std::string_view kHourData = "Q72dVXRsvordJobSheets.HourData";
inline constexpr std::string_view kOtherRequirement = "Q72dVXRsvordJobSheets.OtherRequirement";
inline constexpr std::string_view kOtherData = "Q72dVXRsvordJobSheets.OtherData";
inline constexpr std::string_view kObjectInspectionsData =
    "Q72dVXRsvordJobSheets.ObjectInspectionsData";
inline constexpr std::string_view kInspectionData = "Q72dVXRsvordJobSheets.InspectionData";
inline constexpr std::string_view kPaymentsData = "Q72dVXRsvordJobSheets.PaymentsData";
inline constexpr std::string_view kPaymentData = "Q72dVXRsvordJobSheets.PaymentData";

// Download: the input listing what a laptop holds, the output, state and error objects.
inline constexpr std::string_view kIJobSheets = "Q72dVXRsvordJobSheets.iJobSheets";
inline constexpr std::string_view kOJobSheets = "Q72dVXRsvordJobSheets.OJobSheets";
inline constexpr std::string_view kOErrorStruct = "Q72dVXRsvordJobSheets.OErrorStruct";
inline constexpr std::string_view kInputServiceOrderWithOutData =
    "Q72dVXRsvordJobSheets.InputServiceOrderWithOutData";
inline constexpr std::string_view kInputActivitiesWithOutData =
    "Q72dVXRsvordJobSheets.InputActivitiesWithOutData";
inline constexpr std::string_view kInputActivityWithOutData =
    "Q72dVXRsvordJobSheets.InputActivityWithOutData";
inline constexpr std::string_view kInputMaterialsWithOutData =
    "Q72dVXRsvordJobSheets.InputMaterialsWithOutData";
inline constexpr std::string_view kInputMaterialWithOutData =
    "Q72dVXRsvordJobSheets.InputMaterialWithOutData";
inline constexpr std::string_view kInputLaborsWithOutData =
    "Q72dVXRsvordJobSheets.InputLaborsWithOutData";
inline constexpr std::string_view kInputLaborWithOutData =
    "Q72dVXRsvordJobSheets.InputLaborWithOutData";
inline constexpr std::string_view kInputOthersWithOutData =
    "Q72dVXRsvordJobSheets.InputOthersWithOutData";
inline constexpr std::string_view kInputOtherWithOutData =
    "Q72dVXRsvordJobSheets.InputOtherWithOutData";
inline constexpr std::string_view kInputInspectionsWithOutData =
    "Q72dVXRsvordJobSheets.InputInspectionsWithOutData";
inline constexpr std::string_view kInputInspectionWithOutData =
    "Q72dVXRsvordJobSheets.InputInspectionWithOutData";

}  // namespace prog_id

// JobSheetsManager.
namespace manager {
// Initialize(business component text): first call on every manager.
inline constexpr std::string_view kInitialize = "Initialize";
// ProcessJobSheet(employee, iJobSheetForProcess, 0, ioState, error structure, 0), all by
// reference; returns the output object (process_output below).
inline constexpr std::string_view kProcessJobSheet = "ProcessJobSheet";
// getJobSheets(employee, iJobSheets, OJobSheets, continuation flag, ioState, OErrorStruct,
// second whole number), all by reference; returns the response object (download below).
inline constexpr std::string_view kGetJobSheets = "getJobSheets";
inline constexpr std::string_view kClose = "Close";
}  // namespace manager

// The ioState object handed to ProcessJobSheet: setIdempotencyKey(key) before the call makes
// ProcessJobSheet book the job sheet at most once per key (see contract.h).
namespace process_state {
inline constexpr std::string_view kSetIdempotencyKey = erp::kSetIdempotencyKey;
}  // namespace process_state

// The output object of ProcessJobSheet.
namespace process_output {
inline constexpr std::string_view kGetOErrorProcessStructForProcessJobSheet =
    "getOErrorProcessStructForProcessJobSheet";
// 0 success; -1, -2 and -3 failures; read as a 32-bit whole number.
inline constexpr std::string_view kGetOReturnValue = "getOReturnValue";
}  // namespace process_output

// The error structure of ProcessJobSheet: per object an outcome, an error description and a
// new line number. Group getters with an index take a 16-bit 0 by value.
namespace process_errors {
inline constexpr List kOrderErrors{"sizeOrderError", "getOrderErrorAt", ""};
inline constexpr std::string_view kGetActivitiesErrorAt = "getActivitiesErrorAt";
inline constexpr List kActivityErrors{"sizeActivityError", "getActivityErrorAt", ""};
inline constexpr std::string_view kGetMaterialRequirementError = "getMaterialRequirementError";
inline constexpr List kMaterialErrors{"sizeMaterialError", "getMaterialErrorAt", ""};
inline constexpr std::string_view kGetHoursAccountingError = "getHoursAccountingError";
inline constexpr List kHourErrors{"sizeHourError", "getHourErrorAt", ""};
inline constexpr std::string_view kGetLaborRequirementError = "getLaborRequirementError";
inline constexpr List kLaborErrors{"sizeLaborError", "getLaborErrorAt", ""};
inline constexpr std::string_view kGetOtherRequirementError = "getOtherRequirementError";
inline constexpr List kOtherErrors{"sizeOtherError", "getOtherErrorAt", ""};
inline constexpr std::string_view kGetInspectionsError = "getInspectionsError";
inline constexpr List kInspectionErrors{"sizeInspectionError", "getInspectionErrorAt", ""};
inline constexpr std::string_view kGetPaymentsErrorAt = "getPaymentsErrorAt";
inline constexpr List kPaymentErrors{"sizePaymentError", "getPaymentErrorAt", ""};
// Offered by every item besides its identifying attribute getter.
inline constexpr std::string_view kGetResult = "getResult";
inline constexpr std::string_view kGetErrorDescription = "getErrorDescription";
inline constexpr std::string_view kGetNewLineID = "getNewLineID";
}  // namespace process_errors

// The response of getJobSheets and what it leads to.
namespace download {
inline constexpr std::string_view kGetOErrorStruct = "getOErrorStruct";
inline constexpr std::string_view kGetOJobSheets = "getOJobSheets";
inline constexpr std::string_view kGetIoState = "getIoState";
// The error structure: count and text of each error.
inline constexpr List kErrors{"sizeError", "getErrorAt", ""};
// The job sheets result: three lists, each behind a presence test.
inline constexpr Property kNewJobSheets{"hasNewJobSheets", "getNewJobSheets", ""};
inline constexpr Property kAdditionJobSheets{"hasAdditionJobSheets", "getAdditionJobSheets", ""};
inline constexpr Property kCancellationJobSheets{"hasCancellationJobSheets",
                                                 "getCancellationJobSheets", ""};
// New and addition lists hold job sheet entries; an entry holds the service order data.
inline constexpr List kJobSheetData{"sizeJobSheetData", "getJobSheetDataAt", ""};
inline constexpr Property kServiceOrderData{"hasServiceOrderData", "getServiceOrderData",
                                            "setServiceOrderData"};
// The cancellation list holds cancelled orders.
inline constexpr List kCancelOrder{"sizeCancelOrder", "getCancelOrderAt", ""};
// The state: 1 when the ERP has delivered everything.
inline constexpr std::string_view kCompletedStateAttribute = "completedStateAttribute";
}  // namespace download

// The download input: what a laptop already holds, by id.
namespace input {
inline constexpr std::string_view kAddInputServiceOrderWithOutData =
    "addInputServiceOrderWithOutData";
inline constexpr std::string_view kAddInputActivitiesWithOutData = "addInputActivitiesWithOutData";
inline constexpr std::string_view kAddInputActivityWithOutData = "addInputActivityWithOutData";
inline constexpr std::string_view kSetInputMaterialsWithOutData = "setInputMaterialsWithOutData";
inline constexpr std::string_view kSetInputLaborsWithOutData = "setInputLaborsWithOutData";
inline constexpr std::string_view kSetInputOthersWithOutData = "setInputOthersWithOutData";
inline constexpr std::string_view kSetInputInspectionsWithOutData =
    "setInputInspectionsWithOutData";
inline constexpr std::string_view kAddInputMaterialWithOutData = "addInputMaterialWithOutData";
inline constexpr std::string_view kAddInputLaborWithOutData = "addInputLaborWithOutData";
inline constexpr std::string_view kAddInputOtherWithOutData = "addInputOtherWithOutData";
inline constexpr std::string_view kAddInputInspectionWithOutData = "addInputInspectionWithOutData";
// Ids are set with the attribute setters (attribute::kServiceOrder, kActivity, kCostLine) and,
// for inspection lines, with this one.
inline constexpr std::string_view kSetInspectionLineAttribute = "setInspectionLineAttribute";
}  // namespace input

// Identifying attributes of service orders, activities, lines, payments and cancelled orders.
namespace attribute {
inline constexpr Attribute kServiceOrder{"getServiceOrderAttribute", "setServiceOrderAttribute"};
inline constexpr Attribute kActivity{"getActivityAttribute", "setActivityAttribute"};
inline constexpr Attribute kCostLine{"getCostLineAttribute", "setCostLineAttribute"};
inline constexpr Attribute kMeasurementType{"getMeasurementTypeAttribute",
                                            "setMeasurementTypeAttribute"};
inline constexpr Attribute kInspectionNo{"getInspectionNoAttribute", "setInspectionNoAttribute"};
inline constexpr Attribute kPaymentLine{"getPaymentLineAttribute", "setPaymentLineAttribute"};
inline constexpr Attribute kOrigin{"getOriginAttribute", "setOriginAttribute"};
inline constexpr Attribute kType{"getTypeAttribute", "setTypeAttribute"};
inline constexpr Attribute kOwner{"getOwnerAttribute", "setOwnerAttribute"};
inline constexpr Attribute kAllowedActions{"getAllowedActionsAttribute",
                                           "setAllowedActionsAttribute"};
inline constexpr Attribute kActionsPerformed{"getActionsPerformedAttribute",
                                             "setActionsPerformedAttribute"};
inline constexpr Attribute kInvoiceid{"getInvoiceidAttribute", "setInvoiceidAttribute"};
inline constexpr Attribute kCancelledOn{"getCancelledOnAttribute", "setCancelledOnAttribute"};
inline constexpr Attribute kCancelledReason{"getCancelledReasonAttribute",
                                            "setCancelledReasonAttribute"};
}  // namespace attribute

// The object graph of one job sheet: the objects a service order or an activity holds, and the
// collections' entries.
namespace graph {
// Held by the job sheet handed to ProcessJobSheet (iJobSheetForProcess).
inline constexpr std::string_view kSetServiceOrderData = "setServiceOrderData";
// Held by the service order data.
inline constexpr Property kOrderDetails{"hasOrderDetails", "getOrderDetails", "setOrderDetails"};
inline constexpr Property kActivitiesData{"hasActivitiesData", "getActivitiesData",
                                          "setActivitiesData"};
inline constexpr Property kPaymentsData{"hasPaymentsData", "getPaymentsData", "setPaymentsData"};
// Held by an activity.
inline constexpr Property kActivityDetails{"hasActivityDetails", "getActivityDetails",
                                           "setActivityDetails"};
inline constexpr Property kMaterialRequirement{"hasMaterialRequirement", "getMaterialRequirement",
                                               "setMaterialRequirement"};
inline constexpr Property kLaborRequirement{"hasLaborRequirement", "getLaborRequirement",
                                            "setLaborRequirement"};
inline constexpr Property kHoursAccounting{"hasHoursAccounting", "getHoursAccounting",
                                           "setHoursAccounting"};
inline constexpr Property kOtherRequirement{"hasOtherRequirement", "getOtherRequirement",
                                            "setOtherRequirement"};
inline constexpr Property kObjectInspectionsData{
    "hasObjectInspectionsData", "getObjectInspectionsData", "setObjectInspectionsData"};
// Collection entries.
inline constexpr List kActivityData{"sizeActivityData", "getActivityDataAt", "addActivityData"};
inline constexpr List kMaterialData{"sizeMaterialData", "getMaterialDataAt", "addMaterialData"};
inline constexpr List kLaborData{"sizeLaborData", "getLaborDataAt", "addLaborData"};
inline constexpr List kHourData{"sizeHourData", "getHourDataAt", "addHourData"};
inline constexpr List kOtherData{"sizeOtherData", "getOtherDataAt", "addOtherData"};
inline constexpr List kInspectionData{"sizeInspectionData", "getInspectionDataAt",
                                      "addInspectionData"};
inline constexpr List kPaymentData{"sizePaymentData", "getPaymentDataAt", "addPaymentData"};
// A text container (OrderText, ActivityText, CallText, SolutionText) holds TextValue chunks.
inline constexpr List kTextValue{"sizeTextValue", "getTextValueAt", "addTextValue"};
inline constexpr std::string_view kGetText = "GetText";  // TextValue
inline constexpr std::string_view kSetText = "SetText";  // TextValue
}  // namespace graph

// The values of the details objects and lines (order details, activity details, material,
// labor, other, hour and inspection lines, payments). A name shared by several classes means
// the same kind of value on each. The text properties (kOrderText, kInvoiceText,
// kActivityText, kCallText, kSolutionText) hold a text container, not a text.
namespace property {
inline constexpr Property kOrderStatus{"hasOrderStatus", "getOrderStatus", "setOrderStatus"};
inline constexpr Property kConfiguration{"hasConfiguration", "getConfiguration",
                                         "setConfiguration"};
inline constexpr Property kBusinessPartner{"hasBusinessPartner", "getBusinessPartner",
                                           "setBusinessPartner"};
inline constexpr Property kBusinessPartnerName{"hasBusinessPartnerName", "getBusinessPartnerName",
                                               "setBusinessPartnerName"};
inline constexpr Property kCurrency{"hasCurrency", "getCurrency", "setCurrency"};
inline constexpr Property kLocation{"hasLocation", "getLocation", "setLocation"};
inline constexpr Property kContact{"hasContact", "getContact", "setContact"};
inline constexpr Property kReference{"hasReference", "getReference", "setReference"};
inline constexpr Property kOrderDate{"hasOrderDate", "getOrderDate", "setOrderDate"};
inline constexpr Property kPlannedStart{"hasPlannedStart", "getPlannedStart", "setPlannedStart"};
inline constexpr Property kPlannedFinish{"hasPlannedFinish", "getPlannedFinish",
                                         "setPlannedFinish"};
inline constexpr Property kEarliestStart{"hasEarliestStart", "getEarliestStart",
                                         "setEarliestStart"};
inline constexpr Property kLatestFinish{"hasLatestFinish", "getLatestFinish", "setLatestFinish"};
inline constexpr Property kExecutionStart{"hasExecutionStart", "getExecutionStart",
                                          "setExecutionStart"};
inline constexpr Property kExecutionFinish{"hasExecutionFinish", "getExecutionFinish",
                                           "setExecutionFinish"};
inline constexpr Property kEngineer{"hasEngineer", "getEngineer", "setEngineer"};
inline constexpr Property kEngineerName{"hasEngineerName", "getEngineerName", "setEngineerName"};
inline constexpr Property kServiceCenter{"hasServiceCenter", "getServiceCenter",
                                         "setServiceCenter"};
inline constexpr Property kServiceArea{"hasServiceArea", "getServiceArea", "setServiceArea"};
inline constexpr Property kEmergency{"hasEmergency", "getEmergency", "setEmergency"};
inline constexpr Property kInterrupted{"hasInterrupted", "getInterrupted", "setInterrupted"};
inline constexpr Property kInterruptReason{"hasInterruptReason", "getInterruptReason",
                                           "setInterruptReason"};
inline constexpr Property kCancelReason{"hasCancelReason", "getCancelReason", "setCancelReason"};
inline constexpr Property kCancelDate{"hasCancelDate", "getCancelDate", "setCancelDate"};
inline constexpr Property kContract{"hasContract", "getContract", "setContract"};
inline constexpr Property kTotalSalesAmount{"hasTotalSalesAmount", "getTotalSalesAmount",
                                            "setTotalSalesAmount"};
inline constexpr Property kContractSales{"hasContractSales", "getContractSales",
                                         "setContractSales"};
inline constexpr Property kWarrantySales{"hasWarrantySales", "getWarrantySales",
                                         "setWarrantySales"};
inline constexpr Property kDiscountAmount{"hasDiscountAmount", "getDiscountAmount",
                                          "setDiscountAmount"};
inline constexpr Property kInvoicingAmount{"hasInvoicingAmount", "getInvoicingAmount",
                                           "setInvoicingAmount"};
inline constexpr Property kTaxAmount{"hasTaxAmount", "getTaxAmount", "setTaxAmount"};
inline constexpr Property kOfflineInvoiceDate{"hasOfflineInvoiceDate", "getOfflineInvoiceDate",
                                              "setOfflineInvoiceDate"};
inline constexpr Property kInvoiceText{"hasInvoiceText", "getInvoiceText", "setInvoiceText"};
inline constexpr Property kOrderText{"hasOrderText", "getOrderText", "setOrderText"};
inline constexpr Property kActivityStatus{"hasActivityStatus", "getActivityStatus",
                                          "setActivityStatus"};
inline constexpr Property kActivityDescription{"hasActivityDescription", "getActivityDescription",
                                               "setActivityDescription"};
// The serviced object; its getter alone starts with a capital letter.
inline constexpr Property kObject{"hasObject", "GetObject", "setObject"};
inline constexpr Property kObjectNumber{"hasObjectNumber", "getObjectNumber", "setObjectNumber"};
inline constexpr Property kModelItem{"hasModelItem", "getModelItem", "setModelItem"};
inline constexpr Property kCall{"hasCall", "getCall", "setCall"};
inline constexpr Property kResponseTime{"hasResponseTime", "getResponseTime", "setResponseTime"};
inline constexpr Property kProblemPriority{"hasProblemPriority", "getProblemPriority",
                                           "setProblemPriority"};
inline constexpr Property kProblem{"hasProblem", "getProblem", "setProblem"};
inline constexpr Property kSolution{"hasSolution", "getSolution", "setSolution"};
inline constexpr Property kReferenceActivity{"hasReferenceActivity", "getReferenceActivity",
                                             "setReferenceActivity"};
inline constexpr Property kServiceType{"hasServiceType", "getServiceType", "setServiceType"};
inline constexpr Property kChangeMethod{"hasChangeMethod", "getChangeMethod", "setChangeMethod"};
inline constexpr Property kOriginalObject{"hasOriginalObject", "getOriginalObject",
                                          "setOriginalObject"};
inline constexpr Property kOriginalObjectNo{"hasOriginalObjectNo", "getOriginalObjectNo",
                                            "setOriginalObjectNo"};
inline constexpr Property kNewObject{"hasNewObject", "getNewObject", "setNewObject"};
inline constexpr Property kNewObjectNo{"hasNewObjectNo", "getNewObjectNo", "setNewObjectNo"};
inline constexpr Property kMainCounterValue{"hasMainCounterValue", "getMainCounterValue",
                                            "setMainCounterValue"};
inline constexpr Property kActualIndependentValue{
    "hasActualIndependentValue", "getActualIndependentValue", "setActualIndependentValue"};
inline constexpr Property kPlannedIndependentValue{
    "hasPlannedIndependentValue", "getPlannedIndependentValue", "setPlannedIndependentValue"};
inline constexpr Property kActualDependentValue{
    "hasActualDependentValue", "getActualDependentValue", "setActualDependentValue"};
inline constexpr Property kPlannedDependentValue{
    "hasPlannedDependentValue", "getPlannedDependentValue", "setPlannedDependentValue"};
inline constexpr Property kExpectedProblem{"hasExpectedProblem", "getExpectedProblem",
                                           "setExpectedProblem"};
inline constexpr Property kExpectedSolution{"hasExpectedSolution", "getExpectedSolution",
                                            "setExpectedSolution"};
inline constexpr Property kReportedProblem{"hasReportedProblem", "getReportedProblem",
                                           "setReportedProblem"};
inline constexpr Property kActivityText{"hasActivityText", "getActivityText", "setActivityText"};
inline constexpr Property kCallText{"hasCallText", "getCallText", "setCallText"};
inline constexpr Property kSolutionText{"hasSolutionText", "getSolutionText", "setSolutionText"};
inline constexpr Property kItem{"hasItem", "getItem", "setItem"};
inline constexpr Property kDeliveryType{"hasDeliveryType", "getDeliveryType", "setDeliveryType"};
inline constexpr Property kServiceKit{"hasServiceKit", "getServiceKit", "setServiceKit"};
inline constexpr Property kCostComponent{"hasCostComponent", "getCostComponent",
                                         "setCostComponent"};
inline constexpr Property kEstimatedQuantity{"hasEstimatedQuantity", "getEstimatedQuantity",
                                             "setEstimatedQuantity"};
inline constexpr Property kActualCumulativeQuantity{
    "hasActualCumulativeQuantity", "getActualCumulativeQuantity", "setActualCumulativeQuantity"};
inline constexpr Property kActualWarehouse{"hasActualWarehouse", "getActualWarehouse",
                                           "setActualWarehouse"};
inline constexpr Property kSalesPriceUnit{"hasSalesPriceUnit", "getSalesPriceUnit",
                                          "setSalesPriceUnit"};
inline constexpr Property kSalesQuantityUnit{"hasSalesQuantityUnit", "getSalesQuantityUnit",
                                             "setSalesQuantityUnit"};
inline constexpr Property kDeliveredQuantity{"hasDeliveredQuantity", "getDeliveredQuantity",
                                             "setDeliveredQuantity"};
inline constexpr Property kSubsequentDeliveredQuantity{"hasSubsequentDeliveredQuantity",
                                                       "getSubsequentDeliveredQuantity",
                                                       "setSubsequentDeliveredQuantity"};
inline constexpr Property kSalesPrice{"hasSalesPrice", "getSalesPrice", "setSalesPrice"};
inline constexpr Property kDiscount{"hasDiscount", "getDiscount", "setDiscount"};
inline constexpr Property kTask{"hasTask", "getTask", "setTask"};
inline constexpr Property kHourlyLaborType{"hasHourlyLaborType", "getHourlyLaborType",
                                           "setHourlyLaborType"};
inline constexpr Property kActualQuantity{"hasActualQuantity", "getActualQuantity",
                                          "setActualQuantity"};
inline constexpr Property kSalesRate{"hasSalesRate", "getSalesRate", "setSalesRate"};
inline constexpr Property kCostType{"hasCostType", "getCostType", "setCostType"};
inline constexpr Property kOtherDescription{"hasOtherDescription", "getOtherDescription",
                                            "setOtherDescription"};
inline constexpr Property kActualCumulativeTimeQuantity{"hasActualCumulativeTimeQuantity",
                                                        "getActualCumulativeTimeQuantity",
                                                        "setActualCumulativeTimeQuantity"};
inline constexpr Property kActualCostPrice{"hasActualCostPrice", "getActualCostPrice",
                                           "setActualCostPrice"};
inline constexpr Property kActualFrequency{"hasActualFrequency", "getActualFrequency",
                                           "setActualFrequency"};
inline constexpr Property kUnit{"hasUnit", "getUnit", "setUnit"};
inline constexpr Property kCostCurrency{"hasCostCurrency", "getCostCurrency", "setCostCurrency"};
inline constexpr Property kRegistrationTime{"hasRegistrationTime", "getRegistrationTime",
                                            "setRegistrationTime"};
inline constexpr Property kMeasuredIndependentValue{
    "hasMeasuredIndependentValue", "getMeasuredIndependentValue", "setMeasuredIndependentValue"};
inline constexpr Property kMeasuredDependentValue{
    "hasMeasuredDependentValue", "getMeasuredDependentValue", "setMeasuredDependentValue"};
inline constexpr Property kPaymentMode{"hasPaymentMode", "getPaymentMode", "setPaymentMode"};
inline constexpr Property kAmountInPaymentCurrency{
    "hasAmountInPaymentCurrency", "getAmountInPaymentCurrency", "setAmountInPaymentCurrency"};
inline constexpr Property kPaymentCurrency{"hasPaymentCurrency", "getPaymentCurrency",
                                           "setPaymentCurrency"};
inline constexpr Property kAmountInHeaderCurrency{
    "hasAmountInHeaderCurrency", "getAmountInHeaderCurrency", "setAmountInHeaderCurrency"};
inline constexpr Property kInformationA{"hasInformationA", "getInformationA", "setInformationA"};
inline constexpr Property kInformationB{"hasInformationB", "getInformationB", "setInformationB"};
inline constexpr Property kSpentTime{"hasSpentTime", "getSpentTime", "setSpentTime"};
inline constexpr Property kRegistrationDateHours{
    "hasRegistrationDateHours", "getRegistrationDateHours", "setRegistrationDateHours"};
inline constexpr Property kLaborLineReference{"hasLaborLineReference", "getLaborLineReference",
                                              "setLaborLineReference"};
}  // namespace property

}  // namespace tqs::erp::job_sheets

#endif  // TQS_COMMON_ERP_JOB_SHEETS_H_
