#include "tests/support/delayed_hours_erp.h"

#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <functional>
#include <map>
#include <sstream>
#include <utility>

#include "common/erp/hours_accounting.h"
#include "common/error.h"

namespace tqs::test_support {

namespace {

namespace ha = erp::hours_accounting;
using automation::ObjectPtr;
using automation::Variant;

// An object of the stand-in: its methods are a table from name to handler, and whatever is set
// on it through a "set..." method can be read back by the matching "get...".
class TableObject final : public automation::Object {
 public:
  using Handler = std::function<Variant(std::span<Variant>)>;

  explicit TableObject(std::string prog_id) : prog_id_(std::move(prog_id)) {}

  void On(std::string method, Handler handler) {
    handlers_[std::move(method)] = std::move(handler);
  }
  std::string Property(const std::string& name) const {
    const auto found = properties_.find(name);
    return found == properties_.end() ? "" : found->second;
  }
  void SetProperty(const std::string& name, std::string value) { properties_[name] = value; }

  Variant Invoke(std::string_view method, std::span<Variant> args) override {
    const auto handler = handlers_.find(std::string(method));
    if (handler != handlers_.end()) return handler->second(args);
    if (method.starts_with("set") && args.size() == 1) {
      properties_[std::string(method.substr(3))] = args[0].IsObject() ? "" : args[0].AsText();
      return Variant();
    }
    if (method.starts_with("get") && args.empty())
      return Variant(Property(std::string(method.substr(3))));
    throw automation::MethodNotSupportedError(prog_id_, method);
  }

  std::string ProgId() const override { return prog_id_; }

 private:
  const std::string prog_id_;
  std::map<std::string, Handler> handlers_;
  std::map<std::string, std::string> properties_;
};

const Variant& First(std::span<Variant> args) {
  if (args.empty()) throw Error(error_number::kGenericFailure, "an argument is missing");
  return args[0];
}

std::string Id(std::string_view last_part) {
  return std::string(ha::kPrefix) + std::string(last_part);
}

}  // namespace

DelayedHoursErpOptions DelayedHoursErpOptions::FromSettings(
    const automation::ComponentSettings& settings) {
  DelayedHoursErpOptions options;
  if (const auto delay = settings.find("DelayMilliseconds"); delay != settings.end()) {
    int value = 0;
    const std::string& text = delay->second;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) {
      throw Error(error_number::kGenericFailure, "DelayMilliseconds must be a whole number >= 0");
    }
    options.delay = std::chrono::milliseconds(value);
  }
  if (const auto journal = settings.find("Journal"); journal != settings.end()) {
    options.journal = journal->second;
  }
  if (const auto hold = settings.find("HoldFile"); hold != settings.end()) {
    options.hold_file = hold->second;
  }
  if (const auto task = settings.find("HoldTask"); task != settings.end()) {
    options.hold_task = task->second;
  }
  return options;
}

DelayedHoursErp::DelayedHoursErp(DelayedHoursErpOptions options) : options_(std::move(options)) {}

ObjectPtr DelayedHoursErp::Create(std::string_view prog_id) {
  auto object = std::make_shared<TableObject>(std::string(prog_id));
  if (prog_id == ha::prog_id::kServiceOrderHoursAccounting) {
    object->On(std::string(ha::method::kGetLineNumber), [line = object.get()](std::span<Variant>) {
      return Variant(static_cast<std::int32_t>(std::stoi("0" + line->Property("LineNumber"))));
    });
    return object;
  }
  if (prog_id == ha::prog_id::kRecordset) {
    auto lines = std::make_shared<std::vector<ObjectPtr>>();
    object->On(std::string(ha::method::kAddServiceOrderHoursAccounting),
               [lines](std::span<Variant> args) {
                 lines->push_back(First(args).AsObject());
                 return Variant();
               });
    object->On(std::string(ha::method::kGetServiceOrderHoursAccountingAt),
               [lines](std::span<Variant> args) {
                 return Variant(lines->at(static_cast<std::size_t>(First(args).AsInt32())));
               });
    return object;
  }
  if (prog_id == ha::prog_id::kServiceOrderHoursAccountingManager) {
    object->On(std::string(ha::method::kInitialize), [](std::span<Variant>) { return Variant(); });
    object->On(std::string(ha::method::kCreate), [this](std::span<Variant> args) {
      const ObjectPtr recordset = First(args).AsObject();
      const ObjectPtr first = recordset
                                  ->Call(ha::method::kGetServiceOrderHoursAccountingAt,
                                         {Variant(static_cast<std::int32_t>(0))})
                                  .AsObject();
      auto& line = static_cast<TableObject&>(*first);
      line.SetProperty("LineNumber",
                       std::to_string(Book(line.Property("Task"), line.Property("Employee"))));
      auto error_document = std::make_shared<TableObject>(Id("ErrorDoc"));
      error_document->On(std::string(ha::method::kSizeKorvoErrorStructure),
                         [](std::span<Variant>) { return Variant(static_cast<std::int32_t>(0)); });
      auto outcome = std::make_shared<TableObject>(Id("Accounting"));
      outcome->On(std::string(ha::method::kGetKorvoErrorDoc), [error_document](std::span<Variant>) {
        return Variant(ObjectPtr(error_document));
      });
      outcome->On(std::string(ha::method::kGetRecordSet),
                  [recordset](std::span<Variant>) { return Variant(recordset); });
      return Variant(ObjectPtr(outcome));
    });
    return object;
  }
  return nullptr;
}

int DelayedHoursErp::Book(const std::string& task, const std::string& employee) {
  std::ostringstream thread;
  thread << ::getpid() << " " << std::this_thread::get_id();
  Booking booking{task, employee, std::this_thread::get_id(), std::chrono::steady_clock::now(), {}};
  const bool held = !options_.hold_file.empty() && task == options_.hold_task;
  if (held) AppendToJournal("start " + task + " " + employee + " " + thread.str());
  std::this_thread::sleep_for(options_.delay);
  while (held && std::filesystem::exists(options_.hold_file)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  booking.end = std::chrono::steady_clock::now();
  const std::lock_guard lock(mutex_);
  bookings_.push_back(booking);
  AppendToJournal("booked " + task + " " + employee + " " + thread.str());
  return static_cast<int>(bookings_.size());
}

std::vector<DelayedHoursErp::Booking> DelayedHoursErp::Bookings() const {
  const std::lock_guard lock(mutex_);
  return bookings_;
}

void DelayedHoursErp::AppendToJournal(const std::string& line) const {
  if (options_.journal.empty()) return;
  // One write per line to a file opened for appending: the lines of several processes stay whole.
  const std::string text = line + "\n";
  const int descriptor = ::open(options_.journal.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0644);
  if (descriptor < 0) return;
  [[maybe_unused]] const ssize_t written = ::write(descriptor, text.data(), text.size());
  ::close(descriptor);
}

}  // namespace tqs::test_support
