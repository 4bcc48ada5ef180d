// How the HTTP host's process keeps the memory its calls free. By default glibc gives memory
// back to the system as soon as it can: a freed block above a few hundred KB at once, and the
// free top of a heap once it exceeds twice that. The next upload of a large outbox then writes
// into fresh pages, and the first write to each page is a fault that the kernel answers at a
// cost far above the parse that writes it (microseconds per page on a virtual machine; storing
// an outbox of 100 job sheets of 8 KB touches about a thousand pages). The host keeps blocks up
// to kMmapThreshold in its heaps and gives a heap's free top back only beyond kTrimThreshold, so
// a serving host reuses the same memory from one call to the next. The price is memory held
// after a peak: up to kTrimThreshold of free space per heap (glibc gives each busy worker thread
// a heap, at most eight per processor).
//
// Process-wide: only a program that is the host calls it, once, before it serves. A library
// such as JobSheet never does, as the process it is loaded into is not its own.
#ifndef TQS_SERVER_HOST_MEMORY_REUSE_H_
#define TQS_SERVER_HOST_MEMORY_REUSE_H_

#include <cstddef>

namespace tqs::server::host {

inline constexpr std::size_t kMmapThreshold = 4u << 20;   // 4 MiB
inline constexpr std::size_t kTrimThreshold = 16u << 20;  // 16 MiB

// Sets both thresholds for the whole process; false when the C library refused one.
bool KeepFreedMemoryForReuse();

}  // namespace tqs::server::host

#endif  // TQS_SERVER_HOST_MEMORY_REUSE_H_
