// Trapped runs a piece of database work and turns any error it raises into its description:
// the JobSheet operations report failures by their result and an error text, for the caller to
// turn into feedback, rather than raising.
#ifndef TQS_SERVER_ERROR_TRAP_H_
#define TQS_SERVER_ERROR_TRAP_H_

#include <exception>
#include <string>

#include "common/error.h"

namespace tqs::server {

// Runs `body`; returns true when it completed, else false with the error's description in
// error_text.
template <typename Body>
bool Trapped(std::string& error_text, Body&& body) {
  try {
    body();
    return true;
  } catch (const Error& error) {
    error_text = error.description();
  } catch (const std::exception& error) {
    error_text = error.what();
  }
  return false;
}

}  // namespace tqs::server

#endif  // TQS_SERVER_ERROR_TRAP_H_
