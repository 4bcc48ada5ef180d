// The built-in self-extracting archive: running it restores the packed file byte for byte, zip
// readers (libarchive, as bsdtar uses it) open it as it is, and a damaged archive unpacks
// nothing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <fstream>
#include <random>
#include <sstream>

#include "platform/archive/archiver.h"
#include "tests/masterdata/masterdata_fixture.h"
#include "tests/support/error_testing.h"
#include "tests/support/temp_dir.h"

namespace tqs::archive {
namespace {

namespace fs = std::filesystem;
using masterdata::testing::ReadWithLibarchive;
using test_support::ErrorDescriptionOf;
using test_support::ScopedTempDir;
using ::testing::HasSubstr;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

std::string Quoted(const fs::path& path) {
  std::string quoted = "'";
  for (char c : path.string()) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs `archive` with /bin/sh in `folder`; returns its exit status.
int RunArchive(const fs::path& archive, const fs::path& folder) {
  const std::string command =
      "cd " + Quoted(folder) + " && /bin/sh " + Quoted(archive) + " 2>/dev/null";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The archive is as readable as the umask lets a new file be, never more (an earlier archive's
// mode does not carry over); the packed database's member never more than its owner's.
TEST(SelfExtractingArchiveTest, ModesFollowTheUmask) {
  ScopedTempDir dir;
  const fs::path file = dir.WriteFile("in/C1.mdb", "data");
  struct Case {
    mode_t umask;
    mode_t archive;
    mode_t member;
  };
  for (const Case& c : {Case{022, 0755, 0600}, Case{000, 0777, 0600}, Case{077, 0700, 0600},
                        Case{0277, 0500, 0400}}) {
    const mode_t saved = ::umask(c.umask);
    const fs::path archive = NewBuiltInArchiver()->CreateSelfExtracting(dir.path() / "C1", file);
    ::umask(saved);
    struct stat info {};
    ASSERT_EQ(::stat(archive.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, c.archive) << std::oct << c.umask;
    const std::vector<masterdata::testing::ArchiveMember> members = ReadWithLibarchive(archive);
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(members[0].perm, c.member) << std::oct << c.umask;
  }
}

TEST(SelfExtractingArchiveTest, RunningItRestoresTheFileAndZipReadersOpenIt) {
  ScopedTempDir dir;
  std::mt19937 random(7);
  // Compressible text, every byte value, and random bytes (deflate gains nothing there); sizes
  // around the 512-byte blocks the script cuts.
  for (const std::size_t size :
       {std::size_t{0}, std::size_t{1}, std::size_t{511}, std::size_t{512}, std::size_t{200'003}}) {
    std::string content;
    for (std::size_t i = 0; i < size; ++i) {
      content += i % 3 == 0 ? static_cast<char>(random()) : static_cast<char>(i % 256);
    }
    const fs::path file = dir.WriteFile("in/O'Brien.mdb", content);
    const fs::path folder = dir.path() / ("out" + std::to_string(size));
    fs::create_directories(folder);
    fs::create_directories(dir.path() / "K'S");

    auto archiver = NewBuiltInArchiver();
    ASSERT_TRUE(archiver->IsAvailable());
    const fs::path archive = archiver->CreateSelfExtracting(dir.path() / "K'S" / "O'Brien", file);
    EXPECT_EQ(archive, dir.path() / "K'S" / "O'Brien.exe");
    EXPECT_NE(fs::status(archive).permissions() & fs::perms::owner_exec, fs::perms::none);

    EXPECT_EQ(RunArchive(archive, folder), 0) << "size " << size;
    EXPECT_TRUE(ReadAll(folder / "O'Brien.mdb") == content) << "size " << size;
    EXPECT_FALSE(fs::exists(folder / "O'Brien.mdb.part"));

    const auto members = ReadWithLibarchive(archive);
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(members[0].name, "O'Brien.mdb");
    EXPECT_TRUE(members[0].content == content) << "size " << size;
    // Nothing staged is left beside the archive.
    EXPECT_EQ(std::distance(fs::directory_iterator(archive.parent_path()), {}), 1);
  }
}

TEST(SelfExtractingArchiveTest, ADamagedArchiveUnpacksNothing) {
  ScopedTempDir dir;
  std::string content;
  for (int i = 0; i < 100'000; ++i) content += "row " + std::to_string(i) + "\n";
  const fs::path file = dir.WriteFile("W.mdb", content);
  fs::create_directories(dir.path() / "pack");
  const fs::path archive = NewBuiltInArchiver()->CreateSelfExtracting(dir.path() / "pack/W", file);
  std::string bytes = ReadAll(archive);
  bytes[bytes.size() / 2] ^= 0x55;  // inside the packed data
  std::ofstream(archive, std::ios::binary | std::ios::trunc) << bytes;

  const fs::path folder = dir.path() / "out";
  fs::create_directories(folder);
  EXPECT_NE(RunArchive(archive, folder), 0);
  EXPECT_TRUE(fs::is_empty(folder));
}

TEST(SelfExtractingArchiveTest, AMissingFileIsNamedAndLeavesNoArchive) {
  ScopedTempDir dir;
  auto archiver = NewBuiltInArchiver();
  EXPECT_THAT(ErrorDescriptionOf([&] {
                archiver->CreateSelfExtracting(dir.path() / "W", dir.path() / "missing.mdb");
              }),
              HasSubstr("missing.mdb"));
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

}  // namespace
}  // namespace tqs::archive
