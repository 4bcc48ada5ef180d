#include "erp/properties.h"

#include "common/erp/job_sheets.h"

namespace tqs::erp {

namespace {

namespace p = job_sheets::property;
using C = ValueCheck;

constexpr PropertySpec kOrderDetails[] = {
    {"osta", p::kOrderStatus, C::kStatus},
    {"ccfg", p::kConfiguration, C::kText},
    {"ofbp", p::kBusinessPartner, C::kText},
    {"nama", p::kBusinessPartnerName, C::kText},
    {"ccur", p::kCurrency, C::kText},
    {"lcad", p::kLocation, C::kText},
    {"ofcn", p::kContact, C::kText},
    {"refa", p::kReference, C::kText},
    {"ordt", p::kOrderDate, C::kDate},
    {"pstm", p::kPlannedStart, C::kDate},
    {"pftm", p::kPlannedFinish, C::kDate},
    {"estm", p::kEarliestStart, C::kDate},
    {"lftm", p::kLatestFinish, C::kDate},
    {"astm", p::kExecutionStart, C::kDate},
    {"aftm", p::kExecutionFinish, C::kDate},
    {"emno", p::kEngineer, C::kKept},
    {"emna", p::kEngineerName, C::kKept},
    {"cwoc", p::kServiceCenter, C::kKept},
    {"csar", p::kServiceArea, C::kText},
    {"emer", p::kEmergency, C::kText},
    {"ityn", p::kInterrupted, C::kText},
    {"crit", p::kInterruptReason, C::kText},
    {"cdis", p::kCancelReason, C::kKept},
    {"cadt", p::kCancelDate, C::kKept},
    {"csco", p::kContract, C::kText},
    {"asto", p::kTotalSalesAmount, C::kNumber},
    {"asco", p::kContractSales, C::kNumber},
    {"aswa", p::kWarrantySales, C::kNumber},
    {"asdi", p::kDiscountAmount, C::kNumber},
    {"inam", p::kInvoicingAmount, C::kNumber},
    {"txam", p::kTaxAmount, C::kNumber},
    {"indt", p::kOfflineInvoiceDate, C::kDate},
    {"txtb", p::kInvoiceText, C::kTextList},
    {"txta", p::kOrderText, C::kTextList},
};

constexpr PropertySpec kActivityDetails[] = {
    {"asta", p::kActivityStatus, C::kStatus},
    {"desc", p::kActivityDescription, C::kText},
    {"pstm", p::kPlannedStart, C::kDate},
    {"pftm", p::kPlannedFinish, C::kDate},
    {"estm", p::kEarliestStart, C::kDate},
    {"lftm", p::kLatestFinish, C::kDate},
    {"astm", p::kExecutionStart, C::kDate},
    {"aftm", p::kExecutionFinish, C::kDate},
    {"ccfg", p::kConfiguration, C::kText},
    {"crob", p::kObject, C::kText},
    {"oseq", p::kObjectNumber, C::kText},
    {"cmdl", p::kModelItem, C::kText},
    {"ccll", p::kCall, C::kText},
    {"crtc", p::kResponseTime, C::kText},
    {"prpr", p::kProblemPriority, C::kText},
    {"cprl", p::kProblem, C::kText},
    {"cstn", p::kSolution, C::kText},
    {"crac", p::kReferenceActivity, C::kText},
    {"cstp", p::kServiceType, C::kText},
    {"chme", p::kChangeMethod, C::kText},
    {"croo", p::kOriginalObject, C::kText},
    {"osqo", p::kOriginalObjectNo, C::kText},
    {"cron", p::kNewObject, C::kText},
    {"osqn", p::kNewObjectNo, C::kText},
    {"cova", p::kMainCounterValue, C::kNumber},
    {"aivl", p::kActualIndependentValue, C::kNumber},
    {"nivl", p::kPlannedIndependentValue, C::kNumber},
    {"advl", p::kActualDependentValue, C::kNumber},
    {"pdvl", p::kPlannedDependentValue, C::kNumber},
    {"expr", p::kExpectedProblem, C::kText},
    {"exsl", p::kExpectedSolution, C::kText},
    {"rprl", p::kReportedProblem, C::kText},
    {"asto", p::kTotalSalesAmount, C::kNumber},
    {"asco", p::kContractSales, C::kNumber},
    {"aswa", p::kWarrantySales, C::kNumber},
    {"asdi", p::kDiscountAmount, C::kNumber},
    {"inam", p::kInvoicingAmount, C::kNumber},
    {"txam", p::kTaxAmount, C::kNumber},
    {"txta", p::kActivityText, C::kTextList},
    {"txtb", p::kCallText, C::kTextList},
    {"txtc", p::kSolutionText, C::kTextList},
};

constexpr PropertySpec kMaterial[] = {
    {"item", p::kItem, C::kText},
    {"dltp", p::kDeliveryType, C::kText},
    {"cskt", p::kServiceKit, C::kText},
    {"ccmp", p::kCostComponent, C::kText},
    {"eqan", p::kEstimatedQuantity, C::kQuantity},
    {"adqt", p::kActualCumulativeQuantity, C::kQuantity},
    {"awrh", p::kActualWarehouse, C::kText},
    {"cups", p::kSalesPriceUnit, C::kText},
    {"cuqs", p::kSalesQuantityUnit, C::kText},
    {"qtdl", p::kDeliveredQuantity, C::kQuantity},
    {"qtsd", p::kSubsequentDeliveredQuantity, C::kQuantity},
    {"pris", p::kSalesPrice, C::kNumber},
    {"asto", p::kTotalSalesAmount, C::kNumber},
    {"asco", p::kContractSales, C::kNumber},
    {"aswa", p::kWarrantySales, C::kNumber},
    {"disc", p::kDiscount, C::kNumber},
    {"asdi", p::kDiscountAmount, C::kNumber},
    {"inam", p::kInvoicingAmount, C::kNumber},
    {"txam", p::kTaxAmount, C::kNumber},
};

constexpr PropertySpec kLabor[] = {
    {"ctsk", p::kTask, C::kTask},
    {"ccmp", p::kCostComponent, C::kText},
    {"chlt", p::kHourlyLaborType, C::kText},
    {"acqt", p::kActualQuantity, C::kQuantity},
    {"eqtm", p::kEstimatedQuantity, C::kQuantity},
    {"aswr", p::kSalesRate, C::kNumber},
    {"asto", p::kTotalSalesAmount, C::kNumber},
    {"asco", p::kContractSales, C::kNumber},
    {"aswa", p::kWarrantySales, C::kNumber},
    {"disc", p::kDiscount, C::kNumber},
    {"asdi", p::kDiscountAmount, C::kNumber},
    {"inam", p::kInvoicingAmount, C::kNumber},
    {"txam", p::kTaxAmount, C::kNumber},
};

constexpr PropertySpec kOther[] = {
    {"cotp", p::kCostType, C::kText},
    {"desc", p::kOtherDescription, C::kText},
    {"ccmp", p::kCostComponent, C::kText},
    {"aqan", p::kActualCumulativeTimeQuantity, C::kQuantity},
    {"acpr", p::kActualCostPrice, C::kNumber},
    {"afrq", p::kActualFrequency, C::kQuantity},
    {"cuni", p::kUnit, C::kText},
    {"eqan", p::kEstimatedQuantity, C::kQuantity},
    {"pris", p::kSalesPrice, C::kNumber},
    {"asto", p::kTotalSalesAmount, C::kNumber},
    {"asco", p::kContractSales, C::kNumber},
    {"aswa", p::kWarrantySales, C::kNumber},
    {"disc", p::kDiscount, C::kNumber},
    {"asdi", p::kDiscountAmount, C::kNumber},
    {"inam", p::kInvoicingAmount, C::kNumber},
    {"txam", p::kTaxAmount, C::kNumber},
    {"lcur", p::kCostCurrency, C::kText},
};

constexpr PropertySpec kInspection[] = {
    {"rgtm", p::kRegistrationTime, C::kDate},
    {"mivl", p::kMeasuredIndependentValue, C::kNumber},
    {"mdvl", p::kMeasuredDependentValue, C::kNumber},
};

// Hours spent on an activity, as a job sheet uploads them (never written into documents).
constexpr PropertySpec kHour[] = {
    {"cotp", p::kCostType, C::kText},
    {"ccmp", p::kCostComponent, C::kText},
    {"sptm", p::kSpentTime, C::kQuantity},
    {"ctsk", p::kTask, C::kTask},
    {"chlt", p::kHourlyLaborType, C::kText},
    {"rgdt", p::kRegistrationDateHours, C::kCompactDate},
    {"lbln", p::kLaborLineReference, C::kText},
};

constexpr PropertySpec kPayment[] = {
    {"mpay", p::kPaymentMode, C::kText},
    {"amnt", p::kAmountInPaymentCurrency, C::kNumber},
    {"pcur", p::kPaymentCurrency, C::kText},
    {"hamt", p::kAmountInHeaderCurrency, C::kNumber},
    {"infa", p::kInformationA, C::kText},
    {"infb", p::kInformationB, C::kText},
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
