#include "erp_bridge/bridge_settings.h"

#include <fmt/format.h>

#include <charconv>
#include <cmath>

#include "common/error.h"
#include "common/text.h"

namespace tqs::erp_bridge {

namespace {

constexpr int kMostRetries = 10;
// A week: longer waits are certainly a typing error.
constexpr double kMostSeconds = 7 * 24 * 3600;

[[noreturn]] void Malformed(std::string_view key, std::string_view value, std::string_view rule) {
  throw Error(error_number::kGenericFailure,
              fmt::format("The ERP bridge setting '{}' is '{}': {}", key, value, rule));
}

const std::string* Find(const automation::ComponentSettings& settings, std::string_view key) {
  const auto found = settings.find(key);
  return found == settings.end() ? nullptr : &found->second;
}

std::chrono::milliseconds Seconds(const automation::ComponentSettings& settings,
                                  std::string_view key, std::chrono::milliseconds fallback,
                                  double least) {
  const std::string* text = Find(settings, key);
  if (text == nullptr) return fallback;
  double seconds = 0;
  const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), seconds);
  if (error != std::errc() || end != text->data() + text->size() || !std::isfinite(seconds) ||
      seconds < least || seconds > kMostSeconds) {
    Malformed(key, *text,
              fmt::format("it must be a number of seconds from {} to {}", least, kMostSeconds));
  }
  return std::chrono::milliseconds(static_cast<std::int64_t>(std::llround(seconds * 1000)));
}

}  // namespace

BridgeSettings BridgeSettings::Read(const automation::ComponentSettings& settings) {
  BridgeSettings read;
  const std::string* url = Find(settings, "Url");
  if (url == nullptr || url->empty()) {
    throw Error(error_number::kGenericFailure,
                "The ERP bridge needs the setting 'Url' (the address of the ERP adapter) in its "
                "component registry entry");
  }
  const std::string scheme = AsciiLowerCase(url->substr(0, url->find("://") + 3));
  if (scheme != "http://" && scheme != "https://") {
    Malformed("Url", PrintableUrl(*url), "it must start with http:// or https://");
  }
  read.url = *url;
  if (const std::string* value = Find(settings, "Authorization"); value && !value->empty()) {
    if (value->find_first_of("\r\n") != std::string::npos) {
      throw Error(error_number::kGenericFailure,
                  "The ERP bridge setting 'Authorization' holds a line break");
    }
    read.authorization = *value;
  }
  if (const std::string* value = Find(settings, "CaFile"); value && !value->empty()) {
    read.ca_file = *value;
  }
  read.connect_timeout = Seconds(settings, "ConnectTimeout", read.connect_timeout, 0.001);
  read.timeout = Seconds(settings, "Timeout", read.timeout, 0.001);
  read.retry_delay = Seconds(settings, "RetryDelay", read.retry_delay, 0);
  if (const std::string* text = Find(settings, "Retries")) {
    int retries = -1;
    const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), retries);
    if (error != std::errc() || end != text->data() + text->size() || retries < 0 ||
        retries > kMostRetries) {
      Malformed("Retries", *text,
                fmt::format("it must be a whole number from 0 to {}", kMostRetries));
    }
    read.retries = retries;
  }
  return read;
}

std::string PrintableUrl(std::string_view url) {
  const std::size_t scheme_end = url.find("://");
  if (scheme_end == std::string_view::npos) return std::string(url);
  const std::size_t authority = scheme_end + 3;
  const std::size_t authority_end = url.find_first_of("/?#", authority);
  const std::size_t at = url.substr(0, authority_end).rfind('@');
  if (at == std::string_view::npos || at < authority) return std::string(url);
  return std::string(url.substr(0, authority)) + std::string(url.substr(at + 1));
}

}  // namespace tqs::erp_bridge
