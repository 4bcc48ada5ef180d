// Process-wide allocator tuning for long row-by-row copies. Inside a transaction SQLite gives
// every INSERT a statement journal whose first chunk is a 64 KiB allocation, freed when the
// statement ends; with glibc's default trim threshold that free shrinks the heap and the next
// row grows it again, two system calls and a TLB flush per row (an APPEND copy ran at a fifth
// of its speed). Keeping freed memory at the top of the heap up to 32 MiB removes that.
//
// Call once at program start, before other threads exist.
#ifndef TQS_MASTERDATA_HEAP_TUNING_H_
#define TQS_MASTERDATA_HEAP_TUNING_H_

namespace tqs::masterdata {

void KeepFreedHeapForReuse();

}  // namespace tqs::masterdata

#endif  // TQS_MASTERDATA_HEAP_TUNING_H_
