#include "server/host/memory_reuse.h"

#include <malloc.h>

namespace tqs::server::host {

bool KeepFreedMemoryForReuse() {
  // Setting either threshold also ends glibc's own adjustment of them, which would otherwise
  // raise the first after each large free and the second with it.
  const bool mmap_set = mallopt(M_MMAP_THRESHOLD, static_cast<int>(kMmapThreshold)) == 1;
  const bool trim_set = mallopt(M_TRIM_THRESHOLD, static_cast<int>(kTrimThreshold)) == 1;
  return mmap_set && trim_set;
}

}  // namespace tqs::server::host
