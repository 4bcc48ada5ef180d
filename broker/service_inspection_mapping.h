// ServiceInspectionMapping fills the ERP's service inspection objects from the ATTRIBUTES
// elements of a service inspection document (upper-case element names, read case-sensitively):
//
//   GetInspectionHeaderDetails -> Q72dVXRsvordServiceInspections.InspectionHeaderDetails
//     ID -> setServiceInspectionID, CCFG -> setConfiguration, CROB -> setObject,
//     OSEQ -> setObjectNumber, CSER -> setSerialNumber, CRAC -> setReferenceActivity
//   GetInspectionData -> Q72dVXRsvordServiceInspections.Inspection (one measurement)
//     CMEA -> setSIMeasurementType, MSEQ -> setMeasurementSequence, RGTM -> setRegistrationTime,
//     MIVL -> setMeasuredIndependentValue, MDVL -> setMeasuredDependentValue
//
// Values travel as the text the document holds, by the element rule (broker/element_rule.h).
// An ATTRIBUTES element without any child node gives no object and creates nothing. A missing
// ATTRIBUTES element or a failing ERP object is reported (status box, and "Error : ... in
// GetInspectionHeaderDetails" or "... in GetInspectionData" in the log) and also gives no
// object, which the caller hands on to the ERP as it is.
//
// Borrows what it is given; runs on the window's thread, not thread-safe.
#ifndef TQS_BROKER_SERVICE_INSPECTION_MAPPING_H_
#define TQS_BROKER_SERVICE_INSPECTION_MAPPING_H_

#include <pugixml.hpp>
#include <span>
#include <string_view>

#include "broker/element_rule.h"
#include "broker/failure_reporter.h"
#include "platform/automation/component_registry.h"
#include "platform/automation/object.h"

namespace tqs::broker {

class ServiceInspectionMapping {
 public:
  // Both are borrowed and must outlive the mapping.
  ServiceInspectionMapping(const automation::ComponentRegistry& components,
                           const FailureReporter& reporter)
      : components_(components), reporter_(reporter) {}

  // The header from the ATTRIBUTES element of SERVICEINSPECTION (null node when absent), or
  // nullptr.
  automation::ObjectPtr GetInspectionHeaderDetails(pugi::xml_node i_oInspectionNode) const;

  // One measurement from the ATTRIBUTES element of one inspection (null node when absent), or
  // nullptr.
  automation::ObjectPtr GetInspectionData(pugi::xml_node i_oInspectionNode) const;

 private:
  struct Target {
    std::string_view procedure;  // the name the log shows
    std::string_view prog_id;    // the object filled
    std::string_view owner;      // whose ATTRIBUTES element it reads, for error texts
    std::span<const ElementSetter> rows;
  };

  automation::ObjectPtr Map(const Target& target, pugi::xml_node attributes) const;

  const automation::ComponentRegistry& components_;
  const FailureReporter& reporter_;
};

}  // namespace tqs::broker

#endif  // TQS_BROKER_SERVICE_INSPECTION_MAPPING_H_
