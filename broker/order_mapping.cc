#include "broker/order_mapping.h"

#include <exception>
#include <optional>
#include <string>
#include <utility>

#include "broker/element_rule.h"
#include "common/erp/job_sheets.h"
#include "common/error.h"
#include "common/utf8.h"

namespace tqs::broker {

namespace {

namespace js = erp::job_sheets;
namespace p = erp::job_sheets::property;
using automation::ObjectPtr;
using automation::Variant;

// The service order's details, in the order they are handed over. `txta` follows as text.
constexpr ElementSetter kOrderDetailRows[] = {
    {"osta", p::kOrderStatus.set},
    {"ccfg", p::kConfiguration.set},
    {"ofbp", p::kBusinessPartner.set},
    {"lcad", p::kLocation.set},
    {"ofcn", p::kContact.set},
    {"refa", p::kReference.set},
    {"ordt", p::kOrderDate.set},
    {"pstm", p::kPlannedStart.set},
    {"pftm", p::kPlannedFinish.set},
    {"astm", p::kExecutionStart.set},
    {"aftm", p::kExecutionFinish.set},
    {"emno", p::kEngineer.set},
    {"cwoc", p::kServiceCenter.set},
    {"csar", p::kServiceArea.set},
    {"emer", p::kEmergency.set},
    {"ityn", p::kInterrupted.set},
    {"crit", p::kInterruptReason.set},
    {"cdis", p::kCancelReason.set},
    {"cadt", p::kCancelDate.set},
    {"ccur", p::kCurrency.set},
    {"asto", p::kTotalSalesAmount.set},
    {"asco", p::kContractSales.set},
    {"aswa", p::kWarrantySales.set},
    {"asdi", p::kDiscountAmount.set},
    {"inam", p::kInvoicingAmount.set},
    {"txam", p::kTaxAmount.set},
    {"indt", p::kOfflineInvoiceDate.set},
};

// An activity's details, in the order they are handed over. The three texts follow.
constexpr ElementSetter kActivityDetailRows[] = {
    {"asta", p::kActivityStatus.set},
    {"desc", p::kActivityDescription.set},
    {"pstm", p::kPlannedStart.set},
    {"pftm", p::kPlannedFinish.set},
    {"astm", p::kExecutionStart.set},
    {"aftm", p::kExecutionFinish.set},
    {"ccfg", p::kConfiguration.set},
    {"crob", p::kObject.set},
    {"oseq", p::kObjectNumber.set},
    {"cmdl", p::kModelItem.set},
    {"crtc", p::kResponseTime.set},
    {"prpr", p::kProblemPriority.set},
    {"cprl", p::kProblem.set},
    {"cstn", p::kSolution.set},
    {"crac", p::kReferenceActivity.set},
    {"cstp", p::kServiceType.set},
    {"chme", p::kChangeMethod.set},
    {"cron", p::kNewObject.set},
    {"osqn", p::kNewObjectNo.set},
    {"croo", p::kOriginalObject.set},
    {"osqo", p::kOriginalObjectNo.set},
    {"cova", p::kMainCounterValue.set},
    {"aivl", p::kActualIndependentValue.set},
    {"nivl", p::kPlannedIndependentValue.set},
    {"advl", p::kActualDependentValue.set},
    {"pdvl", p::kPlannedDependentValue.set},
    {"expr", p::kExpectedProblem.set},
    {"exsl", p::kExpectedSolution.set},
    {"rprl", p::kReportedProblem.set},
};

// A payment's values: text, except the two amounts.
enum class PaymentValue { kText, kAmount };
struct PaymentRow {
  std::string_view element;
  std::string_view setter;
  PaymentValue value;
};
constexpr PaymentRow kPaymentRows[] = {
    {"mpay", p::kPaymentMode.set, PaymentValue::kText},
    {"amnt", p::kAmountInPaymentCurrency.set, PaymentValue::kAmount},
    {"pcur", p::kPaymentCurrency.set, PaymentValue::kText},
    {"hamt", p::kAmountInHeaderCurrency.set, PaymentValue::kAmount},
    {"infa", p::kInformationA.set, PaymentValue::kText},
    {"infb", p::kInformationB.set, PaymentValue::kText},
};

// Calls `method` with one object passed by reference.
void PassObject(automation::Object& target, std::string_view method, const ObjectPtr& object) {
  Variant args[] = {Variant(object)};
  target.Invoke(method, args);
}

}  // namespace

std::vector<std::string> SplitIntoTextChunks(std::string_view text) {
  return CharacterChunks(text, kTextChunkLength);
}

OrderMapping::OrderMapping(frmTQSRemoteBroker& window, const ErrorLog& error_log,
                           const automation::ComponentRegistry& components,
                           RegionalSettings settings)
    : window_(window),
      error_log_(error_log),
      components_(components),
      settings_(std::move(settings)),
      reporter_(window, error_log) {}

void OrderMapping::SetText(pugi::xml_node parent, std::string_view code, const ObjectPtr& container,
                           std::string_view setter, automation::Object& details) const {
  const std::optional<std::string> text = ElementText(parent, code);
  if (!text) return;
  for (std::string& chunk : SplitIntoTextChunks(*text)) {
    const ObjectPtr value = components_.Create(js::prog_id::kTextValue);
    value->Call(js::graph::kSetText, {Variant(std::move(chunk))});
    PassObject(*container, js::graph::kTextValue.add, value);
  }
  PassObject(details, setter, container);
}

ObjectPtr OrderMapping::GetOrderDetails(pugi::xml_node i_oOrderNode) const {
  try {
    if (!HasChildNodes(i_oOrderNode)) return nullptr;
    const ObjectPtr details = components_.Create(js::prog_id::kOrderDetails);
    const ObjectPtr order_text = components_.Create(js::prog_id::kOrderText);
    ApplyElements(i_oOrderNode, kOrderDetailRows, *details);
    SetText(i_oOrderNode, "txta", order_text, p::kOrderText.set, *details);
    return details;
  } catch (const std::exception& error) {
    reporter_.Report("GetOrderDetails", ErrorPrefix::kErrorColon, error);
    return nullptr;
  }
}

ObjectPtr OrderMapping::GetActivityDetails(pugi::xml_node i_oActivityNode) const {
  try {
    if (!HasChildNodes(i_oActivityNode)) return nullptr;
    const ObjectPtr details = components_.Create(js::prog_id::kActivityDetails);
    const ObjectPtr activity_text = components_.Create(js::prog_id::kActivityText);
    const ObjectPtr call_text = components_.Create(js::prog_id::kCallText);
    const ObjectPtr solution_text = components_.Create(js::prog_id::kSolutionText);
    ApplyElements(i_oActivityNode, kActivityDetailRows, *details);
    SetText(i_oActivityNode, "txta", activity_text, p::kActivityText.set, *details);
    SetText(i_oActivityNode, "txtb", call_text, p::kCallText.set, *details);
    SetText(i_oActivityNode, "txtc", solution_text, p::kSolutionText.set, *details);
    return details;
  } catch (const std::exception& error) {
    // This handler sets its line apart with a line break before it.
    std::string line(kCrLf);
    line += error.what();
    line += kCrLf;
    window_.txtProcessStatus.Append(line);
    error_log_.WriteErrorLogEntry(window_.m_sErrorLogFile, "GetActivityDetails",
                                  ErrorPrefix::kError, error.what());
    return nullptr;
  }
}

ObjectPtr OrderMapping::GetPaymentDetails(pugi::xml_node oPayment) const {
  const ObjectPtr payment = components_.Create(js::prog_id::kPaymentData);
  for (const PaymentRow& row : kPaymentRows) {
    std::optional<std::string> text = ElementText(oPayment, row.element);
    if (!text) continue;
    if (row.value == PaymentValue::kText) {
      payment->Call(row.setter, {Variant(std::move(*text))});
      continue;
    }
    const std::optional<double> amount = ParseNumber(*text, settings_);
    if (!amount) {
      throw Error(error_number::kTypeMismatch, "Type mismatch: the payment amount " +
                                                   std::string(row.element) + " '" + *text +
                                                   "' is not a number");
    }
    payment->Call(row.setter, {Variant(*amount)});
  }
  return payment;
}

}  // namespace tqs::broker
