// TQSRemoteAdmin console-secret: the operator console's secret in an installation's host
// settings, as the host reads it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "admin/installation.h"
#include "common/error.h"
#include "server/host/console/operator_secret.h"
#include "server/host/host_settings.h"
#include "tests/support/temp_dir.h"

namespace tqs::admin {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

std::string Text(const fs::path& file) {
  std::ifstream in(file);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(ConsoleSecretTest, SetsAHashTheHostReadsAndRefusesWeakOrSharedSecrets) {
  test_support::ScopedTempDir root;
  const fs::path dir = root.path() / "tqs";
  InstallOptions options{.directory = dir, .programs_folder = root.path() / "no-programs"};
  Install(options, [](std::string_view) {});
  const fs::path settings_file = dir / "web" / "config" / "VarnexConfiguration.xml";
  fs::remove_all(dir / "data" / "console-audit.log");

  EXPECT_FALSE(server::host::ReadHostSettings(dir / "bin").console.secret_hash);

  const std::string shared = server::host::ReadHostSettings(dir / "bin").shared_secret;
  const std::string before = Text(settings_file);
  EXPECT_THROW(SetConsoleSecret(dir, shared), Error);
  EXPECT_THROW(SetConsoleSecret(dir, std::string("short")), Error);
  EXPECT_THROW(SetConsoleSecret(root.path() / "elsewhere", std::string("a long operator secret")),
               Error);
  EXPECT_EQ(Text(settings_file), before);

  EXPECT_THAT(SetConsoleSecret(dir, std::string("a long operator secret")),
              HasSubstr("console-audit.log"));
  const server::host::HostSettings settings = server::host::ReadHostSettings(dir / "bin");
  ASSERT_TRUE(settings.console.secret_hash);
  EXPECT_TRUE(server::host::console::VerifyOperatorSecret("a long operator secret",
                                                          *settings.console.secret_hash));
  EXPECT_THAT(Text(settings_file), ::testing::Not(HasSubstr("a long operator secret")));
  EXPECT_EQ(settings.console.audit_log, dir / "data" / "console-audit.log");
  EXPECT_EQ(settings.shared_secret, shared);  // the web tier's secret is kept
  EXPECT_EQ(fs::status(settings_file).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);

  // An upgrade keeps it; --off removes it.
  Upgrade(dir, root.path() / "no-programs", [](std::string_view) {});
  EXPECT_TRUE(server::host::ReadHostSettings(dir / "bin").console.secret_hash);
  EXPECT_THAT(SetConsoleSecret(dir, std::nullopt), HasSubstr("off"));
  EXPECT_FALSE(server::host::ReadHostSettings(dir / "bin").console.secret_hash);

  // A damaged setting stops the host with the key named.
  std::string damaged = Text(settings_file);
  damaged.replace(damaged.find("</SERVERHOST>"), 0,
                  "<add key=\"ConsoleSecretHash\" value=\"plain text\"/>");
  std::ofstream(settings_file) << damaged;
  try {
    server::host::ReadHostSettings(dir / "bin");
    ADD_FAILURE() << "a damaged hash was taken";
  } catch (const Error& error) {
    EXPECT_THAT(error.description(), HasSubstr("SERVERHOST/ConsoleSecretHash"));
  }
}

}  // namespace
}  // namespace tqs::admin
