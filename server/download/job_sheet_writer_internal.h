// The parts of the job sheet document writer: the element tables of the details blocks and
// lines (element code, ERP property, how the value is written), and writers that append an
// element to one shared text and raise tqs::Error when they cannot. The public Build*Xml
// functions (job_sheet_document.h) wrap these: appending nested elements into one text keeps
// writing a large service order linear in its size.
//
// Stateless; safe to call from several threads with distinct ERP objects.
#ifndef TQS_SERVER_DOWNLOAD_JOB_SHEET_WRITER_INTERNAL_H_
#define TQS_SERVER_DOWNLOAD_JOB_SHEET_WRITER_INTERNAL_H_

#include <span>
#include <string>
#include <string_view>

#include "common/erp/contract.h"
#include "platform/automation/object.h"
#include "platform/automation/variant.h"

namespace tqs::server::download::internal {

// How an element's value is written.
enum class ValueForm {
  kEscaped,      // the getter's answer as text, escaped for XML (null fails)
  kAsDelivered,  // the getter's answer in its default text form, escaped (null is nothing)
  kTextList,     // a text container: its TextValue chunks, each escaped, joined
};

// One element of a details block or a line.
struct ElementRow {
  std::string_view code;  // four-letter element code
  erp::Property property;
  ValueForm form;
};

// The element tables, in document order.
std::span<const ElementRow> OrderDetailsElements();
std::span<const ElementRow> ActivityDetailsElements();
std::span<const ElementRow> MaterialElements();
std::span<const ElementRow> LaborElements();
std::span<const ElementRow> OtherElements();
std::span<const ElementRow> InspectionElements();

// Appends, for every row whose presence test answers true, the element with its value.
void WriteElements(std::string& out, const automation::ObjectPtr& source,
                   std::span<const ElementRow> rows);

// Appends "<name>".
void WriteStartTag(std::string& out, std::string_view name);
// Appends "</name>".
void WriteEndTag(std::string& out, std::string_view name);

// Writers of one element each, appending to `out`; they raise on failure (`out` then holds a
// partial text that the caller discards).
void WriteServiceOrder(std::string& out, const automation::Variant& service_order);
void WriteActivity(std::string& out, const automation::Variant& activity);
void WriteMaterial(std::string& out, const automation::Variant& material);
void WriteLabor(std::string& out, const automation::Variant& labor);
void WriteOther(std::string& out, const automation::Variant& other);
void WriteInspection(std::string& out, const automation::Variant& inspection);
void WriteCancellation(std::string& out, const automation::Variant& cancelled_order);

}  // namespace tqs::server::download::internal

#endif  // TQS_SERVER_DOWNLOAD_JOB_SHEET_WRITER_INTERNAL_H_
