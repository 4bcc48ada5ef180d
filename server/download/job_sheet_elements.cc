// The element tables of the job sheet document and the writer of a block of elements.
#include <string>

#include "common/erp/job_sheets.h"
#include "server/download/erp_values_internal.h"
#include "server/download/job_sheet_writer_internal.h"

namespace tqs::server::download::internal {

namespace {

namespace p = erp::job_sheets::property;
namespace graph = erp::job_sheets::graph;

// The service order details, in document order.
constexpr ElementRow kOrderDetailsElements[] = {
    {"osta", p::kOrderStatus, ValueForm::kAsDelivered},
    {"ccfg", p::kConfiguration, ValueForm::kEscaped},
    {"ofbp", p::kBusinessPartner, ValueForm::kEscaped},
    {"nama", p::kBusinessPartnerName, ValueForm::kEscaped},
    {"ccur", p::kCurrency, ValueForm::kEscaped},
    {"lcad", p::kLocation, ValueForm::kEscaped},
    {"ofcn", p::kContact, ValueForm::kEscaped},
    {"refa", p::kReference, ValueForm::kEscaped},
    {"ordt", p::kOrderDate, ValueForm::kAsDelivered},
    {"pstm", p::kPlannedStart, ValueForm::kAsDelivered},
    {"pftm", p::kPlannedFinish, ValueForm::kAsDelivered},
    {"estm", p::kEarliestStart, ValueForm::kAsDelivered},
    {"lftm", p::kLatestFinish, ValueForm::kAsDelivered},
    {"astm", p::kExecutionStart, ValueForm::kAsDelivered},
    {"aftm", p::kExecutionFinish, ValueForm::kAsDelivered},
    {"emno", p::kEngineer, ValueForm::kEscaped},
    {"emna", p::kEngineerName, ValueForm::kEscaped},
    {"cwoc", p::kServiceCenter, ValueForm::kEscaped},
    {"csar", p::kServiceArea, ValueForm::kEscaped},
    {"emer", p::kEmergency, ValueForm::kAsDelivered},
    {"ityn", p::kInterrupted, ValueForm::kAsDelivered},
    {"crit", p::kInterruptReason, ValueForm::kEscaped},
    {"cdis", p::kCancelReason, ValueForm::kEscaped},
    {"cadt", p::kCancelDate, ValueForm::kAsDelivered},
    {"csco", p::kContract, ValueForm::kEscaped},
    {"asto", p::kTotalSalesAmount, ValueForm::kAsDelivered},
    {"asco", p::kContractSales, ValueForm::kAsDelivered},
    {"aswa", p::kWarrantySales, ValueForm::kAsDelivered},
    {"asdi", p::kDiscountAmount, ValueForm::kAsDelivered},
    {"inam", p::kInvoicingAmount, ValueForm::kAsDelivered},
    {"txam", p::kTaxAmount, ValueForm::kAsDelivered},
    {"indt", p::kOfflineInvoiceDate, ValueForm::kAsDelivered},
    {"txtb", p::kInvoiceText, ValueForm::kTextList},
    {"txta", p::kOrderText, ValueForm::kTextList},
};

// The activity details, in document order.
constexpr ElementRow kActivityDetailsElements[] = {
    {"asta", p::kActivityStatus, ValueForm::kAsDelivered},
    {"desc", p::kActivityDescription, ValueForm::kEscaped},
    {"pstm", p::kPlannedStart, ValueForm::kAsDelivered},
    {"pftm", p::kPlannedFinish, ValueForm::kAsDelivered},
    {"estm", p::kEarliestStart, ValueForm::kAsDelivered},
    {"lftm", p::kLatestFinish, ValueForm::kAsDelivered},
    {"astm", p::kExecutionStart, ValueForm::kAsDelivered},
    {"aftm", p::kExecutionFinish, ValueForm::kAsDelivered},
    {"ccfg", p::kConfiguration, ValueForm::kEscaped},
    {"crob", p::kObject, ValueForm::kEscaped},
    {"oseq", p::kObjectNumber, ValueForm::kAsDelivered},
    {"cmdl", p::kModelItem, ValueForm::kEscaped},
    {"ccll", p::kCall, ValueForm::kEscaped},
    {"crtc", p::kResponseTime, ValueForm::kEscaped},
    {"prpr", p::kProblemPriority, ValueForm::kAsDelivered},
    {"cprl", p::kProblem, ValueForm::kEscaped},
    {"cstn", p::kSolution, ValueForm::kEscaped},
    {"crac", p::kReferenceActivity, ValueForm::kEscaped},
    {"cstp", p::kServiceType, ValueForm::kEscaped},
    {"chme", p::kChangeMethod, ValueForm::kAsDelivered},
    {"croo", p::kOriginalObject, ValueForm::kEscaped},
    {"osqo", p::kOriginalObjectNo, ValueForm::kAsDelivered},
    {"cron", p::kNewObject, ValueForm::kEscaped},
    {"osqn", p::kNewObjectNo, ValueForm::kAsDelivered},
    {"cova", p::kMainCounterValue, ValueForm::kAsDelivered},
    {"aivl", p::kActualIndependentValue, ValueForm::kAsDelivered},
    {"nivl", p::kPlannedIndependentValue, ValueForm::kAsDelivered},
    {"advl", p::kActualDependentValue, ValueForm::kAsDelivered},
    {"pdvl", p::kPlannedDependentValue, ValueForm::kAsDelivered},
    {"expr", p::kExpectedProblem, ValueForm::kEscaped},
    {"exsl", p::kExpectedSolution, ValueForm::kEscaped},
    {"rprl", p::kReportedProblem, ValueForm::kEscaped},
    {"asto", p::kTotalSalesAmount, ValueForm::kAsDelivered},
    {"asco", p::kContractSales, ValueForm::kAsDelivered},
    {"aswa", p::kWarrantySales, ValueForm::kAsDelivered},
    {"asdi", p::kDiscountAmount, ValueForm::kAsDelivered},
    {"inam", p::kInvoicingAmount, ValueForm::kAsDelivered},
    {"txam", p::kTaxAmount, ValueForm::kAsDelivered},
    {"txta", p::kActivityText, ValueForm::kTextList},
    {"txtb", p::kCallText, ValueForm::kTextList},
    {"txtc", p::kSolutionText, ValueForm::kTextList},
};

// The material line, in document order.
constexpr ElementRow kMaterialElements[] = {
    {"item", p::kItem, ValueForm::kEscaped},
    {"dltp", p::kDeliveryType, ValueForm::kAsDelivered},
    {"cskt", p::kServiceKit, ValueForm::kEscaped},
    {"ccmp", p::kCostComponent, ValueForm::kEscaped},
    {"eqan", p::kEstimatedQuantity, ValueForm::kAsDelivered},
    {"adqt", p::kActualCumulativeQuantity, ValueForm::kAsDelivered},
    {"awrh", p::kActualWarehouse, ValueForm::kEscaped},
    {"cups", p::kSalesPriceUnit, ValueForm::kEscaped},
    {"cuqs", p::kSalesQuantityUnit, ValueForm::kEscaped},
    {"qtdl", p::kDeliveredQuantity, ValueForm::kAsDelivered},
    {"qtsd", p::kSubsequentDeliveredQuantity, ValueForm::kAsDelivered},
    {"pris", p::kSalesPrice, ValueForm::kAsDelivered},
    {"asto", p::kTotalSalesAmount, ValueForm::kAsDelivered},
    {"asco", p::kContractSales, ValueForm::kAsDelivered},
    {"aswa", p::kWarrantySales, ValueForm::kAsDelivered},
    {"disc", p::kDiscount, ValueForm::kAsDelivered},
    {"asdi", p::kDiscountAmount, ValueForm::kAsDelivered},
    {"inam", p::kInvoicingAmount, ValueForm::kAsDelivered},
    {"txam", p::kTaxAmount, ValueForm::kAsDelivered},
};

// The labor line, in document order.
constexpr ElementRow kLaborElements[] = {
    {"ctsk", p::kTask, ValueForm::kEscaped},
    {"ccmp", p::kCostComponent, ValueForm::kEscaped},
    {"chlt", p::kHourlyLaborType, ValueForm::kEscaped},
    {"acqt", p::kActualQuantity, ValueForm::kAsDelivered},
    {"eqtm", p::kEstimatedQuantity, ValueForm::kAsDelivered},
    {"aswr", p::kSalesRate, ValueForm::kAsDelivered},
    {"asto", p::kTotalSalesAmount, ValueForm::kAsDelivered},
    {"asco", p::kContractSales, ValueForm::kAsDelivered},
    {"aswa", p::kWarrantySales, ValueForm::kAsDelivered},
    {"disc", p::kDiscount, ValueForm::kAsDelivered},
    {"asdi", p::kDiscountAmount, ValueForm::kAsDelivered},
    {"inam", p::kInvoicingAmount, ValueForm::kAsDelivered},
    {"txam", p::kTaxAmount, ValueForm::kAsDelivered},
};

// The other line, in document order.
constexpr ElementRow kOtherElements[] = {
    {"cotp", p::kCostType, ValueForm::kAsDelivered},
    {"desc", p::kOtherDescription, ValueForm::kAsDelivered},
    {"ccmp", p::kCostComponent, ValueForm::kEscaped},
    {"aqan", p::kActualCumulativeTimeQuantity, ValueForm::kAsDelivered},
    {"acpr", p::kActualCostPrice, ValueForm::kAsDelivered},
    {"afrq", p::kActualFrequency, ValueForm::kAsDelivered},
    {"cuni", p::kUnit, ValueForm::kEscaped},
    {"eqan", p::kEstimatedQuantity, ValueForm::kAsDelivered},
    {"pris", p::kSalesPrice, ValueForm::kAsDelivered},
    {"asto", p::kTotalSalesAmount, ValueForm::kAsDelivered},
    {"asco", p::kContractSales, ValueForm::kAsDelivered},
    {"aswa", p::kWarrantySales, ValueForm::kAsDelivered},
    {"disc", p::kDiscount, ValueForm::kAsDelivered},
    {"asdi", p::kDiscountAmount, ValueForm::kAsDelivered},
    {"inam", p::kInvoicingAmount, ValueForm::kAsDelivered},
    {"txam", p::kTaxAmount, ValueForm::kAsDelivered},
    {"lcur", p::kCostCurrency, ValueForm::kAsDelivered},
};

// The inspection line, in document order.
constexpr ElementRow kInspectionElements[] = {
    {"rgtm", p::kRegistrationTime, ValueForm::kAsDelivered},
    {"mivl", p::kMeasuredIndependentValue, ValueForm::kAsDelivered},
    {"mdvl", p::kMeasuredDependentValue, ValueForm::kAsDelivered},
};
// Appends the escaped chunks of a text container, without separator.
void WriteTextList(std::string& out, const Variant& answer, std::string_view getter) {
  const ObjectPtr list = RequireObject(answer, getter);
  const std::int32_t count = AskCount(list, graph::kTextValue.size);
  for (std::int32_t index = 0; index < count; ++index) {
    const ObjectPtr chunk =
        RequireObject(AskAt(list, graph::kTextValue.at, index), graph::kTextValue.at);
    AppendEscaped(out, Ask(chunk, graph::kGetText), graph::kGetText);
  }
}

}  // namespace

std::span<const ElementRow> OrderDetailsElements() { return kOrderDetailsElements; }
std::span<const ElementRow> ActivityDetailsElements() { return kActivityDetailsElements; }
std::span<const ElementRow> MaterialElements() { return kMaterialElements; }
std::span<const ElementRow> LaborElements() { return kLaborElements; }
std::span<const ElementRow> OtherElements() { return kOtherElements; }
std::span<const ElementRow> InspectionElements() { return kInspectionElements; }

void WriteElements(std::string& out, const ObjectPtr& source, std::span<const ElementRow> rows) {
  for (const ElementRow& row : rows) {
    if (!AskPresence(source, row.property.has)) continue;
    const Variant value = Ask(source, row.property.get);
    out += row.tags.start();
    switch (row.form) {
      case ValueForm::kEscaped:
        AppendEscaped(out, value, row.property.get);
        break;
      case ValueForm::kAsDelivered:
        AppendAsDelivered(out, value, row.property.get);
        break;
      case ValueForm::kTextList:
        WriteTextList(out, value, row.property.get);
        break;
    }
    out += row.tags.end();
  }
}

}  // namespace tqs::server::download::internal
