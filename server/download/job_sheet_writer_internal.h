// The parts of the job sheet document writer: the element tables of the details blocks and
// lines (element code, ERP property, how the value is written), and writers that append an
// element to one shared text and raise tqs::Error when they cannot. The public Build*Xml
// functions (job_sheet_document.h) wrap these: appending nested elements into one text keeps
// writing a large service order linear in its size.
//
// Stateless; safe to call from several threads with distinct ERP objects.
#ifndef TQS_SERVER_DOWNLOAD_JOB_SHEET_WRITER_INTERNAL_H_
#define TQS_SERVER_DOWNLOAD_JOB_SHEET_WRITER_INTERNAL_H_

#include <cstddef>
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

// The tags of an element, made once at compile time: writing a tag is then one append of a
// constant text instead of three appends per element (a document has thousands of them).
class ElementTags {
 public:
  constexpr explicit ElementTags(std::string_view name) : name_size_(name.size()) {
    if (name.empty() || name.size() > kMaxName) throw "an element name of 1 to 15 characters";
    // "<name></name>": the start tag, then the end tag.
    std::size_t at = 0;
    text_[at++] = '<';
    for (const char c : name) text_[at++] = c;
    text_[at++] = '>';
    text_[at++] = '<';
    text_[at++] = '/';
    for (const char c : name) text_[at++] = c;
    text_[at] = '>';
  }

  // "<name>", "</name>", and "<name" for a start tag that takes attributes.
  constexpr std::string_view start() const { return {text_, name_size_ + 2}; }
  constexpr std::string_view end() const { return {text_ + name_size_ + 2, name_size_ + 3}; }
  constexpr std::string_view open() const { return {text_, name_size_ + 1}; }

 private:
  static constexpr std::size_t kMaxName = 15;
  char text_[2 * kMaxName + 5] = {};
  std::size_t name_size_;
};

// The wrapper of a details block, of the service order and of an activity.
inline constexpr ElementTags kDetailsTags{"details"};

// One element of a details block or a line.
struct ElementRow {
  std::string_view code;  // four-letter element code
  erp::Property property;
  ValueForm form;
  ElementTags tags{code};  // "<code>" and "</code>"
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
