#include "tests/support/recording_components.h"

#include <map>
#include <mutex>
#include <utility>

namespace tqs::test_support {

namespace {

std::string_view LastPart(std::string_view prog_id) {
  const auto dot = prog_id.rfind('.');
  return dot == std::string_view::npos ? prog_id : prog_id.substr(dot + 1);
}

}  // namespace

namespace internal {

struct RecordingState {
  using Responder = RecordingComponents::Responder;

  mutable std::mutex mutex;
  std::vector<std::string> journal;
  std::map<std::string, int, std::less<>> counts;  // objects made per last part
  std::map<std::string, std::weak_ptr<automation::Object>, std::less<>> instances;
  // Responders by (prog id or last part or "*", method).
  std::map<std::pair<std::string, std::string>, Responder> responders;
  std::map<std::string, std::optional<Error>, std::less<>> create_failures;

  void Append(std::string line) {
    std::lock_guard lock(mutex);
    journal.push_back(std::move(line));
  }

  std::optional<Responder> FindResponder(std::string_view prog_id, std::string_view method) const {
    std::lock_guard lock(mutex);
    for (std::string_view key : {prog_id, LastPart(prog_id), std::string_view("*")}) {
      const auto found = responders.find({std::string(key), std::string(method)});
      if (found != responders.end()) return found->second;
    }
    return std::nullopt;
  }

  std::string DescribeArgument(const Variant& value) const;

  ObjectPtr Make(const std::shared_ptr<RecordingState>& self, std::string_view prog_id,
                 bool journal_create);
};

}  // namespace internal

namespace {

// One recorded object.
class RecordedObject : public automation::Object {
 public:
  RecordedObject(const std::shared_ptr<internal::RecordingState>& state, std::string prog_id,
                 std::string name)
      : state_(state), prog_id_(std::move(prog_id)), name_(std::move(name)) {}

  Variant Invoke(std::string_view method, std::span<Variant> args) override;
  std::string ProgId() const override { return prog_id_; }
  const std::string& name() const { return name_; }

 private:
  // Weak: the script may hold objects (answers of responders), so a strong reference back to
  // the state would keep both alive for ever.
  const std::weak_ptr<internal::RecordingState> state_;
  const std::string prog_id_;
  const std::string name_;  // in the journal: "ServiceOrderData#1"
};

}  // namespace

std::string internal::RecordingState::DescribeArgument(const Variant& value) const {
  if (const auto* recorded = dynamic_cast<const RecordedObject*>(value.TryObject().get())) {
    return "Object(" + recorded->name() + ")";
  }
  return value.DebugString();
}

ObjectPtr internal::RecordingState::Make(const std::shared_ptr<RecordingState>& self,
                                         std::string_view prog_id, bool journal_create) {
  std::lock_guard lock(mutex);
  const std::string number = std::to_string(++counts[std::string(LastPart(prog_id))]);
  const std::string name = std::string(LastPart(prog_id)) + "#" + number;
  auto object = std::make_shared<RecordedObject>(self, std::string(prog_id), name);
  instances.insert_or_assign(name, object);
  if (journal_create) journal.push_back("create " + std::string(prog_id) + "#" + number);
  return object;
}

Variant RecordedObject::Invoke(std::string_view method, std::span<Variant> args) {
  const std::shared_ptr<internal::RecordingState> state = state_.lock();
  if (!state) {
    throw Error(error_number::kGenericFailure,
                "The recording components of " + name_ + " no longer exist");
  }
  std::string line = "call " + name_ + "." + std::string(method) + "(";
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (i > 0) line += ", ";
    line += state->DescribeArgument(args[i]);
  }
  line += ")";
  state->Append(std::move(line));
  if (auto responder = state->FindResponder(prog_id_, method)) return (*responder)(args);
  return {};
}

RecordingComponents::RecordingComponents() : state_(std::make_shared<internal::RecordingState>()) {}

RecordingComponents::~RecordingComponents() = default;

