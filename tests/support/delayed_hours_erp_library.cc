// The shared library form of DelayedHoursErp, for a component registry file that a broker
// program loads.
#include "tests/support/delayed_hours_erp.h"

TQS_COMPONENT_ENTRY_POINT(const tqs::automation::ComponentSettings& settings) {
  return new tqs::test_support::DelayedHoursErp(
      tqs::test_support::DelayedHoursErpOptions::FromSettings(settings));
}
