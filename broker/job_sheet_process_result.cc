#include "broker/job_sheet_process_result.h"

#include <cstdint>
#include <exception>
#include <string_view>
#include <utility>

#include "broker/erp_answers.h"
#include "broker/result_writing.h"
#include "common/erp/job_sheets.h"
#include "common/error.h"
#include "platform/automation/object.h"

namespace tqs::broker {

namespace {

namespace js = erp::job_sheets;
namespace pe = erp::job_sheets::process_errors;
using automation::ObjectPtr;
using automation::Variant;

// What identifies the lines of a group in the document.
enum class LineIdentity {
  kCostLine,    // lineid
  kInspection,  // cmea and mseq
  kPayment,     // id
};

// A group of line errors: how it is reached and how its lines are written.
struct LineGroup {
  LineIdentity identity;
  std::string_view group_getter;  // on the activity error
  erp::List lines;                // count and item on the group
  std::string_view opening;       // "<materials>"
  std::string_view line_start;    // "<material lineid='"
  std::string_view closing;       // "</materials>    "
};

constexpr LineGroup kCostLineGroups[] = {
    {LineIdentity::kCostLine, pe::kGetMaterialRequirementError, pe::kMaterialErrors, "<materials>",
     "<material lineid='", "</materials>    "},
    {LineIdentity::kCostLine, pe::kGetHoursAccountingError, pe::kHourErrors, "<hoursspent>",
     "<hour lineid='", "</hoursspent>"},
    {LineIdentity::kCostLine, pe::kGetLaborRequirementError, pe::kLaborErrors, "<labors>",
     "<labor lineid='", "</labors>"},
    {LineIdentity::kCostLine, pe::kGetOtherRequirementError, pe::kOtherErrors, "<others>",
     "<other lineid='", "</others>"},
};

constexpr LineGroup kInspectionGroup{LineIdentity::kInspection, pe::kGetInspectionsError,
                                     pe::kInspectionErrors,     "<inspections>",
                                     "<inspection cmea='",      "</inspections>"};

constexpr LineGroup kPaymentGroup{LineIdentity::kPayment, pe::kGetPaymentsErrorAt,
                                  pe::kPaymentErrors,     "<payments>",
                                  "<payment id='",        "</payments>"};

Variant Ask(const ObjectPtr& object, std::string_view method) { return object->Call(method); }

// The object an answer holds, or nullptr when it holds none (empty, null or Nothing): absent
// parts of the structure are skipped. Any other value is a type mismatch naming `method`.
ObjectPtr PresentObject(const Variant& answer, std::string_view method) {
  if (answer.IsEmpty() || answer.IsNull()) return nullptr;
  if (answer.IsObject()) return answer.TryObject();
  throw Error(error_number::kTypeMismatch, "Type mismatch: " + std::string(method) + " returned " +
                                               answer.DebugString() + ", not an object");
}

// The item at `index` (a 32-bit whole number, by reference), or nullptr when absent.
ObjectPtr ItemAt(const ObjectPtr& list, std::string_view method, std::int32_t index) {
  Variant args[] = {Variant(index)};
  return PresentObject(list->Invoke(method, args), method);
}

// A group reached from its parent with the 16-bit index 0 (by value), or nullptr when absent.
ObjectPtr FirstGroup(const ObjectPtr& parent, std::string_view method) {
  return PresentObject(parent->Call(method, {Variant(std::int16_t{0})}), method);
}

// " result='R' error='E' new='N'" of an item.
std::string Outcome(const ObjectPtr& item, std::size_t& replaced) {
  const Variant result = Ask(item, pe::kGetResult);
  const Variant error = Ask(item, pe::kGetErrorDescription);
  const Variant new_line = Ask(item, pe::kGetNewLineID);
  return OutcomeAttributes(result, error, new_line, replaced);
}

// The identifying attributes of a line item, up to and including the quote that closes the
// last of them.
std::string LineStart(const LineGroup& group, const ObjectPtr& item, std::size_t& replaced) {
  std::string text(group.line_start);
  switch (group.identity) {
    case LineIdentity::kCostLine:
      text += AttributeText(Ask(item, js::attribute::kCostLine.get), replaced);
      break;
    case LineIdentity::kInspection:
      text += AttributeText(Ask(item, js::attribute::kMeasurementType.get), replaced);
      text += "' mseq='";
      text += AttributeText(Ask(item, js::attribute::kInspectionNo.get), replaced);
      break;
    case LineIdentity::kPayment:
      text += AttributeText(Ask(item, js::attribute::kPaymentLine.get), replaced);
      break;
  }
  text += "'";
  return text;
}

}  // namespace

JobSheetProcessResult::JobSheetProcessResult(frmTQSRemoteBroker& window, const ErrorLog& error_log,
                                             RegionalSettings settings)
    : settings_(std::move(settings)), reporter_(window, error_log) {}

std::string JobSheetProcessResult::BuildProcessResult(const Variant& i_oResultNode) const {
  try {
    std::size_t replaced = 0;
    std::string document = Write(i_oResultNode, replaced);
    reporter_.ReportRepairedValues("BuildProcessResult", replaced);
    return document;
  } catch (const std::exception& error) {
    reporter_.Report("BuildProcessResult", ErrorPrefix::kErrorColon, error);
    return "";
  }
}

std::string JobSheetProcessResult::Write(const Variant& error_structure,
                                         std::size_t& replaced) const {
  const ObjectPtr structure =
      PresentObject(error_structure, js::process_output::kGetOErrorProcessStructForProcessJobSheet);
  if (!structure) {
    throw Error(error_number::kObjectNotSet,
                "Object variable not set: " +
                    std::string(js::process_output::kGetOErrorProcessStructForProcessJobSheet) +
                    " returned no object");
  }

  // The lines of one group, with its tags, when the group is present.
  const auto write_group = [this, &replaced](std::string& out, const LineGroup& group,
                                             const ObjectPtr& lines) {
    if (!lines) return;
    out += group.opening;
    const std::int32_t count =
        WholeNumber(Ask(lines, group.lines.size), group.lines.size, settings_);
    for (std::int32_t k = 0; k < count; ++k) {
      const ObjectPtr item = ItemAt(lines, group.lines.at, k);
      if (!item) continue;
      out += LineStart(group, item, replaced);
      out += Outcome(item, replaced);
      out += " />";
    }
    out += group.closing;
  };

  std::string result;
  const std::int32_t order_count =
      WholeNumber(Ask(structure, pe::kOrderErrors.size), pe::kOrderErrors.size, settings_);
  for (std::int32_t i = 0; i < order_count; ++i) {
    const ObjectPtr order = ItemAt(structure, pe::kOrderErrors.at, i);
    if (!order) continue;
    // Each present order error starts the document anew.
    replaced = 0;
    result = "<jobsheet><serviceorder id='";
    result += AttributeText(Ask(order, js::attribute::kServiceOrder.get), replaced);
    result += "'";
    result += Outcome(order, replaced);
    result += " >";

    if (const ObjectPtr activities = FirstGroup(order, pe::kGetActivitiesErrorAt)) {
      result += "<activities>";
      const std::int32_t activity_count = WholeNumber(Ask(activities, pe::kActivityErrors.size),
                                                      pe::kActivityErrors.size, settings_);
      for (std::int32_t j = 0; j < activity_count; ++j) {
        const ObjectPtr activity = ItemAt(activities, pe::kActivityErrors.at, j);
        if (!activity) continue;
        result += "<activity id='";
        result += AttributeText(Ask(activity, js::attribute::kActivity.get), replaced);
        result += "'";
        result += Outcome(activity, replaced);
        result += " >";
        for (const LineGroup& group : kCostLineGroups) {
          write_group(result, group,
                      PresentObject(Ask(activity, group.group_getter), group.group_getter));
        }
        write_group(result, kInspectionGroup,
                    PresentObject(Ask(activity, kInspectionGroup.group_getter),
                                  kInspectionGroup.group_getter));
        result += "</activity>";
      }
      result += "</activities>";
    }

    write_group(result, kPaymentGroup, FirstGroup(order, pe::kGetPaymentsErrorAt));
    result += "</serviceorder></jobsheet>";
  }
  return result;
}

}  // namespace tqs::broker
