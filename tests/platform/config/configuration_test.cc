#include "platform/config/configuration.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/error.h"
#include "tests/support/error_testing.h"
#include "tests/support/temp_dir.h"

namespace tqs::config {
namespace {

using test_support::ErrorDescriptionOf;
using test_support::ErrorNumberOf;
using ::testing::AllOf;
using ::testing::HasSubstr;

class ConfigurationTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, std::string_view content) {
    return temp_.WriteFile(name, content).string();
  }

  tqs::test_support::ScopedTempDir temp_;
};

TEST_F(ConfigurationTest, SecondFileMergesOverTheFirst) {
  const std::string first = Write("first.xml",
                                  "<configuration>"
                                  "<DEFAULTS><add key='A' value='1'/><add key='B' value='2'/>"
                                  "<add key='Empty' value=''/></DEFAULTS>"
                                  "<CONNECTIONS><add key='C' value='3'/></CONNECTIONS>"
                                  "</configuration>");
  const std::string second = Write("second.xml",
                                   "<root><defaults><add key='b' value='20'/></defaults>"
                                   "<Other><add key='D' value='a &amp; b'/></Other></root>");
  Configuration configuration;
  configuration.LoadConfigFile(first);
  EXPECT_EQ(configuration.getValue("DEFAULTS", "B"), "2");
  configuration.LoadConfigFile(second);

  EXPECT_EQ(configuration.getValue("DEFAULTS", "A"), "1");
  EXPECT_EQ(configuration.getValue("DEFAULTS", "B"), "20");
  EXPECT_EQ(configuration.getValue("DEFAULTS", "Empty"), "");
  EXPECT_EQ(configuration.getValue("CONNECTIONS", "C"), "3");
  EXPECT_EQ(configuration.getValue("Other", "D"), "a & b");
  // Later entries of one file win as well.
  configuration.LoadConfigFile(Write("third.xml",
                                     "<c><DEFAULTS><add key='A' value='x'/><add key='A' value='y'/>"
                                     "</DEFAULTS></c>"));
  EXPECT_EQ(configuration.getValue("DEFAULTS", "A"), "y");
}

TEST_F(ConfigurationTest, MissingFileSectionAndKeyAreErrorsNamingThem) {
  Configuration configuration;
  const std::string missing = temp_.path().string() + "\\nothere\\Configuration.xml";
  EXPECT_EQ(ErrorNumberOf([&] { configuration.LoadConfigFile(missing); }),
            error_number::kFileNotFound);
  EXPECT_THAT(ErrorDescriptionOf([&] { configuration.LoadConfigFile(missing); }),
              HasSubstr(missing));

  configuration.LoadConfigFile(
      Write("c.xml", "<c><DEFAULTS><add key='WebRelativePath' value='web'/></DEFAULTS></c>"));
  EXPECT_THAT(ErrorDescriptionOf([&] { configuration.getValue("DEFAULTS", "NoSuchKey"); }),
              AllOf(HasSubstr("'DEFAULTS'"), HasSubstr("'NoSuchKey'")));
  EXPECT_THAT(ErrorDescriptionOf([&] {
                configuration.getValue("CONNECTIONS", "VarnexConnection_ConnectionString");
              }),
              AllOf(HasSubstr("'CONNECTIONS'"), HasSubstr("'VarnexConnection_ConnectionString'")));
}

TEST_F(ConfigurationTest, InvalidFileIsAnErrorAndChangesNothing) {
  Configuration configuration;
  configuration.LoadConfigFile(Write("good.xml", "<c><S><add key='K' value='kept'/></S></c>"));

  const std::string malformed = Write("bad.xml", "<c><S><add key='K' value='lost'/></S>");
  EXPECT_THAT(ErrorDescriptionOf([&] { configuration.LoadConfigFile(malformed); }),
              AllOf(HasSubstr(malformed), HasSubstr("offset")));

  const std::string keyless =
      Write("keyless.xml", "<c><S><add key='K' value='lost'/></S><T><add value='v'/></T></c>");
  EXPECT_THAT(ErrorDescriptionOf([&] { configuration.LoadConfigFile(keyless); }),
              AllOf(HasSubstr(keyless), HasSubstr("'T'")));

  EXPECT_EQ(configuration.getValue("S", "K"), "kept");
}

TEST_F(ConfigurationTest, WindowsPathIsFoundIgnoringCase) {
  Write("Web/Config/VarnexConfiguration.xml",
        "<c><CONNECTIONS><add key='K' value='found'/></CONNECTIONS></c>");
  Configuration configuration;
  configuration.LoadConfigFile(temp_.path().string() +
                               "\\bin\\..\\web\\config\\varnexconfiguration.xml");
  EXPECT_EQ(configuration.getValue("CONNECTIONS", "K"), "found");
}

}  // namespace
}  // namespace tqs::config
