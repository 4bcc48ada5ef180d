// The operations of the JobSheet component on CLIENTSERVERINTERACTION: the duplicate test of a
// re-sent document (FindInteraction), the numbering of a new document (NextInteractionId), the
// new pending row (InsertInteraction), both together and atomic within an upload's transaction
// (StoreNumberedInteraction, StoreInteractionUnlessStored), and the result look-up for the
// laptop (GetInteractionResult). They work on the calling thread's connection and never raise:
// each reports failure by its result and hands the provider's description back through
// error_text, for the caller to turn into feedback.
//
// Values reach the SQL only as bound parameters, never as text pasted into it.
#ifndef TQS_SERVER_INTERACTION_RECORDS_H_
#define TQS_SERVER_INTERACTION_RECORDS_H_

#include <cstdint>
#include <pugixml.hpp>
#include <string>

#include "common/interaction_types.h"
#include "server/thread_connection.h"
#include "server/upload_transaction.h"

namespace tqs::server {

// The identity of a stored document: the duplicate test.
struct DocumentIdentity {
  std::string employee;
  InteractionName name;
  BusinessDocumentType type;
  std::string interaction_on;
  std::string document_id;

  NumberingScope scope() const { return {employee, type, interaction_on}; }
};

// 1 and the stored interaction id when a document with this identity exists; 0 (id 0) when
// none does; -1 (id 0) on error.
int FindInteraction(ThreadConnection& state, const DocumentIdentity& document,
                    std::int32_t& interaction_id, std::string& error_text);

// The next free INTERACTIONID for (employee, type, interaction-on): 1 for the first, else the
// highest + 1, whatever the interaction name. -1 on error, also when the highest is the
// largest 32-bit number (an overflow error: numbers never wrap).
std::int32_t NextInteractionId(ThreadConnection& state, const std::string& employee,
                               BusinessDocumentType type, const std::string& interaction_on,
                               std::string& error_text);

// Appends the pending row (status 5) holding the serialised document. Returns true when it
// failed.
bool InsertInteraction(ThreadConnection& state, const DocumentIdentity& document,
                       std::int32_t interaction_id, const pugi::xml_node& document_node,
                       std::string& error_text);

// NextInteractionId followed by InsertInteraction in a savepoint of `upload`, under the lock of
// the document's numbering scope, so concurrent uploads never receive the same number. Returns
// true when it failed; nothing of it is stored then, and interaction_id is 0 when the numbering
// failed or the number allocated when the insert did. The row is stored once `upload` commits.
bool StoreNumberedInteraction(UploadTransaction& upload, const DocumentIdentity& document,
                              const pugi::xml_node& document_node, std::int32_t& interaction_id,
                              std::string& error_text);

enum class StoreOutcome {
  kStored,         // stored under the new number
  kAlreadyStored,  // a document with the same identity was stored before: its number
  kLookUpFailed,   // the duplicate test or the numbering failed: number 0
  kInsertFailed,   // the insert failed: the number it had been given
};

// The duplicate test (FindInteraction), then NextInteractionId and InsertInteraction, all in a
// savepoint of `upload` under the numbering scope's lock: the same document uploaded twice at
// the same moment is stored once and answered as already stored the second time (also within
// one outbox). Sets interaction_id as StoreOutcome says; error_text on the two failures.
StoreOutcome StoreInteractionUnlessStored(UploadTransaction& upload,
                                          const DocumentIdentity& document,
                                          const pugi::xml_node& document_node,
                                          std::int32_t& interaction_id, std::string& error_text);

// The stored INTERACTIONRESULT of a finished row (status other than 5), or "" when no finished
// row matches or its result is null. Returns true when it failed, with the description escaped
// for XML text.
bool GetInteractionResult(ThreadConnection& state, const std::string& employee,
                          const std::string& interaction_on, BusinessDocumentType type,
                          std::int32_t interaction_id, std::string& result,
                          std::string& error_text);

}  // namespace tqs::server

#endif  // TQS_SERVER_INTERACTION_RECORDS_H_
