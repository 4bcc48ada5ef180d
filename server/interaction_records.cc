#include "server/interaction_records.h"

#include <limits>
#include <optional>
#include <sstream>

#include "common/error.h"
#include "common/text.h"
#include "platform/db/recordset.h"
#include "server/error_trap.h"

namespace tqs::server {
namespace {

using db::CursorType;
using db::LockType;

std::string SerializeNode(const pugi::xml_node& node) {
  std::ostringstream out;
  node.print(out, "", pugi::format_raw);
  return out.str();
}

// The look-ups run again for every document and every interaction asked for, so their values
// are bound to a statement that each connection compiles once; the comparisons are those of the
// quoted text and number literals they replace.
std::optional<std::int32_t> FindInteractionOn(db::Connection& connection,
                                              const DocumentIdentity& document) {
  const automation::Variant parameters[] = {
      document.employee, ToNumber(document.type), document.interaction_on,
      ToNumber(document.name), document.document_id};
  auto rs = db::Recordset::OpenWithParameters(
      "SELECT INTERACTIONID FROM CLIENTSERVERINTERACTION"
      " WHERE EMPLOYEEID=? AND BUSINESSDOCUMENTTYPE=? AND INTERACTIONON =?"
      " AND INTERACTIONNAME=? AND BUSINESSDOCUMENTID=?",
      parameters, connection);
  if (rs->IsEOF()) return std::nullopt;
  const std::int32_t id = rs->Field(0).AsInt32();
  rs->Close();
  return id;
}

std::int32_t NextInteractionIdOn(db::Connection& connection, const std::string& employee,
                                 BusinessDocumentType type, const std::string& interaction_on) {
  const automation::Variant parameters[] = {employee, ToNumber(type), interaction_on};
  auto rs = db::Recordset::OpenWithParameters(
      "SELECT MAX(INTERACTIONID) FROM CLIENTSERVERINTERACTION"
      " WHERE EMPLOYEEID=? AND BUSINESSDOCUMENTTYPE=? AND INTERACTIONON =?",
      parameters, connection);
  const automation::Variant highest = rs->Field(0);
  rs->Close();
  if (highest.IsNull()) return 1;
  const std::int32_t last = highest.AsInt32();
  if (last == std::numeric_limits<std::int32_t>::max()) {
    // The scope's numbers are used up. Counting on would wrap to a negative number, which
    // every later upload into the scope would then be given again.
    throw Error(error_number::kOverflow, "Overflow: no interaction number is left after " +
                                             std::to_string(last) + " for employee '" +
                                             Excerpt(employee) + "' and interaction-on '" +
                                             Excerpt(interaction_on) + "'");
  }
  return last + 1;
}

void InsertInteractionOn(db::Connection& connection, const DocumentIdentity& document,
                         std::int32_t interaction_id, const pugi::xml_node& document_node) {
  // An empty keyed set to add the row to: opening the whole table would first read the key
  // of every row it holds, which grows with the years of interactions kept.
  auto rs = db::Recordset::Open("SELECT * FROM CLIENTSERVERINTERACTION WHERE 1=0", connection,
                                CursorType::kKeyset, LockType::kOptimistic);
  rs->AddNew();
  rs->SetField("EMPLOYEEID", document.employee);
  rs->SetField("BUSINESSDOCUMENTTYPE", ToNumber(document.type));
  rs->SetField("INTERACTIONNAME", ToNumber(document.name));
  rs->SetField("INTERACTIONON", document.interaction_on);
  rs->SetField("INTERACTIONID", interaction_id);
  rs->SetField("BUSINESSDOCUMENTID", document.document_id);
  rs->SetField("BUSINESSDOCUMENTCONTENTS", SerializeNode(document_node));
  rs->SetField("INTERACTIONSTATUS", ToNumber(InteractionStatus::kPending));
  rs->Update();
  rs->Close();
}

}  // namespace

int FindInteraction(ThreadConnection& state, const DocumentIdentity& document,
                    std::int32_t& interaction_id, std::string& error_text) {
  interaction_id = 0;
  std::optional<std::int32_t> found;
  if (!Trapped(error_text, [&] { found = FindInteractionOn(state.connection(), document); })) {
    return -1;
  }
  interaction_id = found.value_or(0);
  return found ? 1 : 0;
}

std::int32_t NextInteractionId(ThreadConnection& state, const std::string& employee,
                               BusinessDocumentType type, const std::string& interaction_on,
                               std::string& error_text) {
  std::int32_t next = -1;
  Trapped(error_text, [&] {
    next = NextInteractionIdOn(state.connection(), employee, type, interaction_on);
  });
  return next;
}

bool InsertInteraction(ThreadConnection& state, const DocumentIdentity& document,
                       std::int32_t interaction_id, const pugi::xml_node& document_node,
                       std::string& error_text) {
  return !Trapped(error_text, [&] {
    InsertInteractionOn(state.connection(), document, interaction_id, document_node);
  });
}

bool StoreNumberedInteraction(UploadTransaction& upload, const DocumentIdentity& document,
                              const pugi::xml_node& document_node, std::int32_t& interaction_id,
                              std::string& error_text) {
  interaction_id = 0;
  return !upload.Run(
      document.scope(),
      [&](db::Connection& connection) {
        interaction_id = NextInteractionIdOn(connection, document.employee, document.type,
                                             document.interaction_on);
        InsertInteractionOn(connection, document, interaction_id, document_node);
      },
      error_text);
}

StoreOutcome StoreInteractionUnlessStored(UploadTransaction& upload,
                                          const DocumentIdentity& document,
                                          const pugi::xml_node& document_node,
                                          std::int32_t& interaction_id, std::string& error_text) {
  interaction_id = 0;
  StoreOutcome outcome = StoreOutcome::kStored;
  bool numbered = false;
  const bool ok = upload.Run(
      document.scope(),
      [&](db::Connection& connection) {
        if (const std::optional<std::int32_t> found = FindInteractionOn(connection, document)) {
          interaction_id = *found;
          outcome = StoreOutcome::kAlreadyStored;
          return;  // nothing written
        }
        interaction_id = NextInteractionIdOn(connection, document.employee, document.type,
                                             document.interaction_on);
        numbered = true;
        InsertInteractionOn(connection, document, interaction_id, document_node);
      },
      error_text);
  if (ok) return outcome;
  if (!numbered) interaction_id = 0;
  return numbered ? StoreOutcome::kInsertFailed : StoreOutcome::kLookUpFailed;
}

bool GetInteractionResult(ThreadConnection& state, const std::string& employee,
                          const std::string& interaction_on, BusinessDocumentType type,
                          std::int32_t interaction_id, std::string& result,
                          std::string& error_text) {
  result.clear();
  const bool ok = Trapped(error_text, [&] {
    const automation::Variant parameters[] = {employee, ToNumber(type), interaction_on,
                                              interaction_id};
    auto rs = db::Recordset::OpenWithParameters(
        "SELECT INTERACTIONRESULT FROM CLIENTSERVERINTERACTION"
        " WHERE EMPLOYEEID=? AND BUSINESSDOCUMENTTYPE=? AND INTERACTIONON =?"
        " AND INTERACTIONID =? AND INTERACTIONSTATUS <> 5",
        parameters, state.connection());
    if (!rs->IsEOF()) result = rs->Field(0).ToTextOrEmpty();
  });
  if (!ok) error_text = EscapeXmlText(error_text);
  return !ok;
}

}  // namespace tqs::server
