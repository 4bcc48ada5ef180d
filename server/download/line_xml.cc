// The line elements of an activity: "material", "labor", "other" and "inspection". Lines have
// no details block: their elements follow the start tag directly.
#include <string>

#include "common/erp/job_sheets.h"
#include "server/download/erp_values_internal.h"
#include "server/download/job_sheet_document.h"
#include "server/download/job_sheet_writer_internal.h"

namespace tqs::server::download {

namespace internal {

namespace {

namespace attribute = erp::job_sheets::attribute;
namespace graph = erp::job_sheets::graph;

// The origin and action attributes that close every line's start tag.
void WriteLineOriginAndActions(std::string& out, const ObjectPtr& line) {
  out += "' origin='";
  AppendAnswer(out, line, attribute::kOrigin.get);
  out += "' allowedactions='";
  AppendAnswer(out, line, attribute::kAllowedActions.get);
  out += "' actionsperformed='";
  AppendAnswer(out, line, attribute::kActionsPerformed.get);
  out += "' >";
}

// A material, labor or other line: identified by its cost line id.
void WriteCostLine(std::string& out, const Variant& line_data, const ElementTags& tags,
                   std::string_view entry_getter, std::span<const ElementRow> elements) {
  const ObjectPtr line = RequireObject(line_data, entry_getter);
  out += tags.open();
  out += " lineid='";
  AppendAnswer(out, line, attribute::kCostLine.get);
  WriteLineOriginAndActions(out, line);
  WriteElements(out, line, elements);
  out += tags.end();
}

constexpr ElementTags kMaterialTags{"material"};
constexpr ElementTags kLaborTags{"labor"};
constexpr ElementTags kOtherTags{"other"};

}  // namespace

void WriteMaterial(std::string& out, const Variant& material) {
  WriteCostLine(out, material, kMaterialTags, graph::kMaterialData.at, MaterialElements());
}

void WriteLabor(std::string& out, const Variant& labor) {
  WriteCostLine(out, labor, kLaborTags, graph::kLaborData.at, LaborElements());
}

void WriteOther(std::string& out, const Variant& other) {
  WriteCostLine(out, other, kOtherTags, graph::kOtherData.at, OtherElements());
}

// An inspection line: identified by its measurement type (escaped) and inspection number.
void WriteInspection(std::string& out, const Variant& inspection_data) {
  const ObjectPtr line = RequireObject(inspection_data, graph::kInspectionData.at);
  out += "<inspection cmea='";
  AppendEscapedAnswer(out, line, attribute::kMeasurementType.get);
  out += "' mseq='";
  AppendAnswer(out, line, attribute::kInspectionNo.get);
  WriteLineOriginAndActions(out, line);
  WriteElements(out, line, InspectionElements());
  out += "</inspection>";
}

}  // namespace internal

bool BuildMaterialXml(const automation::Variant& material, std::string& output) {
  return internal::RunWriter(output,
                             [&](std::string& out) { internal::WriteMaterial(out, material); });
}

bool BuildLaborXml(const automation::Variant& labor, std::string& output) {
  return internal::RunWriter(output, [&](std::string& out) { internal::WriteLabor(out, labor); });
}

bool BuildOtherXml(const automation::Variant& other, std::string& output) {
  return internal::RunWriter(output, [&](std::string& out) { internal::WriteOther(out, other); });
}

bool BuildInspectionXml(const automation::Variant& inspection, std::string& output) {
  return internal::RunWriter(output,
                             [&](std::string& out) { internal::WriteInspection(out, inspection); });
}

}  // namespace tqs::server::download
