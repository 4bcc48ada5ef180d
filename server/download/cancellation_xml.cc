// The cancellation element: an empty "serviceorder" element telling the laptop that an order it
// holds was cancelled, when (cadt) and why (cdis).
#include <string>

#include "common/erp/job_sheets.h"
#include "server/download/erp_values_internal.h"
#include "server/download/job_sheet_document.h"
#include "server/download/job_sheet_writer_internal.h"

namespace tqs::server::download {

namespace internal {

void WriteCancellation(std::string& out, const Variant& cancelled_order) {
  namespace js = erp::job_sheets;
  const ObjectPtr order = RequireObject(cancelled_order, js::download::kCancelOrder.at);
  out += "<serviceorder id='";
  AppendEscapedAnswer(out, order, js::attribute::kServiceOrder.get);
  out += "' cadt='";
  AppendAnswer(out, order, js::attribute::kCancelledOn.get);
  out += "' cdis='";
  AppendEscapedAnswer(out, order, js::attribute::kCancelledReason.get);
  out += "' />";
}

}  // namespace internal

bool BuildCancellationXml(const automation::Variant& cancelled_order, std::string& output) {
  return internal::RunWriter(
      output, [&](std::string& out) { internal::WriteCancellation(out, cancelled_order); });
}

}  // namespace tqs::server::download