ObjectPtr RecordingComponents::Create(std::string_view prog_id) {
  std::optional<Error> failure;
  {
    std::lock_guard lock(state_->mutex);
    const auto found = state_->create_failures.find(prog_id);
    if (found != state_->create_failures.end()) {
      state_->journal.push_back("create " + std::string(prog_id) + " failed");
      if (!found->second) return nullptr;
      failure = found->second;
    }
  }
  if (failure) throw *failure;
  return state_->Make(state_, prog_id, /*journal_create=*/true);
}

void RecordingComponents::OnCall(std::string_view prog_id, std::string_view method,
                                 Responder responder) {
  std::lock_guard lock(state_->mutex);
  state_->responders.insert_or_assign({std::string(prog_id), std::string(method)},
                                      std::move(responder));
}

void RecordingComponents::Returns(std::string_view prog_id, std::string_view method,
                                  Variant result) {
  OnCall(prog_id, method, [result = std::move(result)](std::span<Variant>) { return result; });
}

void RecordingComponents::Throws(std::string_view prog_id, std::string_view method, Error error) {
  OnCall(prog_id, method,
         [error = std::move(error)](std::span<Variant>) -> Variant { throw error; });
}

void RecordingComponents::FailCreate(std::string_view prog_id, std::optional<Error> error) {
  std::lock_guard lock(state_->mutex);
  state_->create_failures.insert_or_assign(std::string(prog_id), std::move(error));
}

ObjectPtr RecordingComponents::NewObject(std::string_view prog_id) {
  return state_->Make(state_, prog_id, /*journal_create=*/false);
}

std::vector<std::string> RecordingComponents::Journal() const {
  std::lock_guard lock(state_->mutex);
  return state_->journal;
}

std::vector<std::string> RecordingComponents::Journal(std::string_view text) const {
  std::lock_guard lock(state_->mutex);
  std::vector<std::string> lines;
  for (const std::string& line : state_->journal) {
    if (line.find(text) != std::string::npos) lines.push_back(line);
  }
  return lines;
}

std::string RecordingComponents::JournalText() const {
  std::lock_guard lock(state_->mutex);
  std::string text;
  for (const std::string& line : state_->journal) text += line + "\n";
  return text;
}

void RecordingComponents::ClearJournal() {
  std::lock_guard lock(state_->mutex);
  state_->journal.clear();
}

ObjectPtr RecordingComponents::Instance(std::string_view journal_name) const {
  std::lock_guard lock(state_->mutex);
  const auto found = state_->instances.find(journal_name);
  return found == state_->instances.end() ? nullptr : found->second.lock();
}

std::pair<std::string, std::string> JournalObjectAndMethod(std::string_view line) {
  constexpr std::string_view kCreate = "create ";
  constexpr std::string_view kCall = "call ";
  if (line.starts_with(kCreate)) {
    line.remove_prefix(kCreate.size());
    return {std::string(line.substr(0, line.find('#'))), ""};
  }
  if (line.starts_with(kCall)) line.remove_prefix(kCall.size());
  const std::string_view::size_type dot = line.find('.');
  const std::string_view::size_type open = line.find('(', dot);
  return {std::string(line.substr(0, line.find('#'))),
          std::string(line.substr(dot + 1, open == std::string_view::npos ? open : open - dot - 1))};
}

void FailFromNowOn(RecordingComponents& components, std::string_view journal_line, Error error) {
  const auto [object, method] = JournalObjectAndMethod(journal_line);
  if (method.empty()) {
    components.FailCreate(object, std::move(error));
    return;
  }
  // An object that exists already may have answers under its full identifier, which would win.
  std::string_view name = journal_line.substr(std::string_view("call ").size());
  name = name.substr(0, name.find('.'));
  const ObjectPtr existing = components.Instance(name);
  components.Throws(existing ? existing->ProgId() : object, method, std::move(error));
}

}  // namespace tqs::test_support
