#include "erp/download_state.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>

#include "common/erp/job_sheets.h"
#include "common/error.h"
#include "common/text.h"
#include "erp/late_bound_internal.h"

namespace tqs::erp {

namespace {

// The property that tells a state's position to whoever reads it by name.
constexpr std::string_view kPosition = "Position";

}  // namespace

DownloadState::DownloadState() : DownloadState(nullptr, 0) {}

DownloadState::DownloadState(std::shared_ptr<const DownloadSnapshot> snapshot, std::size_t position)
    : DataObject(std::string(job_sheets::prog_id::kIoState)),
      snapshot_(std::move(snapshot)),
      position_(position) {
  Set(kPosition, automation::Variant(static_cast<std::int32_t>(
                     std::min<std::size_t>(position, std::numeric_limits<std::int32_t>::max()))));
  DefineMethod(job_sheets::download::kCompletedStateAttribute,
               [this](std::span<automation::Variant>) {
                 return automation::Variant(std::int32_t{completed() ? 1 : 0});
               });
}

std::shared_ptr<const DownloadState> DownloadState::Of(const automation::ObjectPtr& object) {
  if (!object) return nullptr;
  if (auto state = std::dynamic_pointer_cast<const DownloadState>(object)) return state;
  automation::Variant position;
  try {
    position = internal::Ask(object, "get" + std::string(kPosition));
  } catch (const Error& error) {
    if (error.number() == error_number::kMethodNotSupported) return nullptr;
    throw;
  }
  const std::optional<double> number = position.TryDouble();
  if (position.IsEmpty() || position.IsNull() || (number && *number <= 0)) return nullptr;
  throw Error(error_number::kGenericFailure,
              "The ioState handed to getJobSheets is not one this ERP answered with (it is " +
                  object->ProgId() + " at position " + Excerpt(position.DebugString()) +
                  "); a download continues only with the ioState of its previous portion");
}

bool DownloadState::completed() const {
  return snapshot_ != nullptr && position_ >= snapshot_->entries.size();
}

}  // namespace tqs::erp
