#include "erp/properties.h"

#include "common/erp/job_sheets.h"

namespace tqs::erp {

namespace {

namespace p = job_sheets::property;
using C = ValueCheck;

constexpr bool kEscaped = false;  // the writer escapes the value
constexpr bool kAsIs = true;      // the writer appends the value unescaped

constexpr PropertySpec kOrderDetails[] = {
    {"osta", p::kOrderStatus, C::kStatus, kAsIs},
    {"ccfg", p::kConfiguration, C::kText, kEscaped},
    {"ofbp", p::kBusinessPartner, C::kText, kEscaped},
    {"nama", p::kBusinessPartnerName, C::kText, kEscaped},
    {"ccur", p::kCurrency, C::kText, kEscaped},
    {"lcad", p::kLocation, C::kText, kEscaped},
    {"ofcn", p::kContact, C::kText, kEscaped},
    {"refa", p::kReference, C::kText, kEscaped},
    {"ordt", p::kOrderDate, C::kDate, kAsIs},
    {"pstm", p::kPlannedStart, C::kDate, kAsIs},
    {"pftm", p::kPlannedFinish, C::kDate, kAsIs},
    {"estm", p::kEarliestStart, C::kDate, kAsIs},
    {"lftm", p::kLatestFinish, C::kDate, kAsIs},
    {"astm", p::kExecutionStart, C::kDate, kAsIs},
    {"aftm", p::kExecutionFinish, C::kDate, kAsIs},
    {"emno", p::kEngineer, C::kKept, kEscaped},
    {"emna", p::kEngineerName, C::kKept, kEscaped},
    {"cwoc", p::kServiceCenter, C::kKept, kEscaped},
    {"csar", p::kServiceArea, C::kText, kEscaped},
    {"emer", p::kEmergency, C::kText, kAsIs},
    {"ityn", p::kInterrupted, C::kText, kAsIs},
    {"crit", p::kInterruptReason, C::kText, kEscaped},
    {"cdis", p::kCancelReason, C::kKept, kEscaped},
    {"cadt", p::kCancelDate, C::kKept, kAsIs},
    {"csco", p::kContract, C::kText, kEscaped},
    {"asto", p::kTotalSalesAmount, C::kNumber, kAsIs},
    {"asco", p::kContractSales, C::kNumber, kAsIs},
    {"aswa", p::kWarrantySales, C::kNumber, kAsIs},
    {"asdi", p::kDiscountAmount, C::kNumber, kAsIs},
    {"inam", p::kInvoicingAmount, C::kNumber, kAsIs},
    {"txam", p::kTaxAmount, C::kNumber, kAsIs},
    {"indt", p::kOfflineInvoiceDate, C::kDate, kAsIs},
    {"txtb", p::kInvoiceText, C::kTextList, kEscaped},
    {"txta", p::kOrderText, C::kTextList, kEscaped},
};

constexpr PropertySpec kActivityDetails[] = {
    {"asta", p::kActivityStatus, C::kStatus, kAsIs},
    {"desc", p::kActivityDescription, C::kText, kEscaped},
    {"pstm", p::kPlannedStart, C::kDate, kAsIs},
    {"pftm", p::kPlannedFinish, C::kDate, kAsIs},
    {"estm", p::kEarliestStart, C::kDate, kAsIs},
    {"lftm", p::kLatestFinish, C::kDate, kAsIs},
    {"astm", p::kExecutionStart, C::kDate, kAsIs},
    {"aftm", p::kExecutionFinish, C::kDate, kAsIs},
    {"ccfg", p::kConfiguration, C::kText, kEscaped},
    {"crob", p::kObject, C::kText, kEscaped},
    {"oseq", p::kObjectNumber, C::kText, kAsIs},
    {"cmdl", p::kModelItem, C::kText, kEscaped},
    {"ccll", p::kCall, C::kText, kEscaped},
    {"crtc", p::kResponseTime, C::kText, kEscaped},
    {"prpr", p::kProblemPriority, C::kText, kAsIs},
    {"cprl", p::kProblem, C::kText, kEscaped},
    {"cstn", p::kSolution, C::kText, kEscaped},
    {"crac", p::kReferenceActivity, C::kText, kEscaped},
    {"cstp", p::kServiceType, C::kText, kEscaped},
    {"chme", p::kChangeMethod, C::kText, kAsIs},
    {"croo", p::kOriginalObject, C::kText, kEscaped},
    {"osqo", p::kOriginalObjectNo, C::kText, kAsIs},
    {"cron", p::kNewObject, C::kText, kEscaped},
    {"osqn", p::kNewObjectNo, C::kText, kAsIs},
    {"cova", p::kMainCounterValue, C::kNumber, kAsIs},
    {"aivl", p::kActualIndependentValue, C::kNumber, kAsIs},
    {"nivl", p::kPlannedIndependentValue, C::kNumber, kAsIs},
    {"advl", p::kActualDependentValue, C::kNumber, kAsIs},
    {"pdvl", p::kPlannedDependentValue, C::kNumber, kAsIs},
    {"expr", p::kExpectedProblem, C::kText, kEscaped},
    {"exsl", p::kExpectedSolution, C::kText, kEscaped},
    {"rprl", p::kReportedProblem, C::kText, kEscaped},
    {"asto", p::kTotalSalesAmount, C::kNumber, kAsIs},
    {"asco", p::kContractSales, C::kNumber, kAsIs},
    {"aswa", p::kWarrantySales, C::kNumber, kAsIs},
    {"asdi", p::kDiscountAmount, C::kNumber, kAsIs},
    {"inam", p::kInvoicingAmount, C::kNumber, kAsIs},
    {"txam", p::kTaxAmount, C::kNumber, kAsIs},
    {"txta", p::kActivityText, C::kTextList, kEscaped},
    {"txtb", p::kCallText, C::kTextList, kEscaped},
    {"txtc", p::kSolutionText, C::kTextList, kEscaped},
};

constexpr PropertySpec kMaterial[] = {
    {"item", p::kItem, C::kText, kEscaped},
    {"dltp", p::kDeliveryType, C::kText, kAsIs},
    {"cskt", p::kServiceKit, C::kText, kEscaped},
    {"ccmp", p::kCostComponent, C::kText, kEscaped},
    {"eqan", p::kEstimatedQuantity, C::kQuantity, kAsIs},
    {"adqt", p::kActualCumulativeQuantity, C::kQuantity, kAsIs},
    {"awrh", p::kActualWarehouse, C::kText, kEscaped},
    {"cups", p::kSalesPriceUnit, C::kText, kEscaped},
    {"cuqs", p::kSalesQuantityUnit, C::kText, kEscaped},
    {"qtdl", p::kDeliveredQuantity, C::kQuantity, kAsIs},
    {"qtsd", p::kSubsequentDeliveredQuantity, C::kQuantity, kAsIs},
    {"pris", p::kSalesPrice, C::kNumber, kAsIs},
    {"asto", p::kTotalSalesAmount, C::kNumber, kAsIs},
    {"asco", p::kContractSales, C::kNumber, kAsIs},
    {"aswa", p::kWarrantySales, C::kNumber, kAsIs},
    {"disc", p::kDiscount, C::kNumber, kAsIs},
    {"asdi", p::kDiscountAmount, C::kNumber, kAsIs},
    {"inam", p::kInvoicingAmount, C::kNumber, kAsIs},
    {"txam", p::kTaxAmount, C::kNumber, kAsIs},
};

constexpr PropertySpec kLabor[] = {
    {"ctsk", p::kTask, C::kTask, kEscaped},
    {"ccmp", p::kCostComponent, C::kText, kEscaped},
    {"chlt", p::kHourlyLaborType, C::kText, kEscaped},
    {"acqt", p::kActualQuantity, C::kQuantity, kAsIs},
    {"eqtm", p::kEstimatedQuantity, C::kQuantity, kAsIs},
    {"aswr", p::kSalesRate, C::kNumber, kAsIs},
    {"asto", p::kTotalSalesAmount, C::kNumber, kAsIs},
    {"asco", p::kContractSales, C::kNumber, kAsIs},
    {"aswa", p::kWarrantySales, C::kNumber, kAsIs},
    {"disc", p::kDiscount, C::kNumber, kAsIs},
    {"asdi", p::kDiscountAmount, C::kNumber, kAsIs},
    {"inam", p::kInvoicingAmount, C::kNumber, kAsIs},
    {"txam", p::kTaxAmount, C::kNumber, kAsIs},
};

constexpr PropertySpec kOther[] = {
    {"cotp", p::kCostType, C::kText, kAsIs},
    {"desc", p::kOtherDescription, C::kText, kAsIs},
    {"ccmp", p::kCostComponent, C::kText, kEscaped},
    {"aqan", p::kActualCumulativeTimeQuantity, C::kQuantity, kAsIs},
    {"acpr", p::kActualCostPrice, C::kNumber, kAsIs},
    {"afrq", p::kActualFrequency, C::kQuantity, kAsIs},
    {"cuni", p::kUnit, C::kText, kEscaped},
    {"eqan", p::kEstimatedQuantity, C::kQuantity, kAsIs},
    {"pris", p::kSalesPrice, C::kNumber, kAsIs},
    {"asto", p::kTotalSalesAmount, C::kNumber, kAsIs},
    {"asco", p::kContractSales, C::kNumber, kAsIs},
    {"aswa", p::kWarrantySales, C::kNumber, kAsIs},
    {"disc", p::kDiscount, C::kNumber, kAsIs},
    {"asdi", p::kDiscountAmount, C::kNumber, kAsIs},
    {"inam", p::kInvoicingAmount, C::kNumber, kAsIs},
    {"txam", p::kTaxAmount, C::kNumber, kAsIs},
    {"lcur", p::kCostCurrency, C::kText, kAsIs},
};

constexpr PropertySpec kInspection[] = {
    {"rgtm", p::kRegistrationTime, C::kDate, kAsIs},
    {"mivl", p::kMeasuredIndependentValue, C::kNumber, kAsIs},
    {"mdvl", p::kMeasuredDependentValue, C::kNumber, kAsIs},
};

// Hours spent on an activity, as a job sheet uploads them (never written into documents).
constexpr PropertySpec kHour[] = {
    {"cotp", p::kCostType, C::kText, kAsIs},
    {"ccmp", p::kCostComponent, C::kText, kAsIs},
    {"sptm", p::kSpentTime, C::kQuantity, kAsIs},
    {"ctsk", p::kTask, C::kTask, kAsIs},
    {"chlt", p::kHourlyLaborType, C::kText, kAsIs},
    {"rgdt", p::kRegistrationDateHours, C::kCompactDate, kAsIs},
    {"lbln", p::kLaborLineReference, C::kText, kAsIs},
};

constexpr PropertySpec kPayment[] = {
    {"mpay", p::kPaymentMode, C::kText, kAsIs},
    {"amnt", p::kAmountInPaymentCurrency, C::kNumber, kAsIs},
    {"pcur", p::kPaymentCurrency, C::kText, kAsIs},
    {"hamt", p::kAmountInHeaderCurrency, C::kNumber, kAsIs},
    {"infa", p::kInformationA, C::kText, kAsIs},
    {"infb", p::kInformationB, C::kText, kAsIs},
};

}  // namespace

std::span<const PropertySpec> PropertiesOf(PropertyGroup group) {
  switch (group) {
    case PropertyGroup::kOrderDetails:
      return kOrderDetails;
    case PropertyGroup::kActivityDetails:
      return kActivityDetails;
    case PropertyGroup::kMaterial:
      return kMaterial;
    case PropertyGroup::kLabor:
      return kLabor;
    case PropertyGroup::kOther:
      return kOther;
    case PropertyGroup::kInspection:
      return kInspection;
    case PropertyGroup::kHour:
      return kHour;
    case PropertyGroup::kPayment:
      return kPayment;
  }
  return {};
}

std::string_view PropertyName(const PropertySpec& spec) { return PropertyName(spec.property); }

std::string_view PropertyName(const Property& property) {
  // A getter may be capitalised (GetObject); the presence test never is.
  return property.has.substr(3);
}

std::string_view AttributeName(const Attribute& attribute) { return attribute.get.substr(3); }

std::string_view ListName(const List& list) { return list.size.substr(4); }

PropertyGroup GroupOf(LineKind kind) {
  switch (kind) {
    case LineKind::kMaterial:
      return PropertyGroup::kMaterial;
    case LineKind::kLabor:
      return PropertyGroup::kLabor;
    case LineKind::kOther:
      return PropertyGroup::kOther;
    case LineKind::kInspection:
      return PropertyGroup::kInspection;
    case LineKind::kHour:
      return PropertyGroup::kHour;
  }
  return PropertyGroup::kMaterial;
}

}  // namespace tqs::erp
