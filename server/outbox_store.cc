// JobSheet::StoreOutboxContent: the outbox of a synchronising laptop becomes one pending
// interaction row per job sheet, general hours line and service inspection, and the laptop
// learns from the upload feedback under which number each document was stored, that it was
// stored before ("conflict"), or why it was not ("normal" with the description).
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "common/error.h"
#include "common/interaction_types.h"
#include "platform/xml/xml.h"
#include "server/interaction_records.h"
#include "server/job_sheet_interaction.h"
#include "server/jobsheet.h"
#include "server/text_parameters.h"
#include "server/thread_connection.h"
#include "server/upload_transaction.h"
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
  bool awaits_commit = false;  // the answer says "stored", which the commit has to make true

  void Fail(std::string description) {
    awaits_commit = false;
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

// How the documents of an outbox reach the disk.
enum class CommitMode {
  // One transaction and one durable commit for the whole outbox, a savepoint per document.
  kTogether,
  // A transaction of its own per document: after the outbox's commit failed (a disk that has
  // room for some of its documents but not for all), so that every document that fits is stored
  // and only the others wait for the next upload.
  kOneByOne,
};

// The stores of one outbox, and the feedback elements that say "stored" before the commit has
// made it so.
class OutboxTransaction {
 public:
  OutboxTransaction(ThreadConnection& state, const std::vector<NumberingScope>& scopes,
                    CommitMode mode)
      : state_(state) {
    if (mode == CommitMode::kTogether) together_.emplace(state, scopes);
  }

  // Stores a document that is not yet there under a new number.
  void StoreNew(const DocumentIdentity& identity, pugi::xml_node document, ItemFeedback& feedback) {
    InTransaction(identity, feedback, [&](UploadTransaction& transaction) {
      std::string error;
      if (StoreNumberedInteraction(transaction, identity, document, feedback.interaction_id,
                                   error)) {
        feedback.Fail(error);
        return;
      }
      Stored(identity, feedback);
    });
  }

  // The duplicate test, then the store: a document with the same identity is a conflict that
  // names the number it was stored under.
  void StoreUnlessStored(const DocumentIdentity& identity, pugi::xml_node document,
                         ItemFeedback& feedback) {
    InTransaction(identity, feedback, [&](UploadTransaction& transaction) {
      std::string error;
      switch (StoreInteractionUnlessStored(transaction, identity, document, feedback.interaction_id,
                                           error)) {
        case StoreOutcome::kStored:
          Stored(identity, feedback);
          return;
        case StoreOutcome::kAlreadyStored:
          feedback.error_type = kConflict;
          // Sent twice in this outbox: the first copy is stored only when the outbox is.
          feedback.awaits_commit =
              together_ && numbered_here_.contains(NumberOf(identity, feedback.interaction_id));
          return;
        case StoreOutcome::kLookUpFailed:
        case StoreOutcome::kInsertFailed:
          feedback.Fail(error);
          return;
      }
    });
  }

  // The feedback element of an item whose answer holds only if the commit succeeds.
  void AwaitCommit(pugi::xml_node element) { awaiting_commit_.push_back(element); }

  // Commits the outbox. Returns false when the commit failed while more than one document
  // awaited it: nothing of the outbox is stored, and the documents are worth storing one by one.
  // When it failed for a single document, that document's answer names the commit's error, so
  // the laptop keeps it and sends it again.
  bool Commit() {
    if (!together_) return true;
    std::string error;
    if (together_->Commit(error)) return true;
    if (numbered_here_.size() > 1) return false;
    for (pugi::xml_node element : awaiting_commit_) {
      element.attribute("errortype").set_value(kNormal);
      element.attribute("errordesc").set_value(error.c_str());
    }
    return true;
  }

 private:
  using Number = std::tuple<BusinessDocumentType, std::string, std::int32_t>;
  static Number NumberOf(const DocumentIdentity& identity, std::int32_t interaction_id) {
    return {identity.type, identity.interaction_on, interaction_id};
  }

  // Runs `store` in the outbox's transaction, or one by one in a transaction of the document's
  // own that is committed at once.
  template <typename Store>
  void InTransaction(const DocumentIdentity& identity, ItemFeedback& feedback, Store&& store) {
    if (together_) {
      store(*together_);
      return;
    }
    const NumberingScope scope{identity.employee, identity.type, identity.interaction_on};
    UploadTransaction own(state_, {scope});
    store(own);
    if (!feedback.awaits_commit) return;
    std::string error;
    if (own.Commit(error)) {
      feedback.awaits_commit = false;
    } else {
      feedback.Fail(error);
    }
  }

  void Stored(const DocumentIdentity& identity, ItemFeedback& feedback) {
    feedback.awaits_commit = true;
    if (together_) numbered_here_.insert(NumberOf(identity, feedback.interaction_id));
  }

  ThreadConnection& state_;
  std::optional<UploadTransaction> together_;  // empty when documents are committed one by one
  std::set<Number> numbered_here_;  // the numbers this outbox's documents were stored under
  std::vector<pugi::xml_node> awaiting_commit_;
};

pugi::xml_node AppendFeedback(pugi::xml_document& feedback_document, pugi::xml_node section,
                              const char* element, const ItemFeedback& feedback) {
  const XmlAttribute attributes[] = {
      {"interactionon", feedback.interaction_on}, {"interactionid", feedback.interaction_id},
      {"headerid", feedback.header_id},           {"errortype", feedback.error_type},
      {"errordesc", feedback.error_desc},
  };
  return CreateXmlElement(feedback_document, section, element, "", attributes);
}

// Runs `store` for every child of `section`; an item whose reading fails gets "normal" with the
// description, and the loop goes on.
template <typename StoreItem>
void ForEachItem(pugi::xml_node section, pugi::xml_document& feedback_document,
                 pugi::xml_node feedback_section, const char* feedback_element,
                 OutboxTransaction& transaction, StoreItem&& store) {
  for (pugi::xml_node item = section.first_child(); item; item = item.next_sibling()) {
    ItemFeedback feedback;
    try {
      RequireElement(item, section.name());
      store(item, feedback);
    } catch (const Error& error) {
      feedback.Fail(error.description());
    }
    const pugi::xml_node element =
        AppendFeedback(feedback_document, feedback_section, feedback_element, feedback);
    if (feedback.awaits_commit) transaction.AwaitCommit(element);
  }
}

// The sections of the envelope that the upload reads; each may be absent.
struct Sections {
  pugi::xml_node job_sheets;
  pugi::xml_node general_hours;
  pugi::xml_node inspections;
};

Sections FindSections(pugi::xml_document& outbox) {
  return {xml::SelectSingleNode(outbox, "//businessdocuments/jobsheets"),
          xml::SelectSingleNode(outbox, "//businessdocuments/generalhours"),
          xml::SelectSingleNode(outbox, "//businessdocuments/SERVICEINSPECTIONS")};
}

// The numbering scopes that the items of the envelope will be stored in, read where the stores
// below read them; an item without its interaction-on is never stored and names none.
std::vector<NumberingScope> ScopesOf(const Sections& sections, const std::string& employee) {
  std::vector<NumberingScope> scopes;
  const auto add = [&](pugi::xml_node section, BusinessDocumentType type, auto interaction_on) {
    for (pugi::xml_node item : section.children()) {
      if (item.type() != pugi::node_element) continue;
      if (const std::optional<std::string> on = interaction_on(item)) {
        scopes.push_back({employee, type, *on});
      }
    }
  };
  const auto attribute = [](pugi::xml_node item) -> std::optional<std::string> {
    const pugi::xml_attribute on = item.attribute("interactionon");
    if (!on) return std::nullopt;
    return std::string(on.value());
  };
  add(sections.job_sheets, BusinessDocumentType::kJobSheet, attribute);
  add(sections.general_hours, BusinessDocumentType::kGeneralHourLine, attribute);
  add(sections.inspections, BusinessDocumentType::kServiceInspection,
      [](pugi::xml_node inspection) -> std::optional<std::string> {
        const pugi::xml_node on =
            xml::FirstChildElement(xml::FirstChildElement(inspection, "DOCINFO"), "INTERACTIONON");
        if (!on) return std::nullopt;
        return xml::Text(on);
      });
  return scopes;
}

// The three sections of the envelope, in this order, each answered by its feedback section.
// Returns false when the outbox's commit failed and it is worth storing the documents one by
// one; the feedback is then incomplete and the outbox document may have been changed.
bool StoreSections(pugi::xml_document& outbox, const std::string& i_sEmployee,
                   ThreadConnection& state, pugi::xml_document& feedback_document,
                   pugi::xml_node root, CommitMode mode) {
  state.EnsureConnection("Varnex");
  const Sections sections = FindSections(outbox);
  OutboxTransaction transaction(state, ScopesOf(sections, i_sEmployee), mode);

  if (pugi::xml_node section = sections.job_sheets) {
    const pugi::xml_node feedback_section =
        CreateXmlElement(feedback_document, root, "jobsheets", "", {});
    ForEachItem(section, feedback_document, feedback_section, "jobsheet", transaction,
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
                  transaction.StoreUnlessStored(
                      {i_sEmployee, static_cast<InteractionName>(code),
                       BusinessDocumentType::kJobSheet, feedback.interaction_on, id},
                      job_sheet, feedback);
                });
  }

  if (pugi::xml_node section = sections.general_hours) {
    const pugi::xml_node feedback_section =
        CreateXmlElement(feedback_document, root, "generalhours", "", {});
    ForEachItem(section, feedback_document, feedback_section, "hour", transaction,
                [&](pugi::xml_node hour, ItemFeedback& feedback) {
                  const char* kind = "general hours line";
                  feedback.interaction_on = RequiredAttribute(hour, kind, "interactionon");
                  feedback.header_id = RequiredAttribute(hour, kind, "lineid");
                  transaction.StoreUnlessStored({i_sEmployee, InteractionName::kGeneralHourLine,
                                                 BusinessDocumentType::kGeneralHourLine,
                                                 feedback.interaction_on, feedback.header_id},
                                                hour, feedback);
                });
  }

  if (pugi::xml_node section = sections.inspections) {
    const pugi::xml_node feedback_section =
        CreateXmlElement(feedback_document, root, "SERVICEINSPECTIONS", "", {});
    ForEachItem(section, feedback_document, feedback_section, "SERVICEINSPECTION", transaction,
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
                  transaction.StoreNew({i_sEmployee, InteractionName::kServiceInspection,
                                        BusinessDocumentType::kServiceInspection,
                                        feedback.interaction_on, document_id},
                                       inspection, feedback);
                });
  }

  return transaction.Commit();
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
      if (!StoreSections(outbox, i_sEmployee, state, *feedback_document, root,
                         CommitMode::kTogether)) {
        // The outbox did not fit as a whole: the documents that fit on their own are stored,
        // the others are answered with the reason. The stores took the inspections' DOCINFO out
        // of the envelope, so it is read again as the laptop sent it.
        pugi::xml_node(root).remove_children();
        pugi::xml_document again;
        xml::LoadXml(again, i_sOutboxContent);
        StoreSections(again, i_sEmployee, state, *feedback_document, root, CommitMode::kOneByOne);
      }
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
