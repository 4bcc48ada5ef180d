// ErpScript scripts ERP data objects for the download tests on a RecordingComponents double.
// Every object it makes has an identifier of its own ("Script.<name>"), so its answers are its
// own and the journal names it "<name>#1". Objects created by the code under test through the
// registry (managers, input objects) are answered with RecordingComponents::OnCall as usual.
//
// AnswerAllDetails() makes every object answer the presence tests of all details and line
// elements with true and their getters with the getter's own name followed by "&'", text
// properties with a container of the three chunks "<getter>&1", "<2>" and "'3"; single objects
// override this with their own answers. The expected texts below are the elements that such an
// object yields, in document order.
//
// Not thread-safe; one per test.
#ifndef TQS_TESTS_SERVER_DOWNLOAD_ERP_SCRIPT_H_
#define TQS_TESTS_SERVER_DOWNLOAD_ERP_SCRIPT_H_

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/automation/component_registry.h"
#include "tests/support/recording_components.h"

namespace tqs::test_support {

class ErpScript {
 public:
  ErpScript();

  RecordingComponents& erp() { return *erp_; }
  const std::shared_ptr<RecordingComponents>& components() const { return erp_; }

  // An object answering `answers` (method, value); other methods answer Empty.
  ObjectPtr Object(const std::string& name,
                   std::vector<std::pair<std::string, Variant>> answers = {});
  // One more answer of an object made by Object() or List().
  void Answer(const std::string& name, const std::string& method, Variant value);
  // One more answer that raises `error`.
  void Raise(const std::string& name, const std::string& method, Error error);
  // A list object: `size_method` answers the number of entries (Int32), `at_method`(index)
  // answers the entry at the index.
  ObjectPtr List(const std::string& name, const std::string& size_method,
                 const std::string& at_method, std::vector<Variant> entries);

  // See the class comment.
  void AnswerAllDetails();

 private:
  static std::string ProgId(std::string_view name) { return "Script." + std::string(name); }

