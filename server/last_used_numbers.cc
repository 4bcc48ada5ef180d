// JobSheet::UpdateLastUsedNumbersInServer: the laptop's last used order, quotation and invoice
// numbers and the server's copies in USERDEFAULTS are raised to the larger of each pair, so
// numbers given out offline never collide with numbers known to the server.
#include <array>
#include <string>

#include "common/error.h"
#include "common/text.h"
#include "platform/db/recordset.h"
#include "platform/xml/xml.h"
#include "server/jobsheet.h"
#include "server/text_parameters.h"
#include "server/thread_connection.h"

namespace tqs::server {
namespace {

using automation::Variant;

// The most read-modify-writes of the user's row in one call. A write refused because another
// call changed the row since it was read is redone on the row as it is then, so two calls at
// the same moment never lower a counter (each would otherwise write its own maximum over the
// other's); after this many refusals the last one goes out as the call's error.
constexpr int kMaxTries = 20;

// One counter: its element in the record ids document and its USERDEFAULTS column.
struct Counter {
  const char* element;
  const char* column;
  pugi::xml_node node;
  std::int16_t sent = 0;    // the document's number
  double sent_text = 0;     // the value of the element's text, before it was rounded to `sent`
  std::int16_t number = 0;  // the larger of the document's and the row's, written to the row
  bool raised = false;      // the row's value was larger: the element's text becomes it

  // Whether the element's text says another number than the row now holds: the row's value
  // was larger, or the text had a fraction that the conversion rounded ("7.6" is stored as 8).
  bool TextDiffersFromRow() const { return raised || sent_text != number; }
};

pugi::xml_node RequiredElement(pugi::xml_node parent, const char* name) {
  pugi::xml_node element = xml::FirstChildElement(parent, name);
  if (!element) {
    throw Error(error_number::kObjectNotSet,
                std::string("Object variable or With block variable not set: the record ids "
                            "document has no '") +
                    name + "' element");
  }
  return element;
}

// One read-modify-write of the user's row: reads it, raises each counter
// to the row's value when that is larger, writes the three numbers. Raises what the
// record set raises, among them the refusal of a row changed since it was read.
void RaiseCountersInRow(const std::string& sql, db::Connection& connection,
                        const std::array<Counter*, 3>& counters) {
  auto user =
      db::Recordset::Open(sql, connection, db::CursorType::kDynamic, db::LockType::kOptimistic);
  for (Counter* counter : counters) {
    counter->number = counter->sent;
    counter->raised = false;
    const Variant stored = user->Field(counter->column);
    if (!stored.IsNull() && stored.AsDouble() > counter->number) {
      counter->number = stored.AsInt16();
      counter->raised = true;
    }
  }
  for (const Counter* counter : counters) user->SetField(counter->column, counter->number);
  user->Update();
  user->Close();
}

}  // namespace

Variant JobSheet::UpdateLastUsedNumbersInServer(const std::string& i_sLogin,
                                                const std::string& i_sDSNString,
                                                Variant& io_sXML) {
  const std::string record_ids_text = io_sXML.AsText();
  CheckTextParameters(
      {{"i_sLogin", i_sLogin}, {"i_sDSNString", i_sDSNString}, {"io_sXML", record_ids_text}});
  pugi::xml_document document;
  xml::LoadXml(document, record_ids_text);
  const pugi::xml_node record_ids = RequiredElement(document, "recordids");
  // Read in the order order, invoice, quotation; processed in the order of the columns.
  Counter order{"order", "LASTJSID"};
  Counter invoice{"invoice", "LASTINVOICEID"};
  Counter quotation{"quotation", "LASTQUOTEID"};
  for (Counter* counter : {&order, &invoice, &quotation}) {
    counter->node = RequiredElement(record_ids, counter->element);
    const Variant text(xml::Text(counter->node));
    counter->sent = text.AsInt16();
    counter->sent_text = text.AsDouble();
  }

  ThreadConnection& state = ThreadConnection::ForCurrentThread();
  state.set_connection_string(i_sDSNString);
  // A disabled login has no row here, as an unknown one: the call fails with 3021.
  const std::string sql = std::string(" SELECT *") + " FROM USERDEFAULTS" +
                          " WHERE USERDEFAULTS.LOGN = " + QuoteSql(i_sLogin) +
                          " AND USERDEFAULTS.DISABLED = 0";
  std::string error_details;
  if (!state.OpenConnection(error_details)) return Variant(false);
  try {
    for (int tries = 1;; ++tries) {
      try {
        RaiseCountersInRow(sql, state.connection(), {&order, &quotation, &invoice});
        break;
      } catch (const Error& error) {
        // The set that was refused is gone with its staged values; the next try reads anew.
        if (!db::IsRowChangedError(error) || tries == kMaxTries) throw;
      }
    }
  } catch (...) {
    state.DropConnection();
    throw;
  }
  state.DropConnection();
  // The document shows what the row now holds: the numbers of the try that was written. A text
  // that already says that number ("007") is left as it was sent.
  for (const Counter* counter : {&order, &quotation, &invoice}) {
    if (counter->TextDiffersFromRow()) {
      counter->node.text().set(std::to_string(counter->number).c_str());
    }
  }
  io_sXML = xml::Serialize(record_ids);
  return {};
}

}  // namespace tqs::server
