// The ComponentRegistry creates late-bound objects by programmatic identifier, standing in for
// the system's component registration. Each identifier prefix (for example
// "Q72dVXRsvordJobSheets.") is served by one ComponentFactory: a built-in one registered in code,
// or one exported by a shared library named in a registry file and loaded with dlopen, so an
// integrator's ERP adapter serves the same identifiers as the reference ERP. The longest matching
// prefix wins. Registering the same prefix twice raises tqs::Error; creating an identifier that
// no prefix serves, or that the serving factory does not know, raises tqs::Error 429 naming the
// identifier.
//
// Every call into a component library, its entry point, its factory and its objects, answers
// with a result or a tqs::Error: a std::exception becomes the generic failure (-2147467259)
// with its text (429 when creating), and anything else the generic failure saying that the
// component raised an exception that is not an error object.
//
// A factory may be registered as accepting idempotency keys: its components take a stable key
// per document handed to them and book a document at most once per key (see
// common/erp/contract.h). Callers ask AcceptsIdempotencyKeys before passing a key, so
// components that know nothing of keys keep working.
//
// The registry is an object passed to whoever creates components, not a hidden global. Create()
// and AcceptsIdempotencyKeys() are safe to call from several threads once registration is
// finished.
#ifndef TQS_PLATFORM_AUTOMATION_COMPONENT_REGISTRY_H_
#define TQS_PLATFORM_AUTOMATION_COMPONENT_REGISTRY_H_

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>
#include "common/export.h"

#include "platform/automation/object.h"

namespace tqs::automation {

// Settings a factory receives from the registry file (key/value pairs of its entry), for
// example the path of the reference ERP's store.
using ComponentSettings = std::map<std::string, std::string, std::less<>>;

// Creates the objects of one library. Thread-safe once constructed.
class TQS_EXPORT ComponentFactory {
 public:
  virtual ~ComponentFactory() = default;
  // Returns the new object, or nullptr when this factory does not know `prog_id`.
  virtual ObjectPtr Create(std::string_view prog_id) = 0;
};

// A shared library serving components exports this function with C linkage under the name
// kFactorySymbol. It is called once per registry entry with that entry's settings and returns a
// factory owned by the caller, or nullptr when it cannot start (the registry then raises).
using FactoryEntryPoint = ComponentFactory* (*)(const ComponentSettings& settings);
inline constexpr const char* kFactorySymbol = "TQSCreateComponentFactory";

// Declares the entry point in a component library, visible even when the library is built
// with hidden visibility:
//   TQS_COMPONENT_ENTRY_POINT(const tqs::automation::ComponentSettings& settings) {
//     return new MyFactory(settings);
//   }
#define TQS_COMPONENT_ENTRY_POINT                                 \
  extern "C" __attribute__((visibility("default")))              \
  ::tqs::automation::ComponentFactory* TQSCreateComponentFactory

// What a registration says about the components of a factory besides creating them.
struct ComponentOptions {
  // The components take an idempotency key per document (setIdempotencyKey).
  bool accepts_idempotency_keys = false;
  // The components must not be used from several threads at once.
  bool single_threaded = false;
};

class ComponentRegistry {
 public:
  ComponentRegistry();
  ~ComponentRegistry();
  ComponentRegistry(const ComponentRegistry&) = delete;
  ComponentRegistry& operator=(const ComponentRegistry&) = delete;

  // Serves every identifier starting with `prefix` (compared exactly, case included) by
  // `factory`. The empty prefix serves whatever no longer prefix serves. A prefix that is
  // already registered raises tqs::Error 5 naming it.
  void Register(std::string prefix, std::shared_ptr<ComponentFactory> factory,
                ComponentOptions options = {});

  // Reads a registry file and registers its entries; relative library paths are taken relative
  // to the file's folder. Each library is loaded once (a second entry naming the same file
  // reuses it) and stays loaded as long as the registry, a factory it made or an object created
  // through the registry from it is alive. The file is taken as a whole: when any entry fails
  // (file missing: error 53; malformed: the generic failure number; library not loadable: 48;
  // entry point missing: 453; entry point returning nullptr: 429; duplicate prefix: 5), nothing
  // of it is registered. Format:
  //   <components>
  //     <component prefix="Q72dVXRsvordJobSheets." library="lib/libtqs_erp.so"
  //                idempotencyKeys="true" threads="single">
  //       <setting key="Store" value="../data/erp.db"/>
  //     </component>
  //   </components>
  // idempotencyKeys is optional: "true" registers the entry as accepting idempotency keys,
  // "false" or no attribute as not; any other value makes the file malformed. threads is
  // optional too: "single" registers the entry as single-threaded, "multiple" or no attribute
  // as usable from several threads at once; any other value makes the file malformed.
  void LoadFile(const std::filesystem::path& registry_file);

  ObjectPtr Create(std::string_view prog_id) const;

  // Whether the factory that serves `prog_id` (the longest matching prefix, as for Create) was
  // registered as accepting idempotency keys; false when no prefix serves it. Creates nothing
  // and never raises.
  bool AcceptsIdempotencyKeys(std::string_view prog_id) const;

  // Whether the factory that serves `prog_id` was registered as single-threaded; false when no
  // prefix serves it. Creates nothing and never raises.
  bool RunsOnOneThread(std::string_view prog_id) const;

  // The registered prefixes, for diagnostics.
  std::vector<std::string> Prefixes() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tqs::automation

#endif  // TQS_PLATFORM_AUTOMATION_COMPONENT_REGISTRY_H_
