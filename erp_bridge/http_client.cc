#include "erp_bridge/http_client.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace tqs::erp_bridge {

namespace {

// libcurl's global state is set up once per process, before the first handle.
void InitialiseCurl() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct ListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// Collects the answer, refusing one larger than the limit (libcurl then ends the transfer
// with a write error).
struct AnswerSink {
  std::string body;
  bool too_large = false;

  static size_t Write(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<AnswerSink*>(user);
    const size_t bytes = size * count;
    if (sink->body.size() + bytes > HttpClient::kMostAnswerBytes) {
      sink->too_large = true;
      return 0;
    }
    sink->body.append(data, bytes);
    return bytes;
  }
};

PostEnd EndOf(CURLcode code) {
  switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
      return PostEnd::kTimedOut;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_SSL_CONNECT_ERROR:
      return PostEnd::kTransportFailure;
    default:
      return PostEnd::kRefused;
  }
}

}  // namespace

HttpClient::HttpClient(BridgeSettings settings) : settings_(std::move(settings)) {
  InitialiseCurl();
}

PostOutcome HttpClient::Post(std::string_view body, const std::vector<std::string>& headers) const {
  PostOutcome outcome;
  std::unique_ptr<CURL, EasyDeleter> handle(curl_easy_init());
  if (!handle) {
    outcome.end = PostEnd::kRefused;
    outcome.failure = "libcurl could not start a transfer";
    return outcome;
  }
  // The list's head stays the same node once the first header is in.
  std::unique_ptr<curl_slist, ListDeleter> header_list;
  bool headers_complete = true;
  const auto add_header = [&](const std::string& header) {
    curl_slist* extended = curl_slist_append(header_list.get(), header.c_str());
    if (extended == nullptr) {
      headers_complete = false;
    } else if (!header_list) {
      header_list.reset(extended);
    }
  };
  add_header("Content-Type: application/json; charset=utf-8");
  add_header("Accept: application/json");
  // No "100-continue" round trip before the body.
  add_header("Expect:");
  if (settings_.authorization) add_header("Authorization: " + *settings_.authorization);
  for (const std::string& header : headers) add_header(header);
  if (!headers_complete) {
    // A request without its Idempotency-Key header must not leave.
    outcome.end = PostEnd::kRefused;
    outcome.failure = "libcurl could not hold the request's headers";
    return outcome;
  }

  AnswerSink sink;
  char error_text[CURL_ERROR_SIZE] = {};
  CURL* curl = handle.get();
  curl_easy_setopt(curl, CURLOPT_URL, settings_.url.c_str());
  curl_easy_setopt(curl, CURLOPT_POST, 1L);
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
  curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, header_list.get());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &AnswerSink::Write);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error_text);
  // Several threads may post at once; time-outs must not rely on signals.
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS,
                   static_cast<long>(settings_.connect_timeout.count()));
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(settings_.timeout.count()));
  // A redirect would send the document (and the Authorization header) somewhere else.
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  if (settings_.ca_file) curl_easy_setopt(curl, CURLOPT_CAINFO, settings_.ca_file->c_str());

  const CURLcode code = curl_easy_perform(curl);
  if (code == CURLE_OK) {
    outcome.end = PostEnd::kAnswered;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &outcome.status);
    outcome.body = std::move(sink.body);
    return outcome;
  }
  if (sink.too_large) {
    outcome.end = PostEnd::kRefused;
    outcome.failure = "the answer is larger than " + std::to_string(kMostAnswerBytes) + " bytes";
    return outcome;
  }
  outcome.end = EndOf(code);
  outcome.failure = error_text[0] != '\0' ? std::string(error_text) : curl_easy_strerror(code);
  return outcome;
}

}  // namespace tqs::erp_bridge
