// The configuration chain that the broker and the master data creator follow to find the
// server database: the installation configuration "<base>\..\Configuration.xml" names the web
// folder (DEFAULTS / WebRelativePath), and the product configuration
// "<base>\<web>\<config folder>\VarnexConfiguration.xml" in it holds the connection string
// (CONNECTIONS / VarnexConnection_ConnectionString). The broker's base is its working
// directory and it spells the folder "config"; the master data creator's base is its program
// folder and it spells it "Config". Paths are formed by plain concatenation, the web value
// inserted unchanged.
//
// Stateless; thread-safe as long as each thread uses its own Configuration.
#ifndef TQS_COMMON_CONFIGURATION_CHAIN_H_
#define TQS_COMMON_CONFIGURATION_CHAIN_H_

#include <string>
#include <string_view>

#include "platform/config/configuration.h"

namespace tqs {

namespace configuration_chain {
inline constexpr std::string_view kDefaultsSection = "DEFAULTS";
inline constexpr std::string_view kWebRelativePathKey = "WebRelativePath";
inline constexpr std::string_view kConnectionsSection = "CONNECTIONS";
inline constexpr std::string_view kConnectionStringKey = "VarnexConnection_ConnectionString";
// The spellings of the product configuration's folder.
inline constexpr std::string_view kBrokerConfigFolder = "config";
inline constexpr std::string_view kMasterDataConfigFolder = "Config";
}  // namespace configuration_chain

// What the chain yields.
struct ChainedSettings {
  std::string web_relative_path;  // DEFAULTS / WebRelativePath, as written
  std::string connection_string;  // CONNECTIONS / VarnexConnection_ConnectionString
};

// base + "\..\Configuration.xml"
std::string InstallationConfigurationPath(std::string_view base);

// base + "\" + web + "\" + config_folder + "\VarnexConfiguration.xml"
std::string ProductConfigurationPath(std::string_view base, std::string_view web_relative_path,
                                     std::string_view config_folder);

// Performs the chain on `configuration`, in this order: LoadConfigFile(installation path),
// getValue(DEFAULTS, WebRelativePath), LoadConfigFile(product path), getValue(CONNECTIONS,
// VarnexConnection_ConnectionString). Errors of the component pass through unchanged, so the
// caller's own error handling reports them.
ChainedSettings ReadConfigurationChain(config::Configuration& configuration, std::string_view base,
                                       std::string_view config_folder);

}  // namespace tqs

#endif  // TQS_COMMON_CONFIGURATION_CHAIN_H_
