#include "masterdata/heap_tuning.h"

#include <malloc.h>

namespace tqs::masterdata {

void KeepFreedHeapForReuse() {
  constexpr int kTrimThreshold = 32 << 20;
  mallopt(M_TRIM_THRESHOLD, kTrimThreshold);
}

}  // namespace tqs::masterdata
