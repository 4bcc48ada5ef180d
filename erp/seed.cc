#include "erp/seed.h"

#include <fmt/format.h>

#include <array>
#include <fstream>
#include <pugixml.hpp>

#include "common/erp/assignments.h"
#include "common/erp/hours_accounting.h"
#include "common/erp/job_sheets.h"
#include "common/erp/service_inspections.h"
#include "common/error.h"
#include "common/text.h"
#include "erp/job_sheet_import.h"
#include "erp/registry_settings.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"

namespace tqs::erp {

namespace fs = std::filesystem;

namespace {

constexpr DemoUser kDemoUsers[] = {
    {"ada", "E001", "Ada Lindqvist", "NORTH", "100"},
    {"bram", "E002", "Bram Oosterhuis", "NORTH", "100"},
    {"carla", "E003", "Carla Mendes", "SOUTH", "100"},
};

// Employees of the ERP without a laptop user.
const Employee kOtherEmployees[] = {{"E004", "Dirk O'Neill", "WEST"}};

constexpr std::pair<std::string_view, std::string_view> kTasks[] = {
    {"INSP", "Inspection"}, {"REPR", "Repair"},         {"MAIN", "Scheduled maintenance"},
    {"TRAV", "Travel"},     {"ADMN", "Administration"}, {"TRNG", "Training"},
};

// The prefixes the reference ERP serves, and whether their components take idempotency keys
// (the three that book uploaded documents do; assignments only record the latest action).
constexpr std::array<std::pair<std::string_view, bool>, 4> kPrefixes = {{
    {job_sheets::kPrefix, true},
    {service_inspections::kPrefix, true},
    {hours_accounting::kPrefix, true},
    {assignments::kPrefix, false},
}};

void WriteTextFile(const fs::path& file, std::string_view text) {
  fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out) throw Error(error_number::kPathNotFound, "Cannot write " + file.string());
}

// Adds the demo users that USERDEFAULTS lacks; returns the report line.
std::string AddDemoUsers(std::string_view dsn) {
  auto connection = db::Connection::Open(dsn);
  std::string added;
  std::string kept;
  for (const DemoUser& user : kDemoUsers) {
    const std::string entry = fmt::format("{} ({})", user.login, user.employee);
    bool present = false;
    {
      auto rows = db::Recordset::Open(
          "SELECT LOGN FROM USERDEFAULTS WHERE LOGN = " + QuoteSql(user.login), *connection);
      present = !rows->IsEOF();
    }
    std::string& list = present ? kept : added;
    list += list.empty() ? entry : ", " + entry;
    if (present) continue;
    connection->Execute(
        fmt::format("INSERT INTO USERDEFAULTS (LOGN, EMNO, BUSCOMPONENT, LASTJSID, LASTQUOTEID, "
                    "LASTINVOICEID) VALUES ({}, {}, {}, 0, 0, 0)",
                    QuoteSql(user.login), QuoteSql(user.employee), QuoteSql(user.bus_component)));
  }
  connection->Close();
  std::string line = "Demo users";
  if (!added.empty()) line += " added: " + added;
  if (!kept.empty()) line += std::string(added.empty() ? "" : ";") + " kept: " + kept;
  return line;
}

}  // namespace

std::span<const DemoUser> DemoUsers() { return kDemoUsers; }

void SeedDemoData(Store& store) {
  store.InTransaction([&] {
    for (const DemoUser& user : kDemoUsers) {
      store.PutEmployee(Employee{std::string(user.employee), std::string(user.name),
                                 std::string(user.service_center)});
    }
    for (const Employee& employee : kOtherEmployees) store.PutEmployee(employee);
    for (const auto& [code, description] : kTasks) store.PutTask(code, description);
    ImportJobSheets(store, DemoOrderDocuments(), "the demo orders");
  });
}

