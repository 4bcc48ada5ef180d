// The HTTP host's settings as an installation holds them: defaults when a key is left out, the
// value when it is given, and a clear error naming the key for a value out of range.
#include "server/host/host_settings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <pugixml.hpp>

#include "admin/installation.h"
#include "common/error.h"
#include "tests/support/temp_dir.h"

namespace tqs::server::host {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class HostSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    admin::InstallOptions options;
    options.directory = folder_.path() / "x";
    options.programs_folder = folder_.path() / "no-programs";
    admin::Install(options, [](std::string_view) {});
    config_ = options.directory / "web" / "config" / "VarnexConfiguration.xml";
    bin_ = options.directory / "bin";
  }

  // Sets `key` of the host's section to `value`, adding the key when missing.
  void Set(const char* key, const std::string& value) {
    pugi::xml_document document;
    ASSERT_TRUE(document.load_file(config_.c_str()));
    pugi::xml_node section = document.document_element().child(kHostSection);
    pugi::xml_node entry = section.find_child_by_attribute("add", "key", key);
    if (!entry) {
      entry = section.append_child("add");
      entry.append_attribute("key") = key;
      entry.append_attribute("value");
    }
    entry.attribute("value") = value.c_str();
    ASSERT_TRUE(document.save_file(config_.c_str()));
  }

  // The description of the error reading the settings raises, or "" when they are read.
  std::string Refusal() {
    try {
      ReadHostSettings(bin_);
    } catch (const Error& error) {
      return error.description();
    }
    return "";
  }

  test_support::ScopedTempDir folder_;
  fs::path config_;
  fs::path bin_;
};

TEST_F(HostSettingsTest, ReadsEachSettingWithItsDefault) {
  HostSettings settings = ReadHostSettings(bin_);
  EXPECT_EQ(settings.listen_host, "127.0.0.1");
  EXPECT_EQ(settings.port, 8085);
  EXPECT_EQ(settings.max_request_bytes, 16777216u);
  EXPECT_EQ(settings.request_timeout, 30s);
  EXPECT_EQ(settings.worker_threads, 8);
  EXPECT_EQ(settings.max_connections, 512);
  EXPECT_EQ(settings.max_connections_per_client, 64);
  EXPECT_EQ(settings.shutdown_grace, 10s);

  Set("Listen", "0.0.0.0:9000");
  Set("MaxRequestBytes", "2048");
  Set("RequestTimeoutSeconds", "5");
  Set("WorkerThreads", "3");
  Set("MaxConnections", "100000");
  Set("MaxConnectionsPerClient", "7");
  Set("ShutdownGraceSeconds", "0");
  settings = ReadHostSettings(bin_);
  EXPECT_EQ(settings.listen_host, "0.0.0.0");
  EXPECT_EQ(settings.port, 9000);
  EXPECT_EQ(settings.max_request_bytes, 2048u);
  EXPECT_EQ(settings.request_timeout, 5s);
  EXPECT_EQ(settings.worker_threads, 3);
  EXPECT_EQ(settings.max_connections, 100000);
  EXPECT_EQ(settings.max_connections_per_client, 7);
  EXPECT_EQ(settings.shutdown_grace, 0s);
}

TEST_F(HostSettingsTest, RefusesValuesOutOfRangeNamingTheKey) {
  struct Case {
    const char* key;
    const char* range;
    std::vector<std::string> values;
  };
  const std::vector<Case> cases = {
      {"MaxConnections", "1 to 100000", {"0", "100001", "-1", "many", "12 ", ""}},
      {"MaxConnectionsPerClient", "1 to 100000", {"0", "100001", "1.5"}},
      {"ShutdownGraceSeconds", "0 to 3600", {"-1", "3601", "10s"}},
      {"RequestTimeoutSeconds", "1 to 3600", {"0", "3601"}},
      {"WorkerThreads", "1 to 256", {"0", "257"}},
      {"MaxRequestBytes", "1024 to 2147483648", {"1023", "2147483649"}},
  };
  std::ifstream original_stream(config_);
  const std::string original{std::istreambuf_iterator<char>(original_stream), {}};
  for (const Case& test : cases) {
    for (const std::string& value : test.values) {
      std::ofstream(config_, std::ios::trunc) << original;  // only this key is wrong
      Set(test.key, value);
      EXPECT_EQ(Refusal(), std::string(kHostSection) + "/" + test.key +
                               " must be a whole number from " + test.range + ", not '" + value +
                               "'");
    }
  }
  std::ofstream(config_, std::ios::trunc) << original;
  EXPECT_EQ(Refusal(), "");
}

}  // namespace
}  // namespace tqs::server::host
