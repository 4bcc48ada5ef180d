#include "server/host/http_answers.h"

#include <optional>

#include "common/error.h"
#include "common/text.h"
#include "platform/db/connection.h"
#include "server/admin/queue_health.h"
#include "server/jobsheet.h"

namespace tqs::server::host {
namespace {

HttpAnswer Json(int status, const nlohmann::json& body) { return {status, JsonText(body)}; }

}  // namespace

HttpAnswer Refusal(int status, std::string_view description) {
  return Json(status, {{"error", {{"description", description}}}});
}

HttpAnswer AnswerCall(const Method& method, std::string_view body,
                      const std::string& connection_string,
                      const automation::ComponentRegistry& components) {
  nlohmann::json request = nlohmann::json::parse(body, nullptr, false);
  if (request.is_discarded()) return Refusal(400, "The request body is not valid JSON");
  if (request.is_object() && request.contains("i_sDSNString")) {
    return Refusal(
        400, "i_sDSNString is set by the server's configuration; leave it out of the request");
  }
  if (TakesConnectionString(method) && request.is_object()) {
    request["i_sDSNString"] = connection_string;
  }
  std::optional<Arguments> arguments;
  try {
    arguments.emplace(BindArguments(method, request));
  } catch (const Error& error) {
    return Refusal(400, error.description());
  }
  try {
    JobSheet job_sheet(components);
    return Json(200, Invoke(method, job_sheet, *arguments));
  } catch (const Error& error) {
    return Json(500, ErrorResponse(error.number(), error.description()));
  } catch (const std::exception& error) {
    return Json(500, ErrorResponse(error_number::kGenericFailure, error.what()));
  }
}

HttpAnswer AnswerHealth(bool authorized, const std::string& connection_string) {
  nlohmann::json body = {{"status", "ok"}};
  try {
    auto connection = db::Connection::Open(connection_string);
    if (authorized) body["queue"] = ToJson(ReadQueueHealth(*connection));
  } catch (const Error& error) {
    body["status"] = "database unavailable";
    if (authorized) body["error"] = error.description();
    return Json(503, body);
  }
  return Json(200, body);
}

bool SameSecret(std::string_view given, std::string_view expected) {
  unsigned char difference = given.size() == expected.size() ? 0 : 1;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const unsigned char g = i < given.size() ? static_cast<unsigned char>(given[i]) : 0;
    difference |= g ^ static_cast<unsigned char>(expected[i]);
  }
  return difference == 0;
}

}  // namespace tqs::server::host
