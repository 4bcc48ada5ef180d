#include "server/host/memory_reuse.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdlib>
#include <cstring>

namespace tqs::server::host {
namespace {

// Keeps the compiler from dropping an allocation that is only written and freed.
void* volatile g_block = nullptr;

// An upload's working set, a few MiB: after the host's setting it comes from the heap and stays
// there when freed, so the next call of the same size touches no new pages.
TEST(MemoryReuseTest, AFreedBlockOfAnUploadsSizeStaysWithTheProcess) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizer's allocator replaces glibc's";
#endif
  ASSERT_TRUE(KeepFreedMemoryForReuse());
  constexpr std::size_t kSize = 3u << 20;
  const struct mallinfo2 before = mallinfo2();
  g_block = std::malloc(kSize);
  ASSERT_NE(g_block, nullptr);
  std::memset(g_block, 1, kSize);
  EXPECT_EQ(mallinfo2().hblkhd, before.hblkhd) << "the block was mapped on its own";
  std::free(g_block);
  EXPECT_GE(mallinfo2().fordblks, before.fordblks + kSize) << "the freed block went back";
}

}  // namespace
}  // namespace tqs::server::host
