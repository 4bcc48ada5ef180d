#include "erp/download_state.h"

#include <cstdint>
#include <span>

#include "common/erp/job_sheets.h"

namespace tqs::erp {

DownloadState::DownloadState() : DownloadState(nullptr, 0) {}

DownloadState::DownloadState(std::shared_ptr<const DownloadSnapshot> snapshot,
                             std::size_t position)
    : DataObject(std::string(job_sheets::prog_id::kIoState)),
      snapshot_(std::move(snapshot)),
      position_(position) {
  DefineMethod(job_sheets::download::kCompletedStateAttribute,
               [this](std::span<automation::Variant>) {
                 return automation::Variant(std::int32_t{completed() ? 1 : 0});
               });
}

std::shared_ptr<const DownloadState> DownloadState::Of(const automation::ObjectPtr& object) {
  return std::dynamic_pointer_cast<const DownloadState>(object);
}

bool DownloadState::completed() const {
  return snapshot_ != nullptr && position_ >= snapshot_->entries.size();
}

}  // namespace tqs::erp
