#include "server/host/database_keeper.h"

#include <exception>

#include "platform/db/connection_string.h"

namespace tqs::server::host {

DatabaseKeeper::DatabaseKeeper(std::string_view connection_string) {
  try {
    if (db::ConnectionString::Parse(connection_string).provider() != db::ProviderKind::kSqlite) {
      return;
    }
    connection_ = db::Connection::Open(connection_string, "", "");
  } catch (const std::exception&) {
    // Without the keeper every call still works; each close just copies the log again.
    connection_.reset();
  }
}

DatabaseKeeper::~DatabaseKeeper() {
  if (!connection_) return;
  try {
    connection_->Close();
  } catch (const std::exception&) {
    // The log stays beside the database and is taken in when the database is next opened.
  }
}

}  // namespace tqs::server::host
