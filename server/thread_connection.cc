#include "server/thread_connection.h"

#include "common/error.h"

namespace tqs::server {

ThreadConnection& ThreadConnection::ForCurrentThread() {
  thread_local ThreadConnection state;
  return state;
}

bool ThreadConnection::OpenConnection(std::string& error_details) {
  error_details.clear();
  if (state_ == State::kOpen) return true;
  try {
    connection_ = Connect();
    state_ = State::kOpen;
    return true;
  } catch (const Error& error) {
    error_details = error.description();
  } catch (const std::exception& error) {
    error_details = error.what();
  }
  DropConnection();
  return false;
}

void ThreadConnection::EnsureConnection(std::string_view connection_name) {
  if (state_ == State::kNone) state_ = State::kCreated;
  if (connection_name != "Varnex" || state_ == State::kOpen) return;
  try {
    connection_ = Connect();
    state_ = State::kOpen;
  } catch (const std::exception&) {
    DropConnection();
  }
}

void ThreadConnection::CloseConnection() {
  const State state = state_;
  std::unique_ptr<db::Connection> connection = std::move(connection_);
  state_ = State::kNone;
  switch (state) {
    case State::kNone:
      throw ObjectNotSetError();
    case State::kCreated:
      throw Error(error_number::kObjectClosed,
                  "Operation is not allowed when the object is closed.");
    case State::kOpen:
      if (keep_sqlite_ && connection->Provider() == "SQLite" && !connection->InTransaction()) {
        kept_ = std::move(connection);
        kept_for_ = connection_string_;
        return;
      }
      connection->Close();
      return;
  }
}

std::unique_ptr<db::Connection> ThreadConnection::Connect() {
  if (kept_ && kept_for_ == connection_string_ && kept_->IsOpen()) return std::move(kept_);
  kept_.reset();
  return db::Connection::Open(connection_string_, "", "");
}

void ThreadConnection::DropConnection() {
  connection_.reset();
  state_ = State::kNone;
}

db::Connection& ThreadConnection::connection() {
  switch (state_) {
    case State::kNone:
      throw ObjectNotSetError();
    case State::kCreated:
      throw Error(error_number::kConnectionInvalid,
                  "The connection cannot be used to perform this operation. It is either closed "
                  "or invalid in this context.");
    case State::kOpen:
      break;
  }
  return *connection_;
}

}  // namespace tqs::server
