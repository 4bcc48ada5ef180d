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
    "<osta>getOrderStatus&'</osta><ccfg>getConfiguration&amp;&apos;</ccfg>"
    "<ofbp>getBusinessPartner&amp;&apos;</ofbp><nama>getBusinessPartnerName&amp;&apos;</nama>"
    "<ccur>getCurrency&amp;&apos;</ccur><lcad>getLocation&amp;&apos;</lcad>"
    "<ofcn>getContact&amp;&apos;</ofcn><refa>getReference&amp;&apos;</refa>"
    "<ordt>getOrderDate&'</ordt><pstm>getPlannedStart&'</pstm><pftm>getPlannedFinish&'</pftm>"
    "<estm>getEarliestStart&'</estm><lftm>getLatestFinish&'</lftm>"
    "<astm>getExecutionStart&'</astm><aftm>getExecutionFinish&'</aftm>"
    "<emno>getEngineer&amp;&apos;</emno><emna>getEngineerName&amp;&apos;</emna>"
    "<cwoc>getServiceCenter&amp;&apos;</cwoc><csar>getServiceArea&amp;&apos;</csar>"
    "<emer>getEmergency&'</emer><ityn>getInterrupted&'</ityn>"
    "<crit>getInterruptReason&amp;&apos;</crit><cdis>getCancelReason&amp;&apos;</cdis>"
    "<cadt>getCancelDate&'</cadt><csco>getContract&amp;&apos;</csco>"
    "<asto>getTotalSalesAmount&'</asto><asco>getContractSales&'</asco>"
    "<aswa>getWarrantySales&'</aswa><asdi>getDiscountAmount&'</asdi>"
    "<inam>getInvoicingAmount&'</inam><txam>getTaxAmount&'</txam>"
    "<indt>getOfflineInvoiceDate&'</indt><txtb>getInvoiceText&amp;1&lt;2&gt;&apos;3</txtb>"
    "<txta>getOrderText&amp;1&lt;2&gt;&apos;3</txta>";

constexpr std::string_view kActivityDetailsText =
    "<asta>getActivityStatus&'</asta><desc>getActivityDescription&amp;&apos;</desc>"
    "<pstm>getPlannedStart&'</pstm><pftm>getPlannedFinish&'</pftm>"
    "<estm>getEarliestStart&'</estm><lftm>getLatestFinish&'</lftm>"
    "<astm>getExecutionStart&'</astm><aftm>getExecutionFinish&'</aftm>"
    "<ccfg>getConfiguration&amp;&apos;</ccfg><crob>GetObject&amp;&apos;</crob>"
    "<oseq>getObjectNumber&'</oseq><cmdl>getModelItem&amp;&apos;</cmdl>"
    "<ccll>getCall&amp;&apos;</ccll><crtc>getResponseTime&amp;&apos;</crtc>"
    "<prpr>getProblemPriority&'</prpr><cprl>getProblem&amp;&apos;</cprl>"
    "<cstn>getSolution&amp;&apos;</cstn><crac>getReferenceActivity&amp;&apos;</crac>"
    "<cstp>getServiceType&amp;&apos;</cstp><chme>getChangeMethod&'</chme>"
    "<croo>getOriginalObject&amp;&apos;</croo><osqo>getOriginalObjectNo&'</osqo>"
    "<cron>getNewObject&amp;&apos;</cron><osqn>getNewObjectNo&'</osqn>"
    "<cova>getMainCounterValue&'</cova><aivl>getActualIndependentValue&'</aivl>"
    "<nivl>getPlannedIndependentValue&'</nivl><advl>getActualDependentValue&'</advl>"
    "<pdvl>getPlannedDependentValue&'</pdvl><expr>getExpectedProblem&amp;&apos;</expr>"
    "<exsl>getExpectedSolution&amp;&apos;</exsl><rprl>getReportedProblem&amp;&apos;</rprl>"
    "<asto>getTotalSalesAmount&'</asto><asco>getContractSales&'</asco>"
    "<aswa>getWarrantySales&'</aswa><asdi>getDiscountAmount&'</asdi>"
    "<inam>getInvoicingAmount&'</inam><txam>getTaxAmount&'</txam>"
    "<txta>getActivityText&amp;1&lt;2&gt;&apos;3</txta>"
    "<txtb>getCallText&amp;1&lt;2&gt;&apos;3</txtb>"
    "<txtc>getSolutionText&amp;1&lt;2&gt;&apos;3</txtc>";

constexpr std::string_view kMaterialText =
    "<item>getItem&amp;&apos;</item><dltp>getDeliveryType&'</dltp>"
    "<cskt>getServiceKit&amp;&apos;</cskt><ccmp>getCostComponent&amp;&apos;</ccmp>"
    "<eqan>getEstimatedQuantity&'</eqan><adqt>getActualCumulativeQuantity&'</adqt>"
    "<awrh>getActualWarehouse&amp;&apos;</awrh><cups>getSalesPriceUnit&amp;&apos;</cups>"
    "<cuqs>getSalesQuantityUnit&amp;&apos;</cuqs><qtdl>getDeliveredQuantity&'</qtdl>"
    "<qtsd>getSubsequentDeliveredQuantity&'</qtsd><pris>getSalesPrice&'</pris>"
    "<asto>getTotalSalesAmount&'</asto><asco>getContractSales&'</asco>"
    "<aswa>getWarrantySales&'</aswa><disc>getDiscount&'</disc>"
    "<asdi>getDiscountAmount&'</asdi><inam>getInvoicingAmount&'</inam>"
    "<txam>getTaxAmount&'</txam>";

constexpr std::string_view kLaborText =
    "<ctsk>getTask&amp;&apos;</ctsk><ccmp>getCostComponent&amp;&apos;</ccmp>"
    "<chlt>getHourlyLaborType&amp;&apos;</chlt><acqt>getActualQuantity&'</acqt>"
    "<eqtm>getEstimatedQuantity&'</eqtm><aswr>getSalesRate&'</aswr>"
    "<asto>getTotalSalesAmount&'</asto><asco>getContractSales&'</asco>"
    "<aswa>getWarrantySales&'</aswa><disc>getDiscount&'</disc>"
    "<asdi>getDiscountAmount&'</asdi><inam>getInvoicingAmount&'</inam>"
    "<txam>getTaxAmount&'</txam>";

constexpr std::string_view kOtherText =
    "<cotp>getCostType&'</cotp><desc>getOtherDescription&'</desc>"
    "<ccmp>getCostComponent&amp;&apos;</ccmp><aqan>getActualCumulativeTimeQuantity&'</aqan>"
    "<acpr>getActualCostPrice&'</acpr><afrq>getActualFrequency&'</afrq>"
    "<cuni>getUnit&amp;&apos;</cuni><eqan>getEstimatedQuantity&'</eqan>"
    "<pris>getSalesPrice&'</pris><asto>getTotalSalesAmount&'</asto>"
    "<asco>getContractSales&'</asco><aswa>getWarrantySales&'</aswa><disc>getDiscount&'</disc>"
    "<asdi>getDiscountAmount&'</asdi><inam>getInvoicingAmount&'</inam>"
    "<txam>getTaxAmount&'</txam><lcur>getCostCurrency&'</lcur>";

constexpr std::string_view kInspectionText =
    "<rgtm>getRegistrationTime&'</rgtm><mivl>getMeasuredIndependentValue&'</mivl>"
    "<mdvl>getMeasuredDependentValue&'</mdvl>";
}  // namespace tqs::test_support

#endif  // TQS_TESTS_SERVER_DOWNLOAD_ERP_SCRIPT_H_
