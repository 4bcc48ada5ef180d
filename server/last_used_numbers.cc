// JobSheet::UpdateLastUsedNumbersInServer: the laptop's last used order, quotation and invoice
// numbers and the server's copies in USERDEFAULTS are raised to the larger of each pair, so
// numbers given out offline never collide with numbers known to the server.
#include <string>

#include "common/error.h"
#include "common/text.h"
#include "platform/db/recordset.h"
#include "platform/xml/xml.h"
#include "server/jobsheet.h"
#include "server/thread_connection.h"

namespace tqs::server {
namespace {

using automation::Variant;

// One counter: its element in the record ids document and its USERDEFAULTS column.
struct Counter {
  const char* element;
  const char* column;
  pugi::xml_node node;
  std::int16_t number = 0;
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

}  // namespace

Variant JobSheet::UpdateLastUsedNumbersInServer(const std::string& i_sLogin,
                                                const std::string& i_sDSNString,
                                                Variant& io_sXML) {
  pugi::xml_document document;
  xml::LoadXml(document, io_sXML.AsText());
  const pugi::xml_node record_ids = RequiredElement(document, "recordids");
  // Read in the order order, invoice, quotation; processed in the order of the columns.
  Counter order{"order", "LASTJSID"};
  Counter invoice{"invoice", "LASTINVOICEID"};
  Counter quotation{"quotation", "LASTQUOTEID"};
  for (Counter* counter : {&order, &invoice, &quotation}) {
    counter->node = RequiredElement(record_ids, counter->element);
    counter->number = Variant(xml::Text(counter->node)).AsInt16();
  }

  ThreadConnection& state = ThreadConnection::ForCurrentThread();
  state.set_connection_string(i_sDSNString);
  const std::string sql = std::string(" SELECT *") + " FROM USERDEFAULTS" +
                          " WHERE USERDEFAULTS.LOGN = " + QuoteSql(i_sLogin);
  std::string error_details;
  if (!state.OpenConnection(error_details)) return Variant(false);
  try {
    auto user = db::Recordset::Open(sql, state.connection(), db::CursorType::kDynamic,
                                    db::LockType::kOptimistic);
    for (Counter* counter : {&order, &quotation, &invoice}) {
      const Variant stored = user->Field(counter->column);
      if (!stored.IsNull() && stored.AsDouble() > counter->number) {
        counter->number = stored.AsInt16();
        counter->node.text().set(std::to_string(counter->number).c_str());
      }
    }
    for (const Counter* counter : {&order, &quotation, &invoice}) {
      user->SetField(counter->column, counter->number);
    }
    user->Update();
    user->Close();
  } catch (...) {
    state.DropConnection();
    throw;
  }
  state.DropConnection();
  io_sXML = xml::Serialize(record_ids);
  return {};
}

}  // namespace tqs::server
