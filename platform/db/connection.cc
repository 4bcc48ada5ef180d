#include "platform/db/connection.h"

#include "common/error.h"
#include "platform/db/connection_string.h"
#include "platform/db/internal/connection_impl.h"
#include "platform/db/postgres/postgres_driver.h"
#include "platform/db/sqlite/sqlite_driver.h"

namespace tqs::db {
namespace {

using internal::Session;

std::unique_ptr<internal::Driver> OpenDriver(const ConnectionString& parsed, bool create) {
  switch (parsed.provider()) {
    case ProviderKind::kSqlite:
    case ProviderKind::kJet: {
      // Jet keys such as Persist Security Info and Jet OLEDB:Database Password have no
      // meaning for the SQLite stand-in and are ignored.
      sqlite::OpenOptions options;
      options.path = parsed.Require("Data Source");
      options.role = parsed.provider() == ProviderKind::kSqlite ? sqlite::FileRole::kServerDatabase
                                                                : sqlite::FileRole::kClientDatabase;
      options.create_missing = create;
      return sqlite::OpenDriver(options);
    }
    case ProviderKind::kPostgreSql: {
      postgres::OpenOptions options;
      options.address.host = parsed.Find("Host").value_or("");
      options.address.port = parsed.Find("Port").value_or("");
      options.address.database = parsed.Require("Database");
      options.address.user = parsed.Find("User ID").value_or("");
      options.address.password = parsed.Find("Password").value_or("");
      options.address.search_path = parsed.Find("Search Path").value_or("");
      if (auto timeout = parsed.Find("Connect Timeout")) options.address.connect_timeout = *timeout;
      options.create_missing = create;
      return postgres::OpenDriver(options);
    }
  }
  throw Error(error_number::kProviderNotFound,
              "Provider '" + std::string(parsed.ProviderName()) +
                  "' is not available in this build (its backend is not compiled in)");
}

std::unique_ptr<Connection> OpenParsed(const ConnectionString& parsed, bool create) {
  auto session =
      std::make_shared<Session>(OpenDriver(parsed, create), std::string(parsed.ProviderName()));
  return std::make_unique<internal::ConnectionImpl>(std::move(session));
}

}  // namespace

std::unique_ptr<Connection> Connection::Open(std::string_view connection_string,
                                             std::string_view user, std::string_view password) {
  ConnectionString parsed = ConnectionString::Parse(connection_string);
  if (!user.empty()) parsed.SetValue("User ID", std::string(user));
  if (!password.empty()) parsed.SetValue("Password", std::string(password));
  return OpenParsed(parsed, /*create=*/false);
}

std::unique_ptr<Connection> Connection::OpenOrCreate(std::string_view connection_string) {
  return OpenParsed(ConnectionString::Parse(connection_string), /*create=*/true);
}

namespace internal {

ConnectionImpl::~ConnectionImpl() {
  try {
    session_->Close();
  } catch (...) {
    // A failure while closing on destruction has no one to go to.
  }
}

std::int64_t ConnectionImpl::Execute(std::string_view sql) { return session_->Execute(sql); }

void ConnectionImpl::ExecuteBatch(std::string_view script) { session_->ExecuteBatch(script); }

void ConnectionImpl::BeginTrans() { session_->BeginTrans(); }

bool ConnectionImpl::InTransaction() const { return session_->InTransaction(); }

void ConnectionImpl::CommitTrans() { session_->CommitTrans(); }

void ConnectionImpl::RollbackTrans() { session_->RollbackTrans(); }

void ConnectionImpl::Close() {
  session_->CheckOpen();
  session_->Close();
}

bool ConnectionImpl::IsOpen() const { return session_->IsOpen(); }

std::string ConnectionImpl::Provider() const { return session_->provider(); }

std::shared_ptr<Session> SessionOf(Connection& connection) {
  auto* impl = dynamic_cast<ConnectionImpl*>(&connection);
  if (impl == nullptr) {
    throw InvalidProcedureCallError(
        "the record set's connection was not opened by Connection::Open");
  }
  impl->session()->CheckOpen();
  return impl->session();
}

}  // namespace internal
}  // namespace tqs::db
