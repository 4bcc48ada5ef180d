#include "broker/workers_setting.h"

#include <charconv>
#include <string>

#include "common/error.h"
#include "common/text.h"

namespace tqs::broker {

int ReadWorkers(const config::Configuration& configuration) {
  std::string text;
  try {
    text = configuration.getValue(kBrokerSection, kWorkersKey);
  } catch (const Error&) {
    return kMinWorkers;  // the key is optional
  }
  const std::string_view trimmed = Trim(text);
  int workers = 0;
  const auto [end, error] =
      std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), workers);
  if (trimmed.empty() || error != std::errc() || end != trimmed.data() + trimmed.size() ||
      workers < kMinWorkers || workers > kMaxWorkers) {
    throw Error(error_number::kInvalidProcedureCall,
                std::string(kBrokerSection) + "/" + kWorkersKey + " must be a whole number from " +
                    std::to_string(kMinWorkers) + " to " + std::to_string(kMaxWorkers) + ", not '" +
                    text + "'");
  }
  return workers;
}

}  // namespace tqs::broker
