#include "masterdata/main_window.h"

#include "common/error.h"

namespace tqs::masterdata {
namespace {
// The toolkit's "Invalid property value".
constexpr std::int32_t kInvalidPropertyValue = 380;
}  // namespace

void MainWindow::SetCaption(std::string caption) {
  caption_ = std::move(caption);
  if (observer_ != nullptr) observer_->OnCaptionChanged(caption_);
}

void MainWindow::ClearStatusList() {
  status_list_.clear();
  list_index_ = -1;
  if (observer_ != nullptr) observer_->OnStatusListCleared();
}

void MainWindow::AddStatusLine(std::string line) {
  status_list_.push_back(std::move(line));
  if (observer_ != nullptr) observer_->OnStatusLineAdded(status_list_.back());
}

void MainWindow::SetListIndex(int index) {
  if (index < -1 || index >= static_cast<int>(status_list_.size())) {
    throw Error(kInvalidPropertyValue, "Invalid property value: list index " +
                                           std::to_string(index) + " of lstStatusPanel with " +
                                           std::to_string(status_list_.size()) + " entries");
  }
  list_index_ = index;
}

void MainWindow::SetMousePointer(MousePointer pointer) {
  if (pointer == mouse_pointer_) return;
  mouse_pointer_ = pointer;
  if (observer_ != nullptr) observer_->OnMousePointerChanged(pointer);
}

}  // namespace tqs::masterdata
