#include "masterdata/run_events.h"

namespace tqs::masterdata {

RunEvents& RunEvents::None() {
  static RunEvents none;
  return none;
}

}  // namespace tqs::masterdata
