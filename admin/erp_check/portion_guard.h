// A PortionGuard lets a download run through the server's own retrieval while it watches the
// ERP's answers: it serves the components of another registry unchanged, except that the job
// sheet manager counts its getJobSheets calls (the portions) and raises once a download asks
// for more than a limit. The retrieval asks for portions as long as the ERP says more follow,
// so an ERP that never completes a download would otherwise keep the check waiting for ever.
//
// Not thread-safe: one download at a time.
#ifndef TQS_ADMIN_ERP_CHECK_PORTION_GUARD_H_
#define TQS_ADMIN_ERP_CHECK_PORTION_GUARD_H_

#include <memory>

#include "platform/automation/component_registry.h"

namespace tqs::admin::erp_check {

class PortionGuard {
 public:
  // `components` is borrowed and must outlive the guard. A download whose getJobSheets calls
  // exceed `limit` fails with an error saying so.
  PortionGuard(const automation::ComponentRegistry& components, int limit);
  PortionGuard(const PortionGuard&) = delete;
  PortionGuard& operator=(const PortionGuard&) = delete;

  // The registry to hand to the download.
  const automation::ComponentRegistry& components() const { return guarded_; }

  // The getJobSheets calls since the last Reset.
  int portions() const { return *portions_; }
  void Reset() { *portions_ = 0; }

 private:
  const std::shared_ptr<int> portions_ = std::make_shared<int>(0);
  automation::ComponentRegistry guarded_;
};

}  // namespace tqs::admin::erp_check

#endif  // TQS_ADMIN_ERP_CHECK_PORTION_GUARD_H_
