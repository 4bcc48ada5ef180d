// The file lock: one holder at a time, whether the other holder is this process or another,
// the holder's process id in the file, released when the holder lets go or its process ends.
#include "common/file_lock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "common/error.h"
#include "tests/support/error_testing.h"
#include "tests/support/temp_dir.h"

namespace tqs {
namespace {

using ::testing::HasSubstr;

TEST(FileLockTest, OneHolderInThisProcessItsIdInTheFileReleasedWhenDropped) {
  test_support::ScopedTempDir dir;
  const std::filesystem::path file = dir.path() / "work.lock";
  EXPECT_EQ(FileLock::HolderOf(file), std::nullopt);
  auto first = FileLock::TryAcquire(file, "The work lock file");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->path(), file);
  EXPECT_EQ(FileLock::HolderOf(file), ::getpid());
  EXPECT_EQ(FileLock::TryAcquire(file, "The work lock file"), nullptr);
  first.reset();
  EXPECT_NE(FileLock::TryAcquire(file, "The work lock file"), nullptr);

  EXPECT_THAT(test_support::ErrorDescriptionOf([&] {
                FileLock::TryAcquire(dir.path() / "missing" / "work.lock", "The work lock file");
              }),
              HasSubstr("The work lock file '" + (dir.path() / "missing" / "work.lock").string() +
                        "' cannot be opened: No such file or directory"));
}

TEST(FileLockTest, AnotherProcessHoldsItUntilItEnds) {
  test_support::ScopedTempDir dir;
  const std::filesystem::path file = dir.path() / "work.lock";
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto held = FileLock::TryAcquire(file, "The work lock file");
    const char answer = held != nullptr ? 'y' : 'n';
    [[maybe_unused]] const ssize_t written = ::write(ready[1], &answer, 1);
    ::pause();  // until killed: the system releases the lock
    ::_exit(0);
  }
  char answer = 0;
  ASSERT_EQ(::read(ready[0], &answer, 1), 1);
  ::close(ready[0]);
  ::close(ready[1]);
  ASSERT_EQ(answer, 'y');
  EXPECT_EQ(FileLock::TryAcquire(file, "The work lock file"), nullptr);
  EXPECT_EQ(FileLock::HolderOf(file), child);

  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_NE(FileLock::TryAcquire(file, "The work lock file"), nullptr);
}

}  // namespace
}  // namespace tqs
