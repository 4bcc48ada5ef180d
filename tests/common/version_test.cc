// Every program answers --version with the project version and the commit it was built from;
// the commit stamp says "unknown" for a tree without git history and is rewritten only when the
// commit changes (so an unchanged commit recompiles nothing).
#include "common/version.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/temp_dir.h"

namespace tqs {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;

struct CommandRun {
  int exit_status = -1;
  std::string output;
};

CommandRun RunCommand(const std::string& command) {
  CommandRun run;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return run;
  std::array<char, 4096> buffer{};
  for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) {
    run.output.append(buffer.data(), n);
  }
  const int status = ::pclose(pipe);
  run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(VersionTest, EveryProgramPrintsItsNameTheProjectVersionAndTheCommit) {
  EXPECT_EQ(ProjectVersion(), TQS_PROJECT_VERSION);
  EXPECT_THAT(std::string(BuildCommit()), MatchesRegex("([0-9a-f]{12}(-dirty)?|unknown)"));
  const std::string commit = "\\(commit ([0-9a-f]{12}(-dirty)?|unknown)\\)\n";
  const std::pair<const char*, const char*> programs[] = {
      {TQS_ADMIN_PROGRAM, "TQSRemoteAdmin"},
      {TQS_BROKER_PROGRAM, "TQSRemoteBroker"},
      {TQS_MASTERDATA_PROGRAM, "TQSRemoteCreateMasterData"},
      {TQS_HOST_PROGRAM, "TQSRemoteServerHost"},
  };
  for (const auto& [program, name] : programs) {
    SCOPED_TRACE(name);
    const CommandRun run = RunCommand(std::string(program) + " --version");
    EXPECT_EQ(run.exit_status, 0);
    // The program name, the version with its dots, and the same commit as this build's.
    EXPECT_EQ(run.output, VersionText(name) + "\n");
    EXPECT_THAT(run.output,
                MatchesRegex(std::string(name) + " [0-9]+\\.[0-9]+\\.[0-9]+ " + commit));
  }
}

TEST(VersionTest, CommitStampIsUnknownWithoutGitAndRewrittenOnlyWhenItChanges) {
  test_support::ScopedTempDir folder;
  const fs::path output = folder.path() / "version_commit.cc";
  const auto stamp = [&output](const fs::path& source) {
    return RunCommand(std::string(TQS_CMAKE_COMMAND) + " -DSOURCE_DIR=" + source.string() +
                      " -DOUTPUT=" + output.string() + " -DGIT=" + TQS_GIT_COMMAND + " -P " +
                      TQS_SOURCE_DIR + "/common/version_commit.cmake");
  };
  // A source archive: no .git.
  const fs::path unpacked = folder.path() / "unpacked";
  fs::create_directories(unpacked);
  ASSERT_EQ(stamp(unpacked).exit_status, 0);
  EXPECT_THAT(ReadAll(output), HasSubstr("kBuildCommit = \"unknown\";"));

  // The checked-out tree: its commit.
  const CommandRun head =
      RunCommand(std::string("git -C ") + TQS_SOURCE_DIR + " rev-parse --short=12 HEAD");
  if (head.exit_status != 0) GTEST_SKIP() << "the source tree is not a git checkout";
  ASSERT_EQ(stamp(TQS_SOURCE_DIR).exit_status, 0);
  const std::string text = ReadAll(output);
  EXPECT_THAT(text, HasSubstr("kBuildCommit = \"" + head.output.substr(0, 12)));
  // The same commit again: the file is left alone, so nothing is recompiled.
  const fs::file_time_type written = fs::last_write_time(output);
  fs::last_write_time(output, written - std::chrono::hours(1));
  ASSERT_EQ(stamp(TQS_SOURCE_DIR).exit_status, 0);
  EXPECT_EQ(fs::last_write_time(output), written - std::chrono::hours(1));
  EXPECT_EQ(ReadAll(output), text);
}

}  // namespace
}  // namespace tqs
