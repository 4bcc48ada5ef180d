#include "erp_bridge/adapter_client.h"

#include <fmt/format.h>

#include <charconv>
#include <limits>
#include <map>
#include <optional>
#include <thread>
#include <utility>

#include "common/error.h"
#include "common/text.h"
#include "erp_bridge/graph_json.h"

namespace tqs::erp_bridge {

namespace {

using automation::Variant;
using nlohmann::json;

bool RetriableStatus(long status) { return status == 502 || status == 503 || status == 504; }

// A key travels in a header: printable ASCII only, so no key can add a header of its own.
void RequireHeaderSafe(const std::string& key) {
  for (const char c : key) {
    if (c < 0x20 || c > 0x7e) {
      throw Error(error_number::kInvalidProcedureCall,
                  "Invalid procedure call or argument: the idempotency key '" + Excerpt(key) +
                      "' holds characters an HTTP header cannot carry");
    }
  }
}

// The answer, read in full before anything of it is applied.
struct ReadAnswer {
  std::optional<Error> raised;  // the ERP's own error, to raise as it gave it
  Variant result;
  std::map<std::size_t, Variant> arguments;
};

// Reads a 2xx answer's body; a malformed one raises with the reason (without the context the
// caller adds).
ReadAnswer ReadBody(const std::string& body, std::size_t argument_count) {
  const json answer = json::parse(body, nullptr, /*allow_exceptions=*/false);
  if (answer.is_discarded()) throw Error(error_number::kGenericFailure, "it is not JSON");
  if (!answer.is_object()) {
    throw Error(error_number::kGenericFailure, "it is not a JSON object");
  }
  if (const auto error = answer.find("error"); error != answer.end()) {
    const auto number = error->is_object() ? error->find("number") : error->end();
    const auto description = error->is_object() ? error->find("description") : error->end();
    if (number == error->end() || !number->is_number_integer() || description == error->end() ||
        !description->is_string() || number->get<std::int64_t>() == 0 ||
        number->get<std::int64_t>() < std::numeric_limits<std::int32_t>::min() ||
        number->get<std::int64_t>() > std::numeric_limits<std::int32_t>::max()) {
      throw Error(error_number::kGenericFailure,
                  "\"error\" must hold a non-zero 32-bit \"number\" and a \"description\" text");
    }
    ReadAnswer read;
    read.raised.emplace(static_cast<std::int32_t>(number->get<std::int64_t>()),
                        description->get<std::string>());
    return read;
  }
  ReadAnswer read;
  if (const auto result = answer.find("result"); result != answer.end()) {
    read.result = ValueFromJson(*result, "result");
  }
  if (const auto arguments = answer.find("arguments"); arguments != answer.end()) {
    if (!arguments->is_object()) {
      throw Error(error_number::kGenericFailure, "\"arguments\" is not an object");
    }
    for (const auto& [position_text, value] : arguments->items()) {
      std::size_t position = 0;
      const auto [end, error] = std::from_chars(
          position_text.data(), position_text.data() + position_text.size(), position);
      if (error != std::errc() || end != position_text.data() + position_text.size() ||
          position >= argument_count) {
        throw Error(error_number::kGenericFailure,
                    fmt::format("\"arguments\" names '{}', which is no argument position (0 to {})",
                                position_text, argument_count - 1));
      }
      read.arguments[position] = ValueFromJson(value, "arguments." + position_text);
    }
  }
  return read;
}

}  // namespace

AdapterClient::AdapterClient(BridgeSettings settings, std::string component)
    : http_(std::move(settings)), component_(std::move(component)) {}

Variant AdapterClient::Send(const AdapterCall& call, std::span<Variant> args) const {
  RequireHeaderSafe(call.idempotency_key);
  json arguments = json::array();
  for (const Variant& argument : args) arguments.push_back(ValueToJson(argument));
  const json request = {{"contract", kContractVersion},
                        {"component", component_},
                        {"class", call.prog_id},
                        {"method", call.method},
                        {"businessComponent", call.business_component},
                        {"idempotencyKey", call.idempotency_key},
                        {"arguments", std::move(arguments)}};
  // Values are plain text: bytes that are not UTF-8 become U+FFFD rather than a failure.
  const std::string body = request.dump(-1, ' ', false, json::error_handler_t::replace);
  const std::vector<std::string> headers = {"Idempotency-Key: " + call.idempotency_key};

  const BridgeSettings& settings = http_.settings();
  const std::string context =
      fmt::format("The ERP adapter at {} ({}.{}, idempotency key '{}')", PrintableUrl(settings.url),
                  call.prog_id, call.method, call.idempotency_key);
  const int attempts = settings.retries + 1;
  std::chrono::milliseconds delay = settings.retry_delay;
  std::string last_failure;
  for (int attempt = 1; attempt <= attempts; ++attempt) {
    if (attempt > 1) {
      std::this_thread::sleep_for(delay);
      delay *= 2;
    }
    const PostOutcome outcome = http_.Post(body, headers);
    switch (outcome.end) {
      case PostEnd::kRefused:
        throw Error(error_number::kGenericFailure,
                    fmt::format("{} could not be reached: {}", context, outcome.failure));
      case PostEnd::kTimedOut:
        last_failure =
            fmt::format("no answer within {} ms ({})", settings.timeout.count(), outcome.failure);
        continue;
      case PostEnd::kTransportFailure:
        last_failure = outcome.failure;
        continue;
      case PostEnd::kAnswered:
        break;
    }
    if (RetriableStatus(outcome.status)) {
      last_failure = fmt::format("HTTP {}: {}", outcome.status, Excerpt(outcome.body));
      continue;
    }
    if (outcome.status < 200 || outcome.status > 299) {
      throw Error(
          error_number::kGenericFailure,
          fmt::format("{} answered HTTP {}: {}", context, outcome.status, Excerpt(outcome.body)));
    }
    ReadAnswer answer;
    try {
      answer = ReadBody(outcome.body, args.size());
    } catch (const Error& error) {
      throw Error(error_number::kGenericFailure,
                  fmt::format("{} gave a malformed answer: {}. The answer begins: {}", context,
                              error.description(), Excerpt(outcome.body)));
    }
    if (answer.raised) throw *answer.raised;
    for (auto& [position, value] : answer.arguments) args[position] = std::move(value);
    return answer.result;
  }
  throw Error(error_number::kGenericFailure,
              fmt::format("{} gave no answer in {} attempt(s), the last: {}. It may have booked "
                          "the document: sending it again with the same idempotency key cannot "
                          "book it twice",
                          context, attempts, last_failure));
}

}  // namespace tqs::erp_bridge