void WriteReferenceErpRegistry(const fs::path& registry_file, const fs::path& library,
                               const fs::path& store_file, int portion_size) {
  pugi::xml_document document;
  document.append_child(pugi::node_comment)
      .set_value(
          " Which library serves which component identifiers. One entry per identifier prefix,\n"
          "     with the settings the library reads. A relative library path is taken relative\n"
          "     to this file's folder. idempotencyKeys=\"true\" says the components book a\n"
          "     document at most once per idempotency key. The reference ERP reads Store (its\n"
          "     store file) and PortionSize (the most job sheets per download portion). ");
  pugi::xml_node components = document.append_child("components");
  for (const auto& [prefix, accepts_keys] : kPrefixes) {
    pugi::xml_node component = components.append_child("component");
    component.append_attribute("prefix") = std::string(prefix).c_str();
    component.append_attribute("library") = library.c_str();
    component.append_attribute("idempotencyKeys") = accepts_keys ? "true" : "false";
    pugi::xml_node store = component.append_child("setting");
    store.append_attribute("key") = std::string(kStoreSetting).c_str();
    store.append_attribute("value") = store_file.c_str();
    pugi::xml_node portion = component.append_child("setting");
    portion.append_attribute("key") = std::string(kPortionSizeSetting).c_str();
    portion.append_attribute("value") = portion_size;
  }
  fs::create_directories(registry_file.parent_path());
  if (!document.save_file(registry_file.c_str(), "  ")) {
    throw Error(error_number::kPathNotFound, "Cannot write " + registry_file.string());
  }
}

fs::path StoreOfRegistry(const fs::path& registry_file) {
  pugi::xml_document document;
  const pugi::xml_parse_result parsed = document.load_file(registry_file.c_str());
  if (!parsed) {
    throw Error(parsed.status == pugi::status_file_not_found ? error_number::kFileNotFound
                                                             : error_number::kGenericFailure,
                fmt::format("Cannot read the component registry '{}': {}", registry_file.string(),
                            parsed.description()));
  }
  const pugi::xml_node component = document.document_element().find_child_by_attribute(
      "component", "prefix", std::string(job_sheets::kPrefix).c_str());
  const pugi::xml_node setting =
      component.find_child_by_attribute("setting", "key", std::string(kStoreSetting).c_str());
  const std::string store = setting.attribute("value").value();
  if (store.empty()) {
    throw Error(error_number::kGenericFailure,
                fmt::format("The component registry '{}' names no reference ERP store (no {} "
                            "setting for the prefix {})",
                            registry_file.string(), kStoreSetting, job_sheets::kPrefix));
  }
  return store;
}

void WriteReferenceErp(const fs::path& dir, std::string_view dsn,
                       const ReferenceErpContent& content,
                       const std::function<void(std::string_view)>& progress) {
  const fs::path store_file = dir / "erp" / "erp.db";
  const bool new_store = !fs::exists(store_file);
  {
    const std::unique_ptr<Store> store = Store::Create(store_file);
    if (!new_store) {
      progress("Reference ERP store kept: " + store_file.string());
    } else if (content.demo) {
      SeedDemoData(*store);
      progress(fmt::format("Reference ERP store ready with {} demo service orders: {}",
                           store->CountServiceOrders(), store_file.string()));
    } else {
      progress(
          fmt::format("Reference ERP store ready, empty (TQSRemoteAdmin erp import loads "
                      "service orders): {}",
                      store_file.string()));
    }
  }
  if (content.demo) WriteTextFile(dir / "erp" / "demo-orders.xml", DemoOrderDocuments());

  const fs::path registry_file = dir / "bin" / "TQSRemoteComponents.xml";
  if (fs::exists(registry_file)) {
    progress("Kept " + registry_file.string() + " (it names the ERP components' libraries)");
  } else if (fs::exists(dir / "bin" / kReferenceErpLibrary)) {
    WriteReferenceErpRegistry(registry_file, kReferenceErpLibrary, store_file, kDefaultPortionSize);
    progress("Wrote " + registry_file.string() + " (the reference ERP serves the ERP components)");
  } else {
    progress(fmt::format("No {} in {}: the component registry names no ERP", kReferenceErpLibrary,
                         (dir / "bin").string()));
  }
  if (content.demo) progress(AddDemoUsers(dsn));
}

}  // namespace tqs::erp
