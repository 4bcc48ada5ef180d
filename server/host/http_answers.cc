#include "server/host/http_answers.h"

#include <optional>
#include <pugixml.hpp>

#include "common/error.h"
#include "common/text.h"
#include "platform/db/connection.h"
#include "server/jobsheet.h"
#include "server/queue_health.h"

namespace tqs::server::host {
namespace {

constexpr std::string_view kUploadMethod = "StoreOutboxContent";

HttpAnswer Json(int status, const nlohmann::json& body) {
  return {.status = status, .body = JsonText(body)};
}

// Counts the items of an upload's feedback document (o_vResult) by their errortype: empty for
// a document stored now, "conflict" for one stored before, anything else for one not stored.
void CountUploadedDocuments(const nlohmann::json& answer, HttpMetrics& metrics) {
  const auto feedback = answer.find("o_vResult");
  if (feedback == answer.end() || !feedback->is_string()) return;
  pugi::xml_document document;
  if (!document.load_string(feedback->get_ref<const std::string&>().c_str())) return;
  std::uint64_t stored = 0;
  std::uint64_t conflicts = 0;
  std::uint64_t failed = 0;
  for (const pugi::xpath_node& item : document.select_nodes("//*[@errortype]")) {
    const std::string_view type = item.node().attribute("errortype").value();
    ++(type.empty() ? stored : type == "conflict" ? conflicts : failed);
  }
  metrics.RecordUploadedDocuments(stored, conflicts, failed);
}

void WriteQueue(const QueueHealth& queue, PrometheusText& text) {
  text.Family("tqsremote_upload_queue_documents", MetricType::kGauge,
              "Uploaded documents in the queue, by document type and status.");
  for (const auto& type : queue.types) {
    for (const auto& [status, count] :
         {std::pair{"pending", type.pending}, std::pair{"processed", type.processed},
          std::pair{"failed", type.failed}, std::pair{"unrecognised", type.unrecognised}}) {
      text.Sample("tqsremote_upload_queue_documents", {{"type", type.name}, {"status", status}},
                  static_cast<double>(count));
    }
  }
  text.Family("tqsremote_upload_queue_oldest_pending_seconds", MetricType::kGauge,
              "Age of the oldest pending document, by document type.");
  for (const auto& type : queue.types) {
    if (type.oldest_pending && type.oldest_pending->age_seconds) {
      text.Sample("tqsremote_upload_queue_oldest_pending_seconds", {{"type", type.name}},
                  static_cast<double>(*type.oldest_pending->age_seconds));
    }
  }
  text.Family("tqsremote_upload_queue_waiting_for_operator", MetricType::kGauge,
              "Pending documents an operator must look at: in doubt, or failing repeatedly.");
  text.Sample("tqsremote_upload_queue_waiting_for_operator", {{"reason", "in doubt"}},
              static_cast<double>(queue.in_doubt));
  text.Sample("tqsremote_upload_queue_waiting_for_operator", {{"reason", "repeatedly failing"}},
              static_cast<double>(queue.repeatedly_failing));
}

}  // namespace

const char* ContentTypeText(ContentType type) {
  switch (type) {
    case ContentType::kPrometheusText:
      return kPrometheusTextContentType;
    case ContentType::kHtml:
      return "text/html; charset=utf-8";
    case ContentType::kCss:
      return "text/css; charset=utf-8";
    case ContentType::kJavaScript:
      return "text/javascript; charset=utf-8";
    case ContentType::kJson:
      break;
  }
  return "application/json";
}

HttpAnswer Refusal(int status, std::string_view description) {
  return Json(status, {{"error", {{"description", description}}}});
}

HttpAnswer AnswerCall(const Method& method, std::string_view body,
                      const std::string& connection_string,
                      const automation::ComponentRegistry& components, HttpMetrics& metrics) {
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
    const nlohmann::json answer = Invoke(method, job_sheet, *arguments);
    if (method.name == kUploadMethod) CountUploadedDocuments(answer, metrics);
    return Json(200, answer);
  } catch (const Error& error) {
    // A document parameter that is not XML is the request's fault.
    if (arguments->refused_a_parameter()) return Refusal(400, error.description());
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

HttpAnswer AnswerMetrics(const HttpMetrics& metrics, const std::string& connection_string) {
  PrometheusText text;
  metrics.Write(text);
  std::optional<QueueHealth> queue;
  try {
    auto connection = db::Connection::Open(connection_string);
    queue = ReadQueueHealth(*connection);
  } catch (const Error&) {
    // Reported as tqsremote_database_up 0; the reason is in /health with the secret.
  }
  text.Family("tqsremote_database_up", MetricType::kGauge,
              "1 when the server database could be opened and its queue read, else 0.");
  text.Sample("tqsremote_database_up", {}, queue ? 1 : 0);
  if (queue) WriteQueue(*queue, text);
  return {.status = 200, .body = text.text(), .type = ContentType::kPrometheusText};
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
