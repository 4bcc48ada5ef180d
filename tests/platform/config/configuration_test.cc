#include "platform/config/configuration.h"

#include <gtest/gtest.h>

#include "common/error.h"
#include "tests/common/temp_folder.h"

namespace tqs::config {
namespace {

// Runs `action` and returns the tqs::Error it raises.
template <typename Action>
Error ErrorOf(Action action) {
  try {
    action();
  } catch (const Error& e) {
    return e;
  }
  ADD_FAILURE() << "no error raised";
  return Error(0, "");
}

bool Contains(const std::string& text, std::string_view part) {
  return text.find(part) != std::string::npos;
}

class ConfigurationTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, std::string_view content) {
    return temp_.Write(name, content).string();
  }

  tqs::testing::TempFolder temp_;
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
  configuration.LoadConfigFile(
      Write("third.xml", "<c><DEFAULTS><add key='A' value='x'/><add key='A' value='y'/>"
                         "</DEFAULTS></c>"));
  EXPECT_EQ(configuration.getValue("DEFAULTS", "A"), "y");
}

TEST_F(ConfigurationTest, MissingFileSectionAndKeyAreErrorsNamingThem) {
  Configuration configuration;
  const std::string missing = temp_.path().string() + "\\nothere\\Configuration.xml";
  const Error file_error = ErrorOf([&] { configuration.LoadConfigFile(missing); });
  EXPECT_EQ(file_error.number(), error_number::kFileNotFound);
  EXPECT_TRUE(Contains(file_error.description(), missing)) << file_error.description();

  configuration.LoadConfigFile(
      Write("c.xml", "<c><DEFAULTS><add key='WebRelativePath' value='web'/></DEFAULTS></c>"));
  const Error key_error = ErrorOf([&] { configuration.getValue("DEFAULTS", "NoSuchKey"); });
  EXPECT_TRUE(Contains(key_error.description(), "DEFAULTS")) << key_error.description();
  EXPECT_TRUE(Contains(key_error.description(), "NoSuchKey")) << key_error.description();
  const Error section_error =
      ErrorOf([&] { configuration.getValue("CONNECTIONS", "VarnexConnection_ConnectionString"); });
  EXPECT_TRUE(Contains(section_error.description(), "CONNECTIONS"));
  EXPECT_TRUE(Contains(section_error.description(), "VarnexConnection_ConnectionString"));
}

TEST_F(ConfigurationTest, InvalidFileIsAnErrorAndChangesNothing) {
  Configuration configuration;
  configuration.LoadConfigFile(Write("good.xml", "<c><S><add key='K' value='kept'/></S></c>"));

  const std::string malformed = Write("bad.xml", "<c><S><add key='K' value='lost'/></S>");
  const Error parse_error = ErrorOf([&] { configuration.LoadConfigFile(malformed); });
  EXPECT_TRUE(Contains(parse_error.description(), malformed)) << parse_error.description();
  EXPECT_TRUE(Contains(parse_error.description(), "offset")) << parse_error.description();

  const std::string keyless =
      Write("keyless.xml", "<c><S><add key='K' value='lost'/></S><T><add value='v'/></T></c>");
  const Error key_error = ErrorOf([&] { configuration.LoadConfigFile(keyless); });
  EXPECT_TRUE(Contains(key_error.description(), keyless)) << key_error.description();
  EXPECT_TRUE(Contains(key_error.description(), "'T'")) << key_error.description();

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
