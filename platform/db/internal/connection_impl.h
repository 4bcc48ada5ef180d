// The Connection that Connection::Open returns: a thin owner of its Session. Record sets reach
// the session through SessionOf.
#ifndef TQS_PLATFORM_DB_INTERNAL_CONNECTION_IMPL_H_
#define TQS_PLATFORM_DB_INTERNAL_CONNECTION_IMPL_H_

#include <memory>

#include "platform/db/connection.h"
#include "platform/db/internal/session.h"

namespace tqs::db::internal {

class ConnectionImpl final : public Connection {
 public:
  explicit ConnectionImpl(std::shared_ptr<Session> session) : session_(std::move(session)) {}
  ~ConnectionImpl() override;

  std::int64_t Execute(std::string_view sql) override;
  void ExecuteBatch(std::string_view script) override;
  void BeginTrans() override;
  void CommitTrans() override;
  void RollbackTrans() override;
  bool InTransaction() const override;
  void Close() override;
  bool IsOpen() const override;
  std::string Provider() const override;

  const std::shared_ptr<Session>& session() const { return session_; }

 private:
  const std::shared_ptr<Session> session_;
};

// The open session behind `connection`: raises 3704 when it is closed, and an error naming
// the problem when `connection` was not made by Connection::Open.
std::shared_ptr<Session> SessionOf(Connection& connection);

}  // namespace tqs::db::internal

#endif  // TQS_PLATFORM_DB_INTERNAL_CONNECTION_IMPL_H_
