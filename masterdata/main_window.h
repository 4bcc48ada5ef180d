// MainWindow is the model of the master data creator's one window, frmMain: its caption, the
// command button cmdCreateMasterData, the check box chkRecreateMasterData, the status list
// lstStatusPanel with its selected entry, the status label lblStatus and the mouse pointer. It
// holds control state only; the procedures change it and a front end shows it, told of every
// change through a WindowObserver.
//
// Not thread-safe: the thread that runs the window owns it.
#ifndef TQS_MASTERDATA_MAIN_WINDOW_H_
#define TQS_MASTERDATA_MAIN_WINDOW_H_

#include <string>
#include <string_view>
#include <vector>

namespace tqs::masterdata {

// The window's mouse pointer, numbered as the toolkit numbers its pointer codes.
enum class MousePointer { kDefault = 0, kHourglass = 11 };

// What a front end hears of the window. Every method has an empty default.
class WindowObserver {
 public:
  virtual ~WindowObserver() = default;
  virtual void OnCaptionChanged(std::string_view caption) {}
  virtual void OnStatusListCleared() {}
  virtual void OnStatusLineAdded(std::string_view line) {}
  virtual void OnMousePointerChanged(MousePointer pointer) {}
};

class MainWindow {
 public:
  static constexpr std::string_view kInitialCaption = "Varnex Create Master Data";
  static constexpr std::string_view kCreateButtonCaption = "Create Master Data";
  static constexpr std::string_view kRecreateCheckBoxCaption = "Recreate Master Data";

  MainWindow() = default;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // The observer (not owned; nullptr for none) must outlive the window or be reset.
  void SetObserver(WindowObserver* observer) { observer_ = observer; }

  const std::string& caption() const { return caption_; }
  void SetCaption(std::string caption);

  // chkRecreateMasterData: ticked or not.
  bool recreate_master_data() const { return recreate_master_data_; }
  void SetRecreateMasterData(bool ticked) { recreate_master_data_ = ticked; }

  // lstStatusPanel: its entries and the selected one (-1 for none).
  const std::vector<std::string>& status_list() const { return status_list_; }
  int list_index() const { return list_index_; }
  void ClearStatusList();
  void AddStatusLine(std::string line);
  // Selects entry `index` (-1 selects none); raises tqs::Error 380 outside the list.
  void SetListIndex(int index);

  // lblStatus.
  const std::string& status_label() const { return status_label_; }
  void SetStatusLabel(std::string text) { status_label_ = std::move(text); }

  MousePointer mouse_pointer() const { return mouse_pointer_; }
  void SetMousePointer(MousePointer pointer);

 private:
  WindowObserver* observer_ = nullptr;
  std::string caption_{kInitialCaption};
  bool recreate_master_data_ = false;
  std::vector<std::string> status_list_;
  int list_index_ = -1;
  std::string status_label_;
  MousePointer mouse_pointer_ = MousePointer::kDefault;
};

}  // namespace tqs::masterdata

#endif  // TQS_MASTERDATA_MAIN_WINDOW_H_
