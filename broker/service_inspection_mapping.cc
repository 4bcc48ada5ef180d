#include "broker/service_inspection_mapping.h"

#include <array>
#include <string>

#include "common/erp/service_inspections.h"
#include "common/error.h"

namespace tqs::broker {

namespace si = erp::service_inspections;
using automation::ObjectPtr;

namespace {

constexpr std::array<ElementSetter, 6> kHeaderElements = {{
    {"ID", si::method::kSetServiceInspectionID},
    {"CCFG", si::method::kSetConfiguration},
    {"CROB", si::method::kSetObject},
    {"OSEQ", si::method::kSetObjectNumber},
    {"CSER", si::method::kSetSerialNumber},
    {"CRAC", si::method::kSetReferenceActivity},
}};

constexpr std::array<ElementSetter, 5> kInspectionElements = {{
    {"CMEA", si::method::kSetSIMeasurementType},
    {"MSEQ", si::method::kSetMeasurementSequence},
    {"RGTM", si::method::kSetRegistrationTime},
    {"MIVL", si::method::kSetMeasuredIndependentValue},
    {"MDVL", si::method::kSetMeasuredDependentValue},
}};

}  // namespace

ObjectPtr ServiceInspectionMapping::GetInspectionHeaderDetails(
    pugi::xml_node i_oInspectionNode) const {
  return Map({"GetInspectionHeaderDetails", si::prog_id::kInspectionHeaderDetails,
              "SERVICEINSPECTION", kHeaderElements},
             i_oInspectionNode);
}

ObjectPtr ServiceInspectionMapping::GetInspectionData(pugi::xml_node i_oInspectionNode) const {
  return Map({"GetInspectionData", si::prog_id::kInspection, "an inspection of INSPECTIONS",
              kInspectionElements},
             i_oInspectionNode);
}

ObjectPtr ServiceInspectionMapping::Map(const Target& target, pugi::xml_node attributes) const {
  return reporter_.Guard(target.procedure, ErrorPrefix::kErrorColon, ObjectPtr(), [&] {
    if (!attributes) {
      throw Error(
          error_number::kObjectNotSet,
          "Object variable not set: " + std::string(target.owner) + " has no ATTRIBUTES element");
    }
    if (!HasChildNodes(attributes)) return ObjectPtr();
    ObjectPtr object = components_.Create(target.prog_id);
    ApplyElements(attributes, target.rows, *object);
    return object;
  });
}

}  // namespace tqs::broker
