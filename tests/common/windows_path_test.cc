#include "common/windows_path.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace tqs {
namespace {

namespace fs = std::filesystem;

TEST(ResolveWindowsPathTest, FindsComponentsIgnoringCase) {
  test_support::ScopedTempDir temp;
  const fs::path file = temp.WriteFile("Web/Config/VarnexConfiguration.xml", "<c/>");
  const std::string base = temp.path().string();

  // Backslashes separate; the spelling as written wins when it exists.
  EXPECT_EQ(ResolveWindowsPath(base + "\\Web\\Config\\VarnexConfiguration.xml"), file);
  // Other spellings find the one entry that matches ignoring case.
  EXPECT_EQ(ResolveWindowsPath(base + "\\web\\config\\VarnexConfiguration.xml"), file);
  EXPECT_EQ(ResolveWindowsPath(base + "/WEB\\CONFIG/varnexconfiguration.XML"), file);
  // Empty and "." components are dropped.
  EXPECT_EQ(ResolveWindowsPath(base + "\\\\web\\.\\config\\VarnexConfiguration.xml\\"), file);
}

TEST(ResolveWindowsPathTest, AppliesDotDotLexicallyAndKeepsTheUnresolvedRest) {
  test_support::ScopedTempDir temp;
  const fs::path file = temp.WriteFile("Configuration.xml", "<c/>");
  fs::create_directories(temp.path() / "Bin");
  const std::string base = temp.path().string();

  EXPECT_EQ(ResolveWindowsPath(base + "\\bin\\..\\configuration.xml"), file);
  // ".." removes a component that does not exist, too, and matching resumes after it.
  EXPECT_EQ(ResolveWindowsPath(base + "\\missing\\..\\configuration.xml"), file);
  // After the first component that matches nothing, the rest is kept as written.
  EXPECT_EQ(ResolveWindowsPath(base + "\\bin\\Missing\\bin\\x.xml"),
            temp.path() / "Bin" / "Missing" / "bin" / "x.xml");
}

TEST(ResolveWindowsPathTest, RelativeTextStaysRelative) {
  EXPECT_EQ(ResolveWindowsPath("..\\does-not-exist-7f3a\\File.xml"),
            fs::path("..") / "does-not-exist-7f3a" / "File.xml");
  EXPECT_EQ(ResolveWindowsPath("a-7f3a\\..\\b-7f3a"), fs::path("b-7f3a"));
}

}  // namespace
}  // namespace tqs
