#include "erp_bridge/bridge_manager.h"

#include <fmt/format.h>

#include <array>
#include <random>

#include "common/erp/assignments.h"
#include "common/erp/hours_accounting.h"
#include "common/erp/job_sheets.h"
#include "common/erp/service_inspections.h"
#include "common/error.h"
#include "common/text.h"

namespace tqs::erp_bridge {

namespace {

using automation::ObjectPtr;
using automation::Variant;
namespace js = erp::job_sheets;
namespace si = erp::service_inspections;
namespace ha = erp::hours_accounting;
namespace as = erp::assignments;

// "Wrong number of arguments or invalid property assignment".
constexpr std::int32_t kWrongNumberOfArguments = 450;

// Where an entry method's idempotency key comes from.
enum class KeySource {
  kPerCall,        // the caller gives none: one is made for the call
  kManager,        // setIdempotencyKey on the manager
  kStateArgument,  // the ioState argument at `state_position`
};

struct EntryMethod {
  std::string_view name;
  std::size_t arguments;
  KeySource key;
  std::size_t state_position = 0;
};

struct ManagerClass {
  std::string_view prog_id;
  std::array<EntryMethod, 2> methods;  // unused slots have an empty name
};

constexpr ManagerClass kManagers[] = {
    {js::prog_id::kJobSheetsManager,
     {{{js::manager::kGetJobSheets, 7, KeySource::kPerCall},
       {js::manager::kProcessJobSheet, 6, KeySource::kStateArgument, 3}}}},
    {si::prog_id::kServiceInspectionsManager,
     {{{si::method::kProcessServiceInspection, 4, KeySource::kManager}}}},
    {ha::prog_id::kServiceOrderHoursAccountingManager,
     {{{ha::method::kCreate, 1, KeySource::kManager}}}},
    {as::prog_id::kManager, {{{as::method::kUpdateAssignments, 5, KeySource::kPerCall}}}},
};

bool SameName(std::string_view left, std::string_view right) {
  return AsciiLowerCase(left) == AsciiLowerCase(right);
}

// A key for one call: 128 random bits.
std::string CallKey() {
  std::random_device random;
  std::string key = "call-";
  for (int i = 0; i < 4; ++i) key += fmt::format("{:08x}", random());
  return key;
}

class BridgeManager final : public automation::Object {
 public:
  BridgeManager(const ManagerClass& manager, std::shared_ptr<const AdapterClient> adapter)
      : class_(manager), adapter_(std::move(adapter)) {}

  Variant Invoke(std::string_view method, std::span<Variant> args) override {
    if (SameName(method, js::manager::kInitialize)) {
      RequireArguments(method, args, 1);
      business_component_ = args[0].ToTextOrEmpty();
      return {};
    }
    if (SameName(method, js::manager::kClose)) {
      RequireArguments(method, args, 0);
      business_component_.reset();
      return {};
    }
    if (SameName(method, erp::kSetIdempotencyKey) && HoldsKeys()) {
      RequireArguments(method, args, 1);
      key_ = args[0].AsText();
      return {};
    }
    for (const EntryMethod& entry : class_.methods) {
      if (!entry.name.empty() && SameName(method, entry.name)) return Forward(entry, args);
    }
    throw automation::MethodNotSupportedError(class_.prog_id, method);
  }

  std::string ProgId() const override { return std::string(class_.prog_id); }

 private:
  bool HoldsKeys() const {
    for (const EntryMethod& entry : class_.methods) {
      if (entry.key == KeySource::kManager) return true;
    }
    return false;
  }

  void RequireArguments(std::string_view method, std::span<Variant> args, std::size_t count) const {
    if (args.size() == count) return;
    throw Error(kWrongNumberOfArguments,
                fmt::format("Wrong number of arguments or invalid property assignment: {}.{} "
                            "takes {}, got {}",
                            class_.prog_id, method, count, args.size()));
  }

  // The key a caller gave the ioState argument, if any.
  static std::optional<std::string> StateKey(const Variant& state_argument) {
    const ObjectPtr state = state_argument.TryObject();
    if (!state) return std::nullopt;
    Variant answer;
    try {
      answer = state->Call("get" + std::string(erp::kSetIdempotencyKey.substr(3)));
    } catch (const Error& error) {
      if (error.number() == error_number::kMethodNotSupported) return std::nullopt;
      throw;
    }
    if (answer.IsEmpty() || answer.IsNull()) return std::nullopt;
    return answer.AsText();
  }

  Variant Forward(const EntryMethod& entry, std::span<Variant> args) {
    RequireArguments(entry.name, args, entry.arguments);
    if (!business_component_) {
      throw Error(error_number::kGenericFailure,
                  fmt::format("{}.{} was called before Initialize", class_.prog_id, entry.name));
    }
    std::optional<std::string> key;
    switch (entry.key) {
      case KeySource::kPerCall:
        break;
      case KeySource::kManager:
        // One key, one document: a later call without a new key must not be taken for a
        // repetition of this one.
        key = std::exchange(key_, std::nullopt);
        break;
      case KeySource::kStateArgument:
        key = StateKey(args[entry.state_position]);
        break;
    }
    if (key && key->empty()) key.reset();
    if (!key && entry.key != KeySource::kPerCall) {
      // Without the caller's key a document that a failed exchange left in doubt would be sent
      // again under another key, and could be booked twice.
      throw Error(error_number::kInvalidProcedureCall,
                  fmt::format("The ERP bridge books documents only under an idempotency key, and "
                              "{}.{} was called without one: the component registry entry of {} "
                              "must say idempotencyKeys=\"true\"",
                              class_.prog_id, entry.name, adapter_->component()));
    }
    AdapterCall call{class_.prog_id, entry.name, *business_component_, key ? *key : CallKey()};
    return adapter_->Send(call, args);
  }

  const ManagerClass& class_;
  const std::shared_ptr<const AdapterClient> adapter_;

  std::optional<std::string> business_component_;  // set by Initialize
  std::optional<std::string> key_;                 // set by setIdempotencyKey
};

}  // namespace

ObjectPtr NewBridgeManager(std::string_view prog_id, std::shared_ptr<const AdapterClient> adapter) {
  for (const ManagerClass& manager : kManagers) {
    if (manager.prog_id == prog_id) return std::make_shared<BridgeManager>(manager, adapter);
  }
  return nullptr;
}

}  // namespace tqs::erp_bridge
