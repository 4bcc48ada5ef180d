#include "common/configuration_chain.h"

namespace tqs {

using namespace configuration_chain;

std::string InstallationConfigurationPath(std::string_view base) {
  return std::string(base) + "\\..\\Configuration.xml";
}

std::string ProductConfigurationPath(std::string_view base, std::string_view web_relative_path,
                                     std::string_view config_folder) {
  std::string path(base);
  path += '\\';
  path += web_relative_path;
  path += '\\';
  path += config_folder;
  path += "\\VarnexConfiguration.xml";
  return path;
}

ChainedSettings ReadConfigurationChain(config::Configuration& configuration, std::string_view base,
                                       std::string_view config_folder) {
  ChainedSettings settings;
  configuration.LoadConfigFile(InstallationConfigurationPath(base));
  settings.web_relative_path = configuration.getValue(kDefaultsSection, kWebRelativePathKey);
  configuration.LoadConfigFile(
      ProductConfigurationPath(base, settings.web_relative_path, config_folder));
  settings.connection_string = configuration.getValue(kConnectionsSection, kConnectionStringKey);
  return settings;
}

}  // namespace tqs
