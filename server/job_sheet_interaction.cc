#include "server/job_sheet_interaction.h"

#include "common/error.h"
#include "common/interaction_types.h"
#include "common/text.h"
#include "platform/xml/xml.h"

namespace tqs::server {
namespace {

// The attribute's value; a missing attribute is an error naming it.
std::string RequiredAttribute(pugi::xml_node element, const char* name) {
  pugi::xml_attribute attribute = element.attribute(name);
  if (!attribute) {
    throw Error(error_number::kInvalidUseOfNull, "Invalid use of Null: the element '" +
                                                     Excerpt(element.name()) +
                                                     "' has no attribute '" + name + "'");
  }
  return attribute.value();
}

pugi::xml_node RequiredChild(pugi::xml_node parent, const char* name) {
  pugi::xml_node child = xml::FirstChildElement(parent, name);
  if (!child) {
    throw Error(error_number::kObjectNotSet,
                std::string("Object variable or With block variable not set: no '") + name +
                    "' element in the job sheet");
  }
  return child;
}

enum class Level { kServiceOrder, kActivity };

InteractionName Classify(std::string_view codes, Level level) {
  const std::string_view trimmed = Trim(codes);
  const bool activity = level == Level::kActivity;
  if (trimmed == "RDP,MD" || trimmed == "MD,RDP" || trimmed == "RDP") {
    return activity ? InteractionName::kActivityRdp : InteractionName::kServiceOrderRdp;
  }
  if (trimmed == "RDC,MD" || trimmed == "MD,RDC" || trimmed == "RDC") {
    return activity ? InteractionName::kActivityRdc : InteractionName::kServiceOrderRdc;
  }
  return InteractionName::kJobSheetUnrecognised;
}

}  // namespace

int DetermineJobSheetInteraction(pugi::xml_node job_sheet, std::string& header_id,
                                 std::string& error_text) {
  header_id.clear();
  try {
    if (!job_sheet) {
      throw Error(error_number::kObjectNotSet,
                  "Object variable or With block variable not set: the job sheet item holds no "
                  "job sheet document");
    }
    const pugi::xml_node service_order = RequiredChild(job_sheet, "serviceorder");
    std::string codes = RequiredAttribute(service_order, "actionsperformed");
    header_id = RequiredAttribute(service_order, "id");
    Level level = Level::kServiceOrder;

    if (const pugi::xml_node activities = xml::FirstChildElement(service_order, "activities")) {
      const pugi::xml_node activity = activities.first_child();
      if (!activity) {
        throw Error(error_number::kObjectNotSet,
                    "Object variable or With block variable not set: the activities element of "
                    "the job sheet is empty");
      }
      if (activity.type() != pugi::node_element) {
        throw Error(error_number::kMethodNotSupported,
                    "Object doesn't support this property or method: the first child of "
                    "activities is not an element");
      }
      const std::string activity_codes = RequiredAttribute(activity, "actionsperformed");
      if (activity_codes.find("RDC") != std::string::npos ||
          activity_codes.find("RDP") != std::string::npos) {
        header_id += "," + RequiredAttribute(activity, "id");
        codes = activity_codes;
        level = Level::kActivity;
      }
    }
    return ToNumber(Classify(codes, level));
  } catch (const Error& error) {
    error_text = error.description();
  }
  return -1;
}

}  // namespace tqs::server
