// JobSheet::StoreOutboxContent: the outbox of a synchronising laptop becomes one pending
// interaction row per job sheet, general hours line and service inspection, and the laptop
// learns from the upload feedback under which number each document was stored, that it was
// stored before ("conflict"), or why it was not ("normal" with the description).
#include <string>

#include "common/error.h"
#include "common/interaction_types.h"
#include "platform/xml/xml.h"
#include "server/interaction_records.h"
#include "server/job_sheet_interaction.h"
#include "server/jobsheet.h"
#include "server/text_parameters.h"
#include "server/thread_connection.h"
#include "server/xml_building.h"

namespace tqs::server {
namespace {

constexpr const char* kConflict = "conflict";
constexpr const char* kNormal = "normal";

// What the feedback element of one outbox item says.
struct ItemFeedback {
  std::string interaction_on;
  std::int32_t interaction_id = 0;
  std::string header_id;
  std::string error_type;
  std::string error_desc;

  void Fail(std::string description) {
    error_type = kNormal;
    error_desc = std::move(description);
  }
};

// An item lacking a part the upload reads. It is reported in the item's feedback and the
// upload goes on with the next item, so the feedback of the items already stored is not lost.
Error MissingPart(std::string_view item, std::string_view what) {
  return Error(error_number::kObjectNotSet,
               "The " + std::string(item) + " lacks " + std::string(what) + "; it was not stored");
}

std::string RequiredAttribute(pugi::xml_node item, std::string_view item_kind, const char* name) {
  pugi::xml_attribute attribute = item.attribute(name);
  if (!attribute) throw MissingPart(item_kind, std::string("the attribute '") + name + "'");
  return attribute.value();
}

pugi::xml_node RequiredChild(pugi::xml_node parent, std::string_view item_kind, const char* name) {
  pugi::xml_node child = xml::FirstChildElement(parent, name);
  if (!child) throw MissingPart(item_kind, std::string("the element '") + name + "'");
  return child;
}

void RequireElement(pugi::xml_node item, std::string_view section) {
  if (item.type() != pugi::node_element) {
    throw Error(error_number::kObjectNotSet, "The " + std::string(section) +
                                                 " section holds text or markup that is not an "
                                                 "element; it was not stored");
  }
}

// Stores a document that is not yet there under a new number.
void StoreNew(ThreadConnection& state, const DocumentIdentity& identity, pugi::xml_node document,
              ItemFeedback& feedback) {
  std::string error;
  if (StoreNumberedInteraction(state, identity, document, feedback.interaction_id, error)) {
    feedback.Fail(error);
  }
}

// The duplicate test, then the store: a document with the same identity is a conflict that
// names the number it was stored under.
void StoreUnlessStored(ThreadConnection& state, const DocumentIdentity& identity,
                       pugi::xml_node document, ItemFeedback& feedback) {
  std::string error;
  switch (StoreInteractionUnlessStored(state, identity, document, feedback.interaction_id,
                                       error)) {
    case StoreOutcome::kStored:
      return;
    case StoreOutcome::kAlreadyStored:
      feedback.error_type = kConflict;
      return;
    case StoreOutcome::kLookUpFailed:
    case StoreOutcome::kInsertFailed:
      feedback.Fail(error);
      return;
  }
}

void AppendFeedback(pugi::xml_document& feedback_document, pugi::xml_node section,
                    const char* element, const ItemFeedback& feedback) {
  const XmlAttribute attributes[] = {
      {"interactionon", feedback.interaction_on}, {"interactionid", feedback.interaction_id},
      {"headerid", feedback.header_id},           {"errortype", feedback.error_type},
      {"errordesc", feedback.error_desc},
  };
  CreateXmlElement(feedback_document, section, element, "", attributes);
}

// Runs `store` for every child of `section`; an item whose reading fails gets "normal" with the
// description, and the loop goes on.
template <typename StoreItem>
void ForEachItem(pugi::xml_node section, pugi::xml_document& feedback_document,
                 pugi::xml_node feedback_section, const char* feedback_element,
                 StoreItem&& store) {
  for (pugi::xml_node item = section.first_child(); item; item = item.next_sibling()) {
    ItemFeedback feedback;
    try {
      RequireElement(item, section.name());
      store(item, feedback);
    } catch (const Error& error) {
      feedback.Fail(error.description());
    }
    AppendFeedback(feedback_document, feedback_section, feedback_element, feedback);
  }
}

// The three sections of the envelope, in this order, each answered by its feedback section.
void StoreSections(pugi::xml_document& outbox, const std::string& i_sEmployee,
                   ThreadConnection& state, pugi::xml_document& feedback_document,
                   pugi::xml_node root) {
  state.EnsureConnection("Varnex");

  if (pugi::xml_node section = xml::SelectSingleNode(outbox, "//businessdocuments/jobsheets")) {
    const pugi::xml_node feedback_section =
        CreateXmlElement(feedback_document, root, "jobsheets", "", {});
    ForEachItem(section, feedback_document, feedback_section, "jobsheet",
                [&](pugi::xml_node item, ItemFeedback& feedback) {
                  const char* kind = "job sheet item";
                  feedback.interaction_on = RequiredAttribute(item, kind, "interactionon");
                  const std::string id = RequiredAttribute(item, kind, "id");
                  const pugi::xml_node job_sheet = item.first_child();
                  std::string error;
                  const int code =
                      DetermineJobSheetInteraction(job_sheet, feedback.header_id, error);
                  if (code == -1) {
                    feedback.Fail(error);
                    return;
                  }
                  StoreUnlessStored(state,
                                    {i_sEmployee, static_cast<InteractionName>(code),
                                     BusinessDocumentType::kJobSheet, feedback.interaction_on,
                                     id},
                                    job_sheet, feedback);
                });
  }

  if (pugi::xml_node section =
          xml::SelectSingleNode(outbox, "//businessdocuments/generalhours")) {
    const pugi::xml_node feedback_section =
        CreateXmlElement(feedback_document, root, "generalhours", "", {});
    ForEachItem(section, feedback_document, feedback_section, "hour",
                [&](pugi::xml_node hour, ItemFeedback& feedback) {
                  const char* kind = "general hours line";
                  feedback.interaction_on = RequiredAttribute(hour, kind, "interactionon");
                  feedback.header_id = RequiredAttribute(hour, kind, "lineid");
                  StoreUnlessStored(state,
                                    {i_sEmployee, InteractionName::kGeneralHourLine,
                                     BusinessDocumentType::kGeneralHourLine,
                                     feedback.interaction_on, feedback.header_id},
                                    hour, feedback);
                });
  }

  if (pugi::xml_node section =
          xml::SelectSingleNode(outbox, "//businessdocuments/SERVICEINSPECTIONS")) {
    const pugi::xml_node feedback_section =
        CreateXmlElement(feedback_document, root, "SERVICEINSPECTIONS", "", {});
    ForEachItem(section, feedback_document, feedback_section, "SERVICEINSPECTION",
                [&](pugi::xml_node inspection, ItemFeedback& feedback) {
                  const char* kind = "service inspection";
                  const pugi::xml_node doc_info = RequiredChild(inspection, kind, "DOCINFO");
                  const pugi::xml_node attributes =
                      RequiredChild(inspection, kind, "ATTRIBUTES");
                  feedback.header_id = xml::Text(RequiredChild(attributes, kind, "ID"));
                  feedback.interaction_on =
                      xml::Text(RequiredChild(doc_info, kind, "INTERACTIONON"));
                  inspection.remove_child(doc_info);
                  const std::string document_id =
                      xml::Text(RequiredChild(attributes, kind, "CCFG")) + "_" +
                      xml::Text(RequiredChild(attributes, kind, "CROB")) + "_" +
                      xml::Text(RequiredChild(attributes, kind, "OSEQ"));
                  // Inspections have no duplicate test: a re-sent one is stored again.
                  StoreNew(state,
                           {i_sEmployee, InteractionName::kServiceInspection,
                            BusinessDocumentType::kServiceInspection, feedback.interaction_on,
                            document_id},
                           inspection, feedback);
                });
  }
}

}  // namespace

bool JobSheet::StoreOutboxContent(const std::string& i_sOutboxContent,
                                  const std::string& i_sEmployee, const std::string& i_sDSNString,
                                  automation::Variant& o_vResult) {
  CheckTextParameters({{"i_sOutboxContent", i_sOutboxContent},
                       {"i_sEmployee", i_sEmployee},
                       {"i_sDSNString", i_sDSNString}});
  ThreadConnection& state = ThreadConnection::ForCurrentThread();
  state.set_connection_string(i_sDSNString);

  pugi::xml_document outbox;
  const bool parsed = xml::LoadXml(outbox, i_sOutboxContent);
  std::unique_ptr<pugi::xml_document> feedback_document;
  EnsureXmlDocument(feedback_document);
  const pugi::xml_node root = SetRootElement(*feedback_document, "uploadfeedback");

  if (parsed) {
    try {
      StoreSections(outbox, i_sEmployee, state, *feedback_document, root);
    } catch (...) {
      state.DropConnection();  // the connection never outlives the call
      throw;
    }
    state.CloseConnection();
  }

  o_vResult = xml::SerializeDocument(*feedback_document);
  return true;
}

}  // namespace tqs::server
