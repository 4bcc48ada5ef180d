// The job sheet document of one service order: head attributes, details, activities.
#include <string>

#include "common/erp/job_sheets.h"
#include "server/download/erp_values_internal.h"
#include "server/download/job_sheet_document.h"
#include "server/download/job_sheet_writer_internal.h"

namespace tqs::server::download {

namespace internal {

namespace js = erp::job_sheets;

void WriteServiceOrder(std::string& out, const Variant& service_order) {
  namespace attribute = js::attribute;
  namespace graph = js::graph;
  const ObjectPtr order = RequireObject(service_order, js::download::kServiceOrderData.get);

  // The laptop finds the invoice id under "invoiceid = '" (a blank each side of the equals
  // sign), and every head start tag ends with a blank before ">".
  out += "<jobsheet><serviceorder id='";
  AppendEscapedAnswer(out, order, attribute::kServiceOrder.get);
  out += "' origin='";
  AppendAnswer(out, order, attribute::kOrigin.get);
  out += "' type='";
  AppendAnswer(out, order, attribute::kType.get);
  out += "' owner='";
  AppendAnswer(out, order, attribute::kOwner.get);
  out += "' allowedactions='";
  AppendAnswer(out, order, attribute::kAllowedActions.get);
  out += "' actionsperformed='";
  AppendAnswer(out, order, attribute::kActionsPerformed.get);
  out += "' invoiceid = '";
  AppendAnswer(out, order, attribute::kInvoiceid.get);
  out += "' >";

  if (const ObjectPtr details =
          OptionalObject(Ask(order, graph::kOrderDetails.get), graph::kOrderDetails.get)) {
    out += kDetailsTags.start();
    WriteElements(out, details, OrderDetailsElements());
    out += kDetailsTags.end();
  }

  if (AskPresence(order, graph::kActivitiesData.has)) {
    const ObjectPtr activities =
        RequireObject(Ask(order, graph::kActivitiesData.get), graph::kActivitiesData.get);
    const std::int32_t count = AskCount(activities, graph::kActivityData.size);
    out += "<activities>";
    for (std::int32_t index = 0; index < count; ++index) {
      WriteActivity(out, AskAt(activities, graph::kActivityData.at, index));
    }
    out += "</activities>";
  }

  out += "</serviceorder></jobsheet>";
}

}  // namespace internal

bool BuildServiceOrderXml(const automation::Variant& service_order, std::string& output) {
  return internal::RunWriter(
      output, [&](std::string& out) { internal::WriteServiceOrder(out, service_order); });
}

}  // namespace tqs::server::download
