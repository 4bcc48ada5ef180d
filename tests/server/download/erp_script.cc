#include "tests/server/download/erp_script.h"

namespace tqs::test_support {

namespace {

// Presence test and getter of every details and line element.
constexpr std::pair<std::string_view, std::string_view> kValueProperties[] = {
    {"hasOrderStatus", "getOrderStatus"},
    {"hasConfiguration", "getConfiguration"},
    {"hasBusinessPartner", "getBusinessPartner"},
    {"hasBusinessPartnerName", "getBusinessPartnerName"},
    {"hasCurrency", "getCurrency"},
    {"hasLocation", "getLocation"},
    {"hasContact", "getContact"},
    {"hasReference", "getReference"},
    {"hasOrderDate", "getOrderDate"},
    {"hasPlannedStart", "getPlannedStart"},
    {"hasPlannedFinish", "getPlannedFinish"},
    {"hasEarliestStart", "getEarliestStart"},
    {"hasLatestFinish", "getLatestFinish"},
    {"hasExecutionStart", "getExecutionStart"},
    {"hasExecutionFinish", "getExecutionFinish"},
    {"hasEngineer", "getEngineer"},
    {"hasEngineerName", "getEngineerName"},
    {"hasServiceCenter", "getServiceCenter"},
    {"hasServiceArea", "getServiceArea"},
    {"hasEmergency", "getEmergency"},
    {"hasInterrupted", "getInterrupted"},
    {"hasInterruptReason", "getInterruptReason"},
    {"hasCancelReason", "getCancelReason"},
    {"hasCancelDate", "getCancelDate"},
    {"hasContract", "getContract"},
    {"hasTotalSalesAmount", "getTotalSalesAmount"},
    {"hasContractSales", "getContractSales"},
    {"hasWarrantySales", "getWarrantySales"},
    {"hasDiscountAmount", "getDiscountAmount"},
    {"hasInvoicingAmount", "getInvoicingAmount"},
    {"hasTaxAmount", "getTaxAmount"},
    {"hasOfflineInvoiceDate", "getOfflineInvoiceDate"},
    {"hasActivityStatus", "getActivityStatus"},
    {"hasActivityDescription", "getActivityDescription"},
    {"hasObject", "GetObject"},
    {"hasObjectNumber", "getObjectNumber"},
    {"hasModelItem", "getModelItem"},
    {"hasCall", "getCall"},
    {"hasResponseTime", "getResponseTime"},
    {"hasProblemPriority", "getProblemPriority"},
    {"hasProblem", "getProblem"},
    {"hasSolution", "getSolution"},
    {"hasReferenceActivity", "getReferenceActivity"},
    {"hasServiceType", "getServiceType"},
    {"hasChangeMethod", "getChangeMethod"},
    {"hasOriginalObject", "getOriginalObject"},
    {"hasOriginalObjectNo", "getOriginalObjectNo"},
    {"hasNewObject", "getNewObject"},
    {"hasNewObjectNo", "getNewObjectNo"},
    {"hasMainCounterValue", "getMainCounterValue"},
    {"hasActualIndependentValue", "getActualIndependentValue"},
    {"hasPlannedIndependentValue", "getPlannedIndependentValue"},
    {"hasActualDependentValue", "getActualDependentValue"},
    {"hasPlannedDependentValue", "getPlannedDependentValue"},
    {"hasExpectedProblem", "getExpectedProblem"},
    {"hasExpectedSolution", "getExpectedSolution"},
    {"hasReportedProblem", "getReportedProblem"},
    {"hasItem", "getItem"},
    {"hasDeliveryType", "getDeliveryType"},
    {"hasServiceKit", "getServiceKit"},
    {"hasCostComponent", "getCostComponent"},
    {"hasEstimatedQuantity", "getEstimatedQuantity"},
    {"hasActualCumulativeQuantity", "getActualCumulativeQuantity"},
    {"hasActualWarehouse", "getActualWarehouse"},
    {"hasSalesPriceUnit", "getSalesPriceUnit"},
    {"hasSalesQuantityUnit", "getSalesQuantityUnit"},
    {"hasDeliveredQuantity", "getDeliveredQuantity"},
    {"hasSubsequentDeliveredQuantity", "getSubsequentDeliveredQuantity"},
    {"hasSalesPrice", "getSalesPrice"},
    {"hasDiscount", "getDiscount"},
    {"hasTask", "getTask"},
    {"hasHourlyLaborType", "getHourlyLaborType"},
    {"hasActualQuantity", "getActualQuantity"},
    {"hasSalesRate", "getSalesRate"},
    {"hasCostType", "getCostType"},
    {"hasOtherDescription", "getOtherDescription"},
    {"hasActualCumulativeTimeQuantity", "getActualCumulativeTimeQuantity"},
    {"hasActualCostPrice", "getActualCostPrice"},
    {"hasActualFrequency", "getActualFrequency"},
    {"hasUnit", "getUnit"},
    {"hasCostCurrency", "getCostCurrency"},
    {"hasRegistrationTime", "getRegistrationTime"},
    {"hasMeasuredIndependentValue", "getMeasuredIndependentValue"},
    {"hasMeasuredDependentValue", "getMeasuredDependentValue"},
};

// Presence test and getter of every text list element.
constexpr std::pair<std::string_view, std::string_view> kTextProperties[] = {
    {"hasInvoiceText", "getInvoiceText"},   {"hasOrderText", "getOrderText"},
    {"hasActivityText", "getActivityText"}, {"hasCallText", "getCallText"},
    {"hasSolutionText", "getSolutionText"},
};

}  // namespace

ErpScript::ErpScript() : erp_(std::make_shared<RecordingComponents>()) {}

ObjectPtr ErpScript::Object(const std::string& name,
                            std::vector<std::pair<std::string, Variant>> answers) {
  ObjectPtr object = erp_->NewObject(ProgId(name));
  for (auto& [method, value] : answers) erp_->Returns(ProgId(name), method, std::move(value));
  return object;
}

void ErpScript::Answer(const std::string& name, const std::string& method, Variant value) {
  erp_->Returns(ProgId(name), method, std::move(value));
}

void ErpScript::Raise(const std::string& name, const std::string& method, Error error) {
  erp_->Throws(ProgId(name), method, std::move(error));
}

ObjectPtr ErpScript::List(const std::string& name, const std::string& size_method,
                          const std::string& at_method, std::vector<Variant> entries) {
  ObjectPtr list = erp_->NewObject(ProgId(name));
  erp_->Returns(ProgId(name), size_method, Variant(static_cast<std::int32_t>(entries.size())));
  erp_->OnCall(ProgId(name), at_method, [entries](std::span<Variant> args) {
    return entries.at(static_cast<std::size_t>(args[0].AsInt32()));
  });
  return list;
}

void ErpScript::AnswerAllDetails() {
  for (const auto& [has, get] : kValueProperties) {
    erp_->Returns("*", has, Variant(true));
    erp_->Returns("*", get, Variant(std::string(get) + "&'"));
  }
  for (const auto& [has, get] : kTextProperties) {
    const std::string prefix = "text" + std::to_string(++text_lists_);
    std::vector<Variant> chunks;
    for (const std::string& chunk :
         {std::string(get) + "&1", std::string("<2>"), std::string("'3")}) {
      chunks.emplace_back(Object(prefix + "chunk" + std::to_string(chunks.size() + 1),
                                 {{"GetText", Variant(chunk)}}));
    }
    erp_->Returns("*", has, Variant(true));
    erp_->Returns("*", get,
                  Variant(List(prefix, "sizeTextValue", "getTextValueAt", std::move(chunks))));
  }
}

}  // namespace tqs::test_support
