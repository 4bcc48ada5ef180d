#include "platform/config/configuration.h"

#include <map>
#include <system_error>

#include "common/error.h"
#include "common/windows_path.h"
#include "platform/xml/xml.h"

namespace tqs::config {
namespace {

// Orders names ignoring ASCII case, so look-ups and merges treat "Defaults" and "DEFAULTS"
// as one section.
struct IgnoreCaseLess {
  using is_transparent = void;
  static char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  bool operator()(std::string_view a, std::string_view b) const {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
      const char x = Lower(a[i]);
      const char y = Lower(b[i]);
      if (x != y) return x < y;
    }
    return a.size() < b.size();
  }
};

using Section = std::map<std::string, std::string, IgnoreCaseLess>;
using Sections = std::map<std::string, Section, IgnoreCaseLess>;

// The number of the component's own failures (invalid file, missing section or key).
constexpr std::int32_t kConfigurationError = error_number::kGenericFailure;

}  // namespace

struct Configuration::Impl {
  Sections sections;
};

Configuration::Configuration() : impl_(std::make_unique<Impl>()) {}
Configuration::~Configuration() = default;
Configuration::Configuration(Configuration&&) noexcept = default;
Configuration& Configuration::operator=(Configuration&&) noexcept = default;

void Configuration::LoadConfigFile(std::string_view path) {
  const std::filesystem::path file = ResolveWindowsPath(path);
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) {
    throw Error(error_number::kFileNotFound,
                "Configuration file not found: '" + std::string(path) + "'");
  }
  pugi::xml_document document;
  std::string parse_error;
  if (!xml::LoadXmlFile(document, file, &parse_error)) {
    throw Error(kConfigurationError,
                "Configuration file '" + std::string(path) + "' is not valid XML: " + parse_error);
  }
  // Read everything first, so a faulty file changes nothing.
  Sections loaded;
  for (pugi::xml_node section : document.document_element().children()) {
    if (section.type() != pugi::node_element) continue;
    Section& entries = loaded[section.name()];
    for (pugi::xml_node entry : section.children("add")) {
      const pugi::xml_attribute key = entry.attribute("key");
      if (!key) {
        throw Error(kConfigurationError, "Configuration file '" + std::string(path) +
                                             "': an entry of section '" + section.name() +
                                             "' has no key attribute");
      }
      entries[key.value()] = entry.attribute("value").value();
    }
  }
  for (auto& [name, entries] : loaded) {
    Section& target = impl_->sections[name];
    for (auto& [key, value] : entries) target[key] = std::move(value);
  }
}

std::string Configuration::getValue(std::string_view section, std::string_view key) const {
  const auto found_section = impl_->sections.find(section);
  if (found_section == impl_->sections.end()) {
    throw Error(kConfigurationError, "Configuration section '" + std::string(section) +
                                         "' not found (key '" + std::string(key) + "')");
  }
  const auto found_key = found_section->second.find(key);
  if (found_key == found_section->second.end()) {
    throw Error(kConfigurationError, "Configuration key '" + std::string(key) +
                                         "' not found in section '" + std::string(section) + "'");
  }
  return found_key->second;
}

}  // namespace tqs::config
