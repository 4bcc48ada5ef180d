#include "platform/automation/component_registry.h"

#include <dlfcn.h>

#include <pugixml.hpp>
#include <system_error>
#include <utility>

#include "common/error.h"
#include "platform/automation/guarded_object.h"

namespace tqs::automation {

namespace {

// Run-time error numbers of library loading that only the registry raises.
constexpr std::int32_t kErrorLoadingLibrary = 48;
constexpr std::int32_t kEntryPointNotFound = 453;

// A shared library opened with dlopen; closed when the last owner lets go.
class LoadedLibrary {
 public:
  static std::shared_ptr<LoadedLibrary> Open(const std::filesystem::path& path,
                                             const std::filesystem::path& registry_file) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      const char* reason = dlerror();
      throw Error(kErrorLoadingLibrary, "Cannot load component library '" + path.string() +
                                            "' named in '" + registry_file.string() +
                                            "': " + (reason ? reason : "unknown reason"));
    }
    return std::shared_ptr<LoadedLibrary>(new LoadedLibrary(handle, path));
  }

  ~LoadedLibrary() { dlclose(handle_); }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  FactoryEntryPoint EntryPoint() const {
    dlerror();  // clear a stale message
    void* symbol = dlsym(handle_, kFactorySymbol);
    if (symbol == nullptr) {
      throw Error(kEntryPointNotFound, "Component library '" + path_.string() +
                                           "' does not export the entry point " + kFactorySymbol);
    }
    return reinterpret_cast<FactoryEntryPoint>(symbol);
  }

  const std::filesystem::path& path() const { return path_; }

 private:
  LoadedLibrary(void* handle, std::filesystem::path path)
      : handle_(handle), path_(std::move(path)) {}

  void* const handle_;
  const std::filesystem::path path_;
};

// Wraps a factory made by a library so that neither the factory nor any object it creates can
// outlive the library's code: each keeps a reference to the library. Its objects are guarded
// (guarded_object.h): no exception of the library's own crosses into the programs. (glibc never
// unloads a library that defines unique C++ symbols, which most C++ libraries do; this keeps the
// others, such as thin C adapters, safe as well.)
class LibraryFactory : public ComponentFactory {
 public:
  LibraryFactory(std::shared_ptr<LoadedLibrary> library, std::unique_ptr<ComponentFactory> factory)
      : library_(std::move(library)), factory_(std::move(factory)) {}

  ObjectPtr Create(std::string_view prog_id) override {
    return GuardedObject::Guard(library_, factory_->Create(prog_id));
  }

 private:
  const std::shared_ptr<LoadedLibrary> library_;  // declared first: destroyed last
  const std::unique_ptr<ComponentFactory> factory_;
};

Error MalformedFileError(const std::filesystem::path& file, std::string_view detail) {
  return Error(error_number::kGenericFailure, "Component registry file '" + file.string() +
                                                  "' is malformed: " + std::string(detail));
}

Error DuplicatePrefixError(std::string_view prefix) {
  return InvalidProcedureCallError("component prefix '" + std::string(prefix) +
                                   "' is registered twice");
}

// One <component> entry of a registry file.
struct FileEntry {
  std::string prefix;
  std::filesystem::path library;  // absolute, normalised
  ComponentSettings settings;
  ComponentOptions options;
};

// The optional Boolean attribute `name` of a <component> element: absent is false.
bool BooleanAttribute(const std::filesystem::path& file, const pugi::xml_node component,
                      const char* name, std::string_view prefix) {
  const pugi::xml_attribute attribute = component.attribute(name);
  if (!attribute) return false;
  const std::string_view value = attribute.value();
  if (value == "true") return true;
  if (value == "false") return false;
  throw MalformedFileError(file, "the component with prefix '" + std::string(prefix) + "' has " +
                                     name + "=\"" + std::string(value) +
                                     "\" (expected \"true\" or \"false\")");
}

// The optional threads attribute of a <component> element: "single" is true, "multiple" or
// absent false.
bool SingleThreaded(const std::filesystem::path& file, const pugi::xml_node component,
                    std::string_view prefix) {
  const pugi::xml_attribute attribute = component.attribute("threads");
  if (!attribute) return false;
  const std::string_view value = attribute.value();
  if (value == "single") return true;
  if (value == "multiple") return false;
  throw MalformedFileError(file, "the component with prefix '" + std::string(prefix) +
                                     "' has threads=\"" + std::string(value) +
                                     "\" (expected \"single\" or \"multiple\")");
}

