// The AdapterClient forwards one call of an ERP entry method (getJobSheets, ProcessJobSheet,
// Create, ProcessServiceInspection, svbodll350002updateassignments) to the adapter of one
// component prefix: it POSTs one JSON request describing the call and its whole argument graph
// (graph_json.h), reads the JSON answer and turns it into the call's result and the new values
// of its by-reference arguments.
//
// Request:  {"contract": 1, "component": prefix, "class": manager identifier, "method": name,
//            "businessComponent": text, "idempotencyKey": text, "arguments": [value, ...]}
//           with the header "Idempotency-Key: <the same key>".
// Answer:   {"result": value, "arguments": {"<position>": value, ...}}, both optional, or
//           {"error": {"number": whole number, "description": text}} when the ERP raises.
//
// A transport failure (no connection, connection dropped, time-out) and the HTTP statuses 502,
// 503 and 504 are followed by the same request again, same key, up to Retries times, waiting
// RetryDelay and then twice as long each time. Any other failure, and the last one, raise
// tqs::Error (the generic failure) whose description names the adapter, the call, the key and
// what went wrong; an "error" answer raises the adapter's number and description. Nothing of a
// malformed answer reaches the arguments.
//
// Safe to use from several threads at once.
#ifndef TQS_ERP_BRIDGE_ADAPTER_CLIENT_H_
#define TQS_ERP_BRIDGE_ADAPTER_CLIENT_H_

#include <span>
#include <string>
#include <string_view>

#include "erp_bridge/http_client.h"
#include "platform/automation/variant.h"

namespace tqs::erp_bridge {

// The version of the request and answer shapes; an incompatible change raises it.
inline constexpr int kContractVersion = 1;

// What identifies one forwarded call.
struct AdapterCall {
  std::string_view prog_id;  // the manager's class
  std::string_view method;
  std::string business_component;
  std::string idempotency_key;
};

class AdapterClient {
 public:
  AdapterClient(BridgeSettings settings, std::string component);

  // Sends `call` with `args`; returns the result and assigns the by-reference arguments the
  // answer names.
  automation::Variant Send(const AdapterCall& call, std::span<automation::Variant> args) const;

  const std::string& component() const { return component_; }

 private:
  const HttpClient http_;
  const std::string component_;  // the prefix served, e.g. "Q72dVXRsvordJobSheets."
};

}  // namespace tqs::erp_bridge

#endif  // TQS_ERP_BRIDGE_ADAPTER_CLIENT_H_
