#include "masterdata/label_table.h"

#include "common/error.h"
#include "platform/db/connection.h"

namespace tqs::masterdata {

LabelTable::LabelTable() = default;
LabelTable::~LabelTable() = default;
LabelTable::LabelTable(LabelTable&&) noexcept = default;
LabelTable& LabelTable::operator=(LabelTable&&) noexcept = default;

std::string LabelTable::Query(std::string_view language) {
  return "SELECT  * FROM i18nText WHERE  pagecontext='" + std::string(kPageContext) +
         "' AND  localeid='" + std::string(language) + "'";
}

LabelTable LabelTable::Load(std::string_view server_connection_string, std::string_view language) {
  auto connection = db::Connection::Open(server_connection_string);
  LabelTable table;
  table.labels_ = db::Recordset::Open(Query(language), *connection, db::CursorType::kStatic,
                                      db::LockType::kOptimistic);
  table.labels_->Disconnect();
  connection->Close();
  return table;
}

std::string LabelTable::GetLabel(std::string_view code) {
  if (!labels_) return "";
  try {
    labels_->SetFilter("LABEL='" + std::string(code) + "'");
    if (labels_->IsBOF() || labels_->IsEOF()) return "";
    return labels_->Field("TEXT").ToTextOrEmpty();
  } catch (const Error&) {
    return "";
  }
}

}  // namespace tqs::masterdata