std::vector<FileEntry> ReadRegistryFile(const std::filesystem::path& file) {
  pugi::xml_document document;
  const pugi::xml_parse_result parsed = document.load_file(file.c_str());
  if (parsed.status == pugi::status_file_not_found) {
    throw Error(error_number::kFileNotFound, "Component registry file not found: " + file.string());
  }
  if (!parsed) {
    throw MalformedFileError(
        file, std::string(parsed.description()) + " at offset " + std::to_string(parsed.offset));
  }
  const pugi::xml_node root = document.document_element();
  if (std::string_view(root.name()) != "components") {
    throw MalformedFileError(
        file, "the root element is <" + std::string(root.name()) + ">, expected <components>");
  }
  const std::filesystem::path folder = std::filesystem::absolute(file).parent_path();
  std::vector<FileEntry> entries;
  for (const pugi::xml_node component : root.children()) {
    if (component.type() != pugi::node_element) continue;
    if (std::string_view(component.name()) != "component") {
      throw MalformedFileError(
          file, "unexpected element <" + std::string(component.name()) + "> in <components>");
    }
    FileEntry entry;
    entry.prefix = component.attribute("prefix").value();
    const std::string library = component.attribute("library").value();
    if (entry.prefix.empty() || library.empty()) {
      throw MalformedFileError(file,
                               "a <component> element lacks its prefix or library attribute"
                               " (prefix '" +
                                   entry.prefix + "', library '" + library + "')");
    }
    std::filesystem::path library_path(library);
    if (library_path.is_relative()) library_path = folder / library_path;
    std::error_code ignored;
    const std::filesystem::path canonical =
        std::filesystem::weakly_canonical(library_path, ignored);
    entry.library = canonical.empty() ? library_path.lexically_normal() : canonical;
    entry.options.accepts_idempotency_keys =
        BooleanAttribute(file, component, "idempotencyKeys", entry.prefix);
    entry.options.single_threaded = SingleThreaded(file, component, entry.prefix);
    for (const pugi::xml_node setting : component.children()) {
      if (setting.type() != pugi::node_element) continue;
      const std::string key = setting.attribute("key").value();
      if (std::string_view(setting.name()) != "setting" || key.empty()) {
        throw MalformedFileError(file, "the component with prefix '" + entry.prefix + "' holds <" +
                                           setting.name() +
                                           "> instead of <setting key=... value=...>");
      }
      entry.settings.insert_or_assign(key, setting.attribute("value").value());
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

}  // namespace

namespace {

// A factory with what its registration said.
struct Registration {
  std::shared_ptr<ComponentFactory> factory;
  ComponentOptions options;
};

using Registrations = std::map<std::string, Registration, std::less<>>;

}  // namespace

struct ComponentRegistry::Impl {
  // Libraries by absolute path: each is loaded once and shared by the entries naming it.
  std::map<std::filesystem::path, std::shared_ptr<LoadedLibrary>> libraries;
  Registrations factories;

  bool HasPrefix(std::string_view prefix) const {
    return factories.find(prefix) != factories.end();
  }

  // The registration of the longest prefix `prog_id` starts with, or nullptr.
  const Registrations::value_type* Serving(std::string_view prog_id) const {
    const Registrations::value_type* best = nullptr;
    for (const auto& registered : factories) {
      if (prog_id.starts_with(registered.first) &&
          (best == nullptr || registered.first.size() > best->first.size())) {
        best = &registered;
      }
    }
    return best;
  }
};

ComponentRegistry::ComponentRegistry() : impl_(std::make_unique<Impl>()) {}

ComponentRegistry::~ComponentRegistry() = default;

void ComponentRegistry::Register(std::string prefix, std::shared_ptr<ComponentFactory> factory,
                                 ComponentOptions options) {
  if (!factory) {
    throw InvalidProcedureCallError("no factory given for component prefix '" + prefix + "'");
  }
  if (impl_->HasPrefix(prefix)) throw DuplicatePrefixError(prefix);
  impl_->factories.emplace(std::move(prefix), Registration{std::move(factory), options});
}

void ComponentRegistry::LoadFile(const std::filesystem::path& registry_file) {
  const std::vector<FileEntry> entries = ReadRegistryFile(registry_file);

  // Everything is prepared aside and only merged when the whole file succeeded.
  std::map<std::filesystem::path, std::shared_ptr<LoadedLibrary>> new_libraries;
  Registrations new_factories;
  for (const FileEntry& entry : entries) {
    if (impl_->HasPrefix(entry.prefix) || new_factories.count(entry.prefix) != 0) {
      throw Error(error_number::kInvalidProcedureCall,
                  DuplicatePrefixError(entry.prefix).description() + " (in '" +
                      registry_file.string() + "')");
    }
    std::shared_ptr<LoadedLibrary> library;
    if (auto known = impl_->libraries.find(entry.library); known != impl_->libraries.end()) {
      library = known->second;
    } else if (auto opened = new_libraries.find(entry.library); opened != new_libraries.end()) {
      library = opened->second;
    } else {
      library = LoadedLibrary::Open(entry.library, registry_file);
      new_libraries.emplace(entry.library, library);
    }
    const FactoryEntryPoint entry_point = library->EntryPoint();
    std::unique_ptr<ComponentFactory> factory;
    try {
      factory.reset(entry_point(entry.settings));
    } catch (const Error&) {
      throw;
    } catch (const std::exception& e) {
      throw Error(error_number::kGenericFailure, "Component library '" + library->path().string() +
                                                     "' failed to start for prefix '" +
                                                     entry.prefix + "': " + e.what());
    } catch (...) {
      throw Error(error_number::kGenericFailure,
                  "Component library '" + library->path().string() +
                      "' failed to start for prefix '" + entry.prefix +
                      "': it raised an exception that is not an error object");
    }
    if (!factory) {
      throw Error(error_number::kCannotCreateComponent,
                  "Component library '" + library->path().string() +
                      "' returned no factory for prefix '" + entry.prefix + "'");
    }
    new_factories.emplace(
        entry.prefix,
        Registration{std::make_shared<LibraryFactory>(library, std::move(factory)), entry.options});
  }
  impl_->libraries.merge(new_libraries);
  impl_->factories.merge(new_factories);
}

ObjectPtr ComponentRegistry::Create(std::string_view prog_id) const {
  const Registrations::value_type* best = impl_->Serving(prog_id);
  // Made only for a message: the broker creates components for every line it hands over.
  const auto quoted = [prog_id] { return "'" + std::string(prog_id) + "'"; };
  if (best == nullptr) {
    throw Error(
        error_number::kCannotCreateComponent,
        "Cannot create component " + quoted() + ": no component library is registered for it");
  }
  ObjectPtr object;
  try {
    object = best->second.factory->Create(prog_id);
  } catch (const Error&) {
    throw;
  } catch (const std::exception& e) {
    throw Error(error_number::kCannotCreateComponent,
                "Cannot create component " + quoted() + ": " + e.what());
  } catch (...) {
    throw Error(error_number::kGenericFailure,
                "The component " + quoted() +
                    " raised an exception that is not an error object while being created.");
  }
  if (!object) {
    throw Error(error_number::kCannotCreateComponent, "Cannot create component " + quoted() +
                                                          ": the library registered for prefix '" +
                                                          best->first + "' does not know it");
  }
  return object;
}

bool ComponentRegistry::AcceptsIdempotencyKeys(std::string_view prog_id) const {
  const Registrations::value_type* serving = impl_->Serving(prog_id);
  return serving != nullptr && serving->second.options.accepts_idempotency_keys;
}

bool ComponentRegistry::RunsOnOneThread(std::string_view prog_id) const {
  const Registrations::value_type* serving = impl_->Serving(prog_id);
  return serving != nullptr && serving->second.options.single_threaded;
}

std::vector<std::string> ComponentRegistry::Prefixes() const {
  std::vector<std::string> prefixes;
  prefixes.reserve(impl_->factories.size());
  for (const auto& registered : impl_->factories) prefixes.push_back(registered.first);
  return prefixes;
}

}  // namespace tqs::automation