  std::shared_ptr<RecordingComponents> erp_;
  int text_lists_ = 0;
};

// The elements that AnswerAllDetails() yields, in document order.
constexpr std::string_view kOrderDetailsText =
    "<osta>getOrderStatus&amp;&apos;</osta><ccfg>getConfiguration&amp;&apos;</ccfg>"
    "<ofbp>getBusinessPartner&amp;&apos;</ofbp><nama>getBusinessPartnerName&amp;&apos;</nama>"
    "<ccur>getCurrency&amp;&apos;</ccur><lcad>getLocation&amp;&apos;</lcad>"
    "<ofcn>getContact&amp;&apos;</ofcn><refa>getReference&amp;&apos;</refa>"
    "<ordt>getOrderDate&amp;&apos;</ordt><pstm>getPlannedStart&amp;&apos;</pstm>"
    "<pftm>getPlannedFinish&amp;&apos;</pftm>"
    "<estm>getEarliestStart&amp;&apos;</estm><lftm>getLatestFinish&amp;&apos;</lftm>"
    "<astm>getExecutionStart&amp;&apos;</astm><aftm>getExecutionFinish&amp;&apos;</aftm>"
    "<emno>getEngineer&amp;&apos;</emno><emna>getEngineerName&amp;&apos;</emna>"
    "<cwoc>getServiceCenter&amp;&apos;</cwoc><csar>getServiceArea&amp;&apos;</csar>"
    "<emer>getEmergency&amp;&apos;</emer><ityn>getInterrupted&amp;&apos;</ityn>"
    "<crit>getInterruptReason&amp;&apos;</crit><cdis>getCancelReason&amp;&apos;</cdis>"
    "<cadt>getCancelDate&amp;&apos;</cadt><csco>getContract&amp;&apos;</csco>"
    "<asto>getTotalSalesAmount&amp;&apos;</asto><asco>getContractSales&amp;&apos;</asco>"
    "<aswa>getWarrantySales&amp;&apos;</aswa><asdi>getDiscountAmount&amp;&apos;</asdi>"
    "<inam>getInvoicingAmount&amp;&apos;</inam><txam>getTaxAmount&amp;&apos;</txam>"
    "<indt>getOfflineInvoiceDate&amp;&apos;</indt><txtb>getInvoiceText&amp;1&lt;2&gt;&apos;3</txtb>"
    "<txta>getOrderText&amp;1&lt;2&gt;&apos;3</txta>";

constexpr std::string_view kActivityDetailsText =
    "<asta>getActivityStatus&amp;&apos;</asta><desc>getActivityDescription&amp;&apos;</desc>"
    "<pstm>getPlannedStart&amp;&apos;</pstm><pftm>getPlannedFinish&amp;&apos;</pftm>"
    "<estm>getEarliestStart&amp;&apos;</estm><lftm>getLatestFinish&amp;&apos;</lftm>"
    "<astm>getExecutionStart&amp;&apos;</astm><aftm>getExecutionFinish&amp;&apos;</aftm>"
    "<ccfg>getConfiguration&amp;&apos;</ccfg><crob>GetObject&amp;&apos;</crob>"
    "<oseq>getObjectNumber&amp;&apos;</oseq><cmdl>getModelItem&amp;&apos;</cmdl>"
    "<ccll>getCall&amp;&apos;</ccll><crtc>getResponseTime&amp;&apos;</crtc>"
    "<prpr>getProblemPriority&amp;&apos;</prpr><cprl>getProblem&amp;&apos;</cprl>"
    "<cstn>getSolution&amp;&apos;</cstn><crac>getReferenceActivity&amp;&apos;</crac>"
    "<cstp>getServiceType&amp;&apos;</cstp><chme>getChangeMethod&amp;&apos;</chme>"
    "<croo>getOriginalObject&amp;&apos;</croo><osqo>getOriginalObjectNo&amp;&apos;</osqo>"
    "<cron>getNewObject&amp;&apos;</cron><osqn>getNewObjectNo&amp;&apos;</osqn>"
    "<cova>getMainCounterValue&amp;&apos;</cova><aivl>getActualIndependentValue&amp;&apos;</aivl>"
    "<nivl>getPlannedIndependentValue&amp;&apos;</nivl>"
    "<advl>getActualDependentValue&amp;&apos;</advl>"
    "<pdvl>getPlannedDependentValue&amp;&apos;</pdvl><expr>getExpectedProblem&amp;&apos;</expr>"
    "<exsl>getExpectedSolution&amp;&apos;</exsl><rprl>getReportedProblem&amp;&apos;</rprl>"
    "<asto>getTotalSalesAmount&amp;&apos;</asto><asco>getContractSales&amp;&apos;</asco>"
    "<aswa>getWarrantySales&amp;&apos;</aswa><asdi>getDiscountAmount&amp;&apos;</asdi>"
    "<inam>getInvoicingAmount&amp;&apos;</inam><txam>getTaxAmount&amp;&apos;</txam>"
    "<txta>getActivityText&amp;1&lt;2&gt;&apos;3</txta>"
    "<txtb>getCallText&amp;1&lt;2&gt;&apos;3</txtb>"
    "<txtc>getSolutionText&amp;1&lt;2&gt;&apos;3</txtc>";

constexpr std::string_view kMaterialText =
    "<item>getItem&amp;&apos;</item><dltp>getDeliveryType&amp;&apos;</dltp>"
    "<cskt>getServiceKit&amp;&apos;</cskt><ccmp>getCostComponent&amp;&apos;</ccmp>"
    "<eqan>getEstimatedQuantity&amp;&apos;</eqan>"
    "<adqt>getActualCumulativeQuantity&amp;&apos;</adqt>"
    "<awrh>getActualWarehouse&amp;&apos;</awrh><cups>getSalesPriceUnit&amp;&apos;</cups>"
    "<cuqs>getSalesQuantityUnit&amp;&apos;</cuqs><qtdl>getDeliveredQuantity&amp;&apos;</qtdl>"
    "<qtsd>getSubsequentDeliveredQuantity&amp;&apos;</qtsd><pris>getSalesPrice&amp;&apos;</pris>"
    "<asto>getTotalSalesAmount&amp;&apos;</asto><asco>getContractSales&amp;&apos;</asco>"
    "<aswa>getWarrantySales&amp;&apos;</aswa><disc>getDiscount&amp;&apos;</disc>"
    "<asdi>getDiscountAmount&amp;&apos;</asdi><inam>getInvoicingAmount&amp;&apos;</inam>"
    "<txam>getTaxAmount&amp;&apos;</txam>";

constexpr std::string_view kLaborText =
    "<ctsk>getTask&amp;&apos;</ctsk><ccmp>getCostComponent&amp;&apos;</ccmp>"
    "<chlt>getHourlyLaborType&amp;&apos;</chlt><acqt>getActualQuantity&amp;&apos;</acqt>"
    "<eqtm>getEstimatedQuantity&amp;&apos;</eqtm><aswr>getSalesRate&amp;&apos;</aswr>"
    "<asto>getTotalSalesAmount&amp;&apos;</asto><asco>getContractSales&amp;&apos;</asco>"
    "<aswa>getWarrantySales&amp;&apos;</aswa><disc>getDiscount&amp;&apos;</disc>"
    "<asdi>getDiscountAmount&amp;&apos;</asdi><inam>getInvoicingAmount&amp;&apos;</inam>"
    "<txam>getTaxAmount&amp;&apos;</txam>";

constexpr std::string_view kOtherText =
    "<cotp>getCostType&amp;&apos;</cotp><desc>getOtherDescription&amp;&apos;</desc>"
    "<ccmp>getCostComponent&amp;&apos;</ccmp>"
    "<aqan>getActualCumulativeTimeQuantity&amp;&apos;</aqan>"
    "<acpr>getActualCostPrice&amp;&apos;</acpr><afrq>getActualFrequency&amp;&apos;</afrq>"
    "<cuni>getUnit&amp;&apos;</cuni><eqan>getEstimatedQuantity&amp;&apos;</eqan>"
    "<pris>getSalesPrice&amp;&apos;</pris><asto>getTotalSalesAmount&amp;&apos;</asto>"
    "<asco>getContractSales&amp;&apos;</asco><aswa>getWarrantySales&amp;&apos;</aswa>"
    "<disc>getDiscount&amp;&apos;</disc>"
    "<asdi>getDiscountAmount&amp;&apos;</asdi><inam>getInvoicingAmount&amp;&apos;</inam>"
    "<txam>getTaxAmount&amp;&apos;</txam><lcur>getCostCurrency&amp;&apos;</lcur>";

constexpr std::string_view kInspectionText =
    "<rgtm>getRegistrationTime&amp;&apos;</rgtm><mivl>getMeasuredIndependentValue&amp;&apos;</mivl>"
    "<mdvl>getMeasuredDependentValue&amp;&apos;</mdvl>";
}  // namespace tqs::test_support

#endif  // TQS_TESTS_SERVER_DOWNLOAD_ERP_SCRIPT_H_
