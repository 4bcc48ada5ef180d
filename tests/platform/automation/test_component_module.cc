// A component library for the registry tests. Its factory serves "<prefix>Echo" objects:
//   getSetting(key)  the value of the registry entry's setting `key`
//   Fail()           raises tqs::Error 1234 "Echo failed on purpose"
//   Double(io)       doubles the number in its by-reference argument
//   ThrowInt()       throws the int 42, which is no error object at all
//   ThrowStd()       throws std::runtime_error "Echo broke"
//   Child()          a new Echo object of the same identifier
//   IsEcho(o)        whether `o` is an Echo object of this library, as made here
// "<prefix>Unmakeable" is created by throwing the int 7.
// The entry point returns no factory when the setting "Refuse" is "yes".
#include <stdexcept>
#include <string>

#include "common/error.h"
#include "platform/automation/component_registry.h"

namespace {

using tqs::automation::ComponentSettings;
using tqs::automation::ObjectPtr;
using tqs::automation::Variant;

class Echo : public tqs::automation::Object {
 public:
  Echo(std::string prog_id, ComponentSettings settings)
      : prog_id_(std::move(prog_id)), settings_(std::move(settings)) {}

  Variant Invoke(std::string_view method, std::span<Variant> args) override {
    if (method == "getSetting" && args.size() == 1) {
      const auto found = settings_.find(args[0].AsText());
      return found == settings_.end() ? Variant(tqs::automation::kNull) : Variant(found->second);
    }
    if (method == "Fail") throw tqs::Error(1234, "Echo failed on purpose");
    if (method == "Double" && args.size() == 1) {
      args[0] = Variant(args[0].AsInt32() * 2);
      return {};
    }
    if (method == "ThrowInt") throw 42;
    if (method == "ThrowStd") throw std::runtime_error("Echo broke");
    if (method == "Child") return Variant(ObjectPtr(std::make_shared<Echo>(prog_id_, settings_)));
    if (method == "IsEcho" && args.size() == 1) {
      return Variant(dynamic_cast<Echo*>(args[0].AsObject().get()) != nullptr);
    }
    throw tqs::automation::MethodNotSupportedError(prog_id_, method);
  }
  std::string ProgId() const override { return prog_id_; }

 private:
  const std::string prog_id_;
  const ComponentSettings settings_;
};

class EchoFactory : public tqs::automation::ComponentFactory {
 public:
  explicit EchoFactory(ComponentSettings settings) : settings_(std::move(settings)) {}

  ObjectPtr Create(std::string_view prog_id) override {
    if (prog_id.ends_with(".Unmakeable")) throw 7;
    if (!prog_id.ends_with(".Echo")) return nullptr;
    return std::make_shared<Echo>(std::string(prog_id), settings_);
  }

 private:
  const ComponentSettings settings_;
};

}  // namespace

TQS_COMPONENT_ENTRY_POINT(const tqs::automation::ComponentSettings& settings) {
  const auto refuse = settings.find("Refuse");
  if (refuse != settings.end() && refuse->second == "yes") return nullptr;
  return new EchoFactory(settings);
}
