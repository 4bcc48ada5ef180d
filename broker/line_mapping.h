// LineMapping turns the cost lines and inspection lines of an uploaded job sheet's activity into
// line objects of the ERP job sheet component, one object per line element:
//
//   GetMaterialDetails        a child of `materials`   -> MaterialData
//   GetLaborDetails           a child of `labors`      -> LaborData
//   GetOtherDetails           a child of `others`      -> OtherData
//   GetHoursSpentDetails      a child of `hoursspent`  -> HourData
//   GetInspectionLineDetails  a child of `inspections` -> InspectionData
//
// A line element without any child node yields no object: nothing is created and its attributes
// are not read. Otherwise the line object is created, the identifying attributes are passed in
// their fixed order (lineid and origin; for inspection lines mseq, cmea and origin), each one
// required, and the value elements follow the element rule (broker/element_rule.h), passed as
// the text the document holds. Three values are adjusted first: an empty `disc` of a material
// line and an empty `aswr` of a labor line become "0.0" (written back into the loaded
// document, then passed), and `rgdt` of an hours line is read as a date with the locale-aware
// conversion and passed as "yyyymmdd".
//
// Failures (a missing attribute, a date that is no date, an ERP object or setter that fails) are
// reported by each mapper itself: the description and CR LF in the status box, "Error :
// <description> in <mapper>" in the error log, and no object is returned; setters already called
// are not undone. The inspection line mapper answers a Variant: the line object, a null object
// reference (Nothing) for a line without child nodes, and Empty after a failure, which its
// caller cannot take as an object. A failure while reporting is raised to the caller.
//
// Borrows the window, the log and the registry; runs on the window's thread, not thread-safe.
#ifndef TQS_BROKER_LINE_MAPPING_H_
#define TQS_BROKER_LINE_MAPPING_H_

#include <pugixml.hpp>
#include <string>
#include <string_view>

#include "broker/broker_window.h"
#include "broker/error_log.h"
#include "broker/failure_reporter.h"
#include "common/conversions.h"
#include "platform/automation/component_registry.h"
#include "platform/automation/object.h"
#include "platform/automation/variant.h"

namespace tqs::broker {

// The value of the attribute `name` of `node`, which must be there: a missing attribute (or a
// node that is no element) raises tqs::Error 91 naming the attribute and the node.
std::string RequiredAttribute(pugi::xml_node node, std::string_view name);

class LineMapping {
 public:
  // Everything but the settings is borrowed and must outlive the mapping. The settings govern
  // how the registration date of an hours line is read.
  LineMapping(frmTQSRemoteBroker& window, const ErrorLog& error_log,
              const automation::ComponentRegistry& components, RegionalSettings settings);

  // The filled line object, or nullptr (no child nodes, or a reported failure).
  automation::ObjectPtr GetMaterialDetails(pugi::xml_node i_oMaterialNode) const;
  automation::ObjectPtr GetLaborDetails(pugi::xml_node i_oLaborNode) const;
  automation::ObjectPtr GetOtherDetails(pugi::xml_node i_oOtherNode) const;
  automation::ObjectPtr GetHoursSpentDetails(pugi::xml_node i_oHoursSpentNode) const;

  // The filled InspectionData; a Nothing object reference for a line without child nodes; Empty
  // after a reported failure.
  automation::Variant GetInspectionLineDetails(pugi::xml_node i_oInspectionLineNode) const;

 private:
  struct LineKind;

  // The common steps of every line mapper; failures escape to the caller.
  automation::ObjectPtr MapLine(pugi::xml_node line, const LineKind& kind) const;
  // MapLine with the cost-line mappers' failure handling.
  automation::ObjectPtr MapCostLine(pugi::xml_node line, const LineKind& kind) const;

  frmTQSRemoteBroker& window_;
  const ErrorLog& error_log_;
  const automation::ComponentRegistry& components_;
  const RegionalSettings settings_;
  const FailureReporter reporter_;
};

}  // namespace tqs::broker

#endif  // TQS_BROKER_LINE_MAPPING_H_
