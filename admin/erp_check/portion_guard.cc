#include "admin/erp_check/portion_guard.h"

#include <fmt/format.h>

#include <string>

#include "common/erp/job_sheets.h"
#include "common/error.h"

namespace tqs::admin::erp_check {

namespace {

namespace js = erp::job_sheets;
using automation::ObjectPtr;
using automation::Variant;

// The manager of the ERP under check, with its getJobSheets calls counted.
class CountedManager final : public automation::Object {
 public:
  CountedManager(ObjectPtr manager, std::shared_ptr<int> portions, int limit)
      : manager_(std::move(manager)), portions_(std::move(portions)), limit_(limit) {}

  Variant Invoke(std::string_view method, std::span<Variant> args) override {
    if (method == js::manager::kGetJobSheets && ++*portions_ > limit_) {
      throw Error(error_number::kGenericFailure,
                  fmt::format("the ERP asked for more than {} portions of one download: the "
                              "continuation flag stayed 1 and CompletedStateAttribute never "
                              "became 1",
                              limit_));
    }
    return manager_->Invoke(method, args);
  }
  std::string ProgId() const override { return manager_->ProgId(); }

 private:
  const ObjectPtr manager_;
  const std::shared_ptr<int> portions_;
  const int limit_;
};

// Serves every identifier from the registry under check; wraps the job sheet manager.
class GuardingFactory final : public automation::ComponentFactory {
 public:
  GuardingFactory(const automation::ComponentRegistry& components, std::shared_ptr<int> portions,
                  int limit)
      : components_(components), portions_(std::move(portions)), limit_(limit) {}

  ObjectPtr Create(std::string_view prog_id) override {
    ObjectPtr object = components_.Create(prog_id);
    if (prog_id != js::prog_id::kJobSheetsManager) return object;
    return std::make_shared<CountedManager>(std::move(object), portions_, limit_);
  }

 private:
  const automation::ComponentRegistry& components_;
  const std::shared_ptr<int> portions_;
  const int limit_;
};

}  // namespace

PortionGuard::PortionGuard(const automation::ComponentRegistry& components, int limit) {
  guarded_.Register("", std::make_shared<GuardingFactory>(components, portions_, limit));
}

}  // namespace tqs::admin::erp_check
