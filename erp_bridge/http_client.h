// Posts one JSON request to an ERP adapter over HTTP(S) with libcurl and tells apart the three
// ways it can end: an HTTP answer arrived (any status), the exchange failed in a way that a
// repetition may cure (no connection, connection dropped, time-out), or it failed for good (TLS
// certificate refused, answer too large, malformed address). It never retries by itself and
// never raises for a transport failure: the caller decides.
//
// Stateless apart from the settings; safe to use from several threads at once (each Post uses
// its own connection).
#ifndef TQS_ERP_BRIDGE_HTTP_CLIENT_H_
#define TQS_ERP_BRIDGE_HTTP_CLIENT_H_

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "erp_bridge/bridge_settings.h"

namespace tqs::erp_bridge {

enum class PostEnd {
  kAnswered,          // status and body hold the adapter's answer
  kTransportFailure,  // no answer; the request may or may not have reached the adapter
  kTimedOut,          // no complete answer within the time-out
  kRefused,           // no answer, and sending again would end the same way
};

struct PostOutcome {
  PostEnd end = PostEnd::kTransportFailure;
  long status = 0;
  std::string body;     // the answer's body when answered
  std::string failure;  // what went wrong otherwise
};

class HttpClient {
 public:
  // The most an answer may hold; a larger one is refused.
  static constexpr std::size_t kMostAnswerBytes = 64 * 1024 * 1024;

  explicit HttpClient(BridgeSettings settings);

  // POSTs `body` as application/json to the settings' Url with `headers` ("Name: value") and
  // the Authorization header of the settings.
  PostOutcome Post(std::string_view body, const std::vector<std::string>& headers) const;

  const BridgeSettings& settings() const { return settings_; }

 private:
  const BridgeSettings settings_;
};

}  // namespace tqs::erp_bridge

#endif  // TQS_ERP_BRIDGE_HTTP_CLIENT_H_
