// JobSheet::GetProcessResult: the laptop lists the interactions whose outcome it still awaits;
// the answer holds the result documents that the broker stored for those of them it has
// finished, grouped by document type in a fixed order. Unfinished ones are left out, so the
// laptop asks again at its next synchronisation.
#include <string>

#include "common/conversions.h"
#include "common/error.h"
#include "common/interaction_types.h"
#include "common/text.h"
#include "platform/xml/xml.h"
#include "server/interaction_records.h"
#include "server/jobsheet.h"
#include "server/text_parameters.h"
#include "server/thread_connection.h"

namespace tqs::server {
namespace {

struct ResultSection {
  const char* path;
  BusinessDocumentType type;
};

constexpr ResultSection kSections[] = {
    {"//processresultrequest/jobsheets", BusinessDocumentType::kJobSheet},
    {"//processresultrequest/generalhours", BusinessDocumentType::kGeneralHourLine},
    {"//processresultrequest/SERVICEINSPECTIONS", BusinessDocumentType::kServiceInspection},
};

std::string RequiredAttribute(pugi::xml_node interaction, const char* name) {
  if (interaction.type() != pugi::node_element) {
    throw Error(error_number::kObjectNotSet,
                "Object variable or With block variable not set: the process result request "
                "holds text where an interaction element was expected");
  }
  pugi::xml_attribute attribute = interaction.attribute(name);
  if (!attribute) {
    throw Error(error_number::kObjectNotSet,
                std::string("Object variable or With block variable not set: the element '") +
                    Excerpt(interaction.name()) + "' has no attribute '" + name + "'");
  }
  return attribute.value();
}

// The interaction number: a numeric text as a 32-bit integer (rounded; beyond the range an
// overflow error), anything else 0.
std::int32_t InteractionNumber(const std::string& text) {
  const std::optional<double> number = ParseNumber(text);
  return number ? ToInt32(*number) : 0;
}

}  // namespace

bool JobSheet::GetProcessResult(const std::string& i_sResultFor, const std::string& i_sEmployee,
                                const std::string& i_sDSNString, automation::Variant& o_vResult) {
  CheckTextParameters({{"i_sResultFor", i_sResultFor},
                       {"i_sEmployee", i_sEmployee},
                       {"i_sDSNString", i_sDSNString}});
  ThreadConnection& state = ThreadConnection::ForCurrentThread();
  state.set_connection_string(i_sDSNString);

  pugi::xml_document request;
  const bool parsed = xml::LoadXml(request, i_sResultFor);
  std::string response = "<businessdocuments>";
  try {
    if (parsed) {
      state.EnsureConnection("Varnex");
      for (const ResultSection& section : kSections) {
        const pugi::xml_node element = xml::SelectSingleNode(request, section.path);
        if (!element) continue;
        response += std::string("<") + element.name() + ">";
        for (pugi::xml_node interaction : element.children()) {
          const std::string interaction_on = RequiredAttribute(interaction, "interactionon");
          const std::int32_t number =
              InteractionNumber(RequiredAttribute(interaction, "interactionid"));
          std::string result, error;
          if (!GetInteractionResult(state, i_sEmployee, interaction_on, section.type, number,
                                    result, error)) {
            // Documents stored by an earlier broker may hold characters XML cannot carry;
            // one such document must not make the whole answer unreadable.
            AppendXmlCharacters(response, result);
          }
        }
        response += std::string("</") + element.name() + ">";
      }
      state.CloseConnection();
    }
  } catch (...) {
    // The caller sees the answer built up to the failure; the connection goes with the call.
    state.DropConnection();
    o_vResult = response;
    throw;
  }
  response += "</businessdocuments>";
  o_vResult = response;
  return true;
}

}  // namespace tqs::server
