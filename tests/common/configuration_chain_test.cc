#include "common/configuration_chain.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/error.h"
#include "tests/support/error_testing.h"
#include "tests/support/temp_dir.h"

namespace tqs {
namespace {

using test_support::ErrorDescriptionOf;
using test_support::ErrorNumberOf;
using ::testing::AllOf;
using ::testing::HasSubstr;

std::string ConfigFile(std::string_view sections) {
  return "<?xml version=\"1.0\"?>\n<configuration>" + std::string(sections) + "</configuration>";
}

TEST(ConfigurationChainTest, PathsAreFormedByConcatenation) {
  EXPECT_EQ(InstallationConfigurationPath("C:\\Program Files\\TQS"),
            "C:\\Program Files\\TQS\\..\\Configuration.xml");
  EXPECT_EQ(ProductConfigurationPath("C:\\TQS", "..\\web\\", "Config"),
            "C:\\TQS\\..\\web\\\\Config\\VarnexConfiguration.xml");
  EXPECT_EQ(ProductConfigurationPath("/srv/bin", "", configuration_chain::kBrokerConfigFolder),
            "/srv/bin\\\\config\\VarnexConfiguration.xml");
}

// Installation layout: <root>/Configuration.xml, the programs in <root>/Bin, the web folder in
// <root>/Web/Config.
class ConfigurationChainFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The product file also names a web folder and the installation file also holds a
    // connection string: only the order of the steps makes the right values win.
    temp_.WriteFile("Configuration.xml",
                    ConfigFile("<DEFAULTS><add key='WebRelativePath' value='..\\Web'/></DEFAULTS>"
                               "<CONNECTIONS><add key='VarnexConnection_ConnectionString' "
                               "value='from installation'/></CONNECTIONS>"));
    temp_.WriteFile("Web/Config/VarnexConfiguration.xml",
                    ConfigFile("<DEFAULTS><add key='WebRelativePath' value='elsewhere'/></DEFAULTS>"
                               "<CONNECTIONS><add key='VarnexConnection_ConnectionString' "
                               "value='Provider=SQLite;Data Source=server.db'/></CONNECTIONS>"));
    std::filesystem::create_directories(temp_.path() / "Bin");
    base_ = (temp_.path() / "Bin").string();
  }

  test_support::ScopedTempDir temp_;
  std::string base_;
};

TEST_F(ConfigurationChainFileTest, ReadsBothFilesInOrderWithEitherSpelling) {
  for (std::string_view folder :
       {configuration_chain::kBrokerConfigFolder, configuration_chain::kMasterDataConfigFolder}) {
    SCOPED_TRACE(folder);
    config::Configuration configuration;
    const ChainedSettings settings = ReadConfigurationChain(configuration, base_, folder);
    EXPECT_EQ(settings.web_relative_path, "..\\Web");
    EXPECT_EQ(settings.connection_string, "Provider=SQLite;Data Source=server.db");
  }
}

TEST_F(ConfigurationChainFileTest, MissingProductFileNamesItsPath) {
  std::filesystem::remove(temp_.path() / "Web/Config/VarnexConfiguration.xml");
  config::Configuration configuration;
  const auto read = [&] { ReadConfigurationChain(configuration, base_, "config"); };
  EXPECT_EQ(ErrorNumberOf(read), error_number::kFileNotFound);
  EXPECT_THAT(ErrorDescriptionOf(read),
              HasSubstr(base_ + "\\..\\Web\\config\\VarnexConfiguration.xml"));
}

TEST_F(ConfigurationChainFileTest, MissingWebPathKeyStopsBeforeTheProductFile) {
  temp_.WriteFile("Configuration.xml", ConfigFile("<DEFAULTS/>"));
  config::Configuration configuration;
  EXPECT_THAT(ErrorDescriptionOf([&] { ReadConfigurationChain(configuration, base_, "config"); }),
              AllOf(HasSubstr("'DEFAULTS'"), HasSubstr("'WebRelativePath'")));
}

}  // namespace
}  // namespace tqs
