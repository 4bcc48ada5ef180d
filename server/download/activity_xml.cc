// The "activity" element: head attributes, details and the four line lists.
#include <string>

#include "common/erp/job_sheets.h"
#include "server/download/erp_values_internal.h"
#include "server/download/job_sheet_document.h"
#include "server/download/job_sheet_writer_internal.h"

namespace tqs::server::download {

namespace internal {

namespace {

namespace graph = erp::job_sheets::graph;

// A list of lines that an activity may hold, in document order.
struct LineList {
  ElementTags wrapper;
  erp::Property holder;  // presence test and getter on the activity
  erp::List entries;     // count and entry on the list
  void (*write)(std::string& out, const Variant& line);
};

constexpr LineList kLineLists[] = {
    {ElementTags("materials"), graph::kMaterialRequirement, graph::kMaterialData, WriteMaterial},
    {ElementTags("labors"), graph::kLaborRequirement, graph::kLaborData, WriteLabor},
    {ElementTags("others"), graph::kOtherRequirement, graph::kOtherData, WriteOther},
    {ElementTags("inspections"), graph::kObjectInspectionsData, graph::kInspectionData,
     WriteInspection},
};

}  // namespace

void WriteActivity(std::string& out, const Variant& activity_data) {
  namespace attribute = erp::job_sheets::attribute;
  const ObjectPtr activity = RequireObject(activity_data, graph::kActivityData.at);

  out += "<activity id='";
  AppendAnswer(out, activity, attribute::kActivity.get);
  out += "' origin='";
  AppendAnswer(out, activity, attribute::kOrigin.get);
  out += "' type='";
  AppendAnswer(out, activity, attribute::kType.get);
  out += "' owner='";
  AppendAnswer(out, activity, attribute::kOwner.get);
  out += "' allowedactions='";
  AppendAnswer(out, activity, attribute::kAllowedActions.get);
  out += "' actionsperformed='";
  AppendAnswer(out, activity, attribute::kActionsPerformed.get);
  out += "' >";

  if (const ObjectPtr details =
          OptionalObject(Ask(activity, graph::kActivityDetails.get), graph::kActivityDetails.get)) {
    out += kDetailsTags.start();
    WriteElements(out, details, ActivityDetailsElements());
    out += kDetailsTags.end();
  }

  for (const LineList& lines : kLineLists) {
    if (!AskPresence(activity, lines.holder.has)) continue;
    const ObjectPtr list = RequireObject(Ask(activity, lines.holder.get), lines.holder.get);
    const std::int32_t count = AskCount(list, lines.entries.size);
    out += lines.wrapper.start();
    for (std::int32_t index = 0; index < count; ++index) {
      lines.write(out, AskAt(list, lines.entries.at, index));
    }
    out += lines.wrapper.end();
  }

  out += "</activity>";
}

}  // namespace internal

bool BuildActivityXml(const automation::Variant& activity, std::string& output) {
  return internal::RunWriter(output,
                             [&](std::string& out) { internal::WriteActivity(out, activity); });
}

}  // namespace tqs::server::download
