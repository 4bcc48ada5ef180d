// Lays out the reference ERP in an installation folder, for `TQSRemoteAdmin install`:
//   DIR/erp/erp.db                  the ERP store; for the demo, with the demo data when new
//   DIR/erp/demo-orders.xml         demo only: the demo service orders as job sheet documents,
//                                   a sample of what `TQSRemoteAdmin erp import` loads
//   DIR/bin/TQSRemoteComponents.xml the component registry, when there is none yet:
//                                   libTQSReferenceErp.so (beside it) for the four ERP
//                                   prefixes, with the store's path
//   USERDEFAULTS                    demo only: the demo engineers' logins, in the server database
// An existing store, an existing registry (it may name another ERP) and existing USERDEFAULTS
// rows are kept. The registry names the library only when DIR/bin holds it, so the programs
// never start against a library that is missing.
// Also reads back, for `TQSRemoteAdmin erp import`, which store a registry file names.
//
// Functions; not safe to run twice at once on one folder.
#ifndef TQS_ERP_SEED_H_
#define TQS_ERP_SEED_H_

#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "erp/store.h"

namespace tqs::erp {

// The library file of the reference ERP in a bin folder.
inline constexpr std::string_view kReferenceErpLibrary = "libTQSReferenceErp.so";

// A demo engineer: a laptop user of the server and an employee of the ERP.
struct DemoUser {
  std::string_view login;
  std::string_view employee;
  std::string_view name;
  std::string_view service_center;
  std::string_view bus_component;
};

// The demo engineers: ada and bram (NORTH), carla (SOUTH), business component 100.
std::span<const DemoUser> DemoUsers();

// The demo service orders, as job sheet documents.
std::string_view DemoOrderDocuments();

// Adds the demo employees, tasks and service orders to a store.
void SeedDemoData(Store& store);

// Writes the component registry file naming `library` for the four prefixes of the reference
// ERP, each with the settings Store = `store_file` and PortionSize = `portion_size`; the job
// sheet, service inspection and hours accounting entries say idempotencyKeys="true".
void WriteReferenceErpRegistry(const std::filesystem::path& registry_file,
                               const std::filesystem::path& library,
                               const std::filesystem::path& store_file, int portion_size);

// The store that a registry file's job sheet entry names. Raises tqs::Error naming the file
// when it cannot be read or names no reference ERP store.
std::filesystem::path StoreOfRegistry(const std::filesystem::path& registry_file);

// What WriteReferenceErp lays out besides the store and the registry.
struct ReferenceErpContent {
  bool demo = false;  // the demo orders (into a new store) and the demo users
};

// Lays out the reference ERP in the installation folder `dir` whose server database is `dsn`
// (see above); reports each step through `progress`. Raises tqs::Error.
void WriteReferenceErp(const std::filesystem::path& dir, std::string_view dsn,
                       const ReferenceErpContent& content,
                       const std::function<void(std::string_view)>& progress);

}  // namespace tqs::erp

#endif  // TQS_ERP_SEED_H_
