// The answers of the HTTP host, apart from the network: what a complete, authenticated request
// for a JobSheet method, the health check or the metrics is answered (status and text), and the
// JSON refusal that every error answer carries ({"error": {"description": ...}}). The call, the
// health check and the metrics touch the database and run on a worker thread; the rest is
// pure. Thread-safe.
#ifndef TQS_SERVER_HOST_HTTP_ANSWERS_H_
#define TQS_SERVER_HOST_HTTP_ANSWERS_H_

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/automation/component_registry.h"
#include "server/host/http_metrics.h"
#include "server/host/method_table.h"

namespace tqs::server::host {

enum class ContentType { kJson, kPrometheusText, kHtml, kCss, kJavaScript };

// The Content-Type header's value of `type`.
const char* ContentTypeText(ContentType type);

struct HttpAnswer {
  int status = 200;
  std::string body;
  ContentType type = ContentType::kJson;
  // Further headers of the answer (the console's security headers, cookies, redirects).
  std::vector<std::pair<std::string, std::string>> headers;
};

// {"error": {"description": description}} with `status`.
HttpAnswer Refusal(int status, std::string_view description);

// Calls `method` with the JSON request `body` on the database `connection_string` (a request
// that names i_sDSNString is refused): 200 with the answer of `TQSRemoteServerHost call`, 400 for
// a request that is not valid JSON or does not fit the method, 500 with "error" when it raises.
// The documents of an upload answered 200 are counted in `metrics` from its feedback.
HttpAnswer AnswerCall(const Method& method, std::string_view body,
                      const std::string& connection_string,
                      const automation::ComponentRegistry& components, HttpMetrics& metrics);

// The health check: {"status": "ok"} when the database opens, with the upload queue when
// `authorized`; 503 {"status": "database unavailable"} when it does not (with the provider's
// reason only when `authorized`).
HttpAnswer AnswerHealth(bool authorized, const std::string& connection_string);

// The metrics in the Prometheus text format (always 200): the host's request counts and
// latencies from `metrics`, then the upload queue (the same query as the health check's):
// tqsremote_upload_queue_documents{type,status}, tqsremote_upload_queue_oldest_pending_seconds
// {type} for the types with pending rows whose received-at time is known, and the rows waiting
// for an operator; tqsremote_database_up is 0, and the queue left out, when the database cannot
// be opened or read.
HttpAnswer AnswerMetrics(const HttpMetrics& metrics, const std::string& connection_string);

// Whether `given` equals `expected`, compared without an early exit so that the time taken does
// not tell how much of a guess matched.
bool SameSecret(std::string_view given, std::string_view expected);

}  // namespace tqs::server::host

#endif  // TQS_SERVER_HOST_HTTP_ANSWERS_H_
