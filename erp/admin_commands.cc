#include "erp/admin_commands.h"

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "common/error.h"
#include "erp/job_sheet_import.h"
#include "erp/seed.h"
#include "erp/store.h"

namespace tqs::erp {

AdminCommands::AdminCommands(CLI::App& erp, std::filesystem::path default_registry)
    : default_registry_(std::move(default_registry)) {
  import_ = erp.add_subcommand(
      "import", "Load service orders from job sheet documents into the reference ERP's store");
  import_->add_option("files", import_files_, "Files holding jobsheet elements")
      ->required()
      ->check(CLI::ExistingFile);
  import_->add_option("--store", import_store_,
                      "The ERP store file, created when missing (default: the store that "
                      "TQSRemoteComponents.xml beside the program names)");
}

bool AdminCommands::Chosen() const { return import_->parsed(); }

void AdminCommands::Run(std::ostream& out) const {
  const std::unique_ptr<Store> store = import_store_.empty()
                                           ? Store::Open(StoreOfRegistry(default_registry_))
                                           : Store::Create(import_store_);
  for (const std::filesystem::path& file : import_files_) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in) throw Error(error_number::kFileNotFound, "Cannot read " + file.string());
    const ImportReport report = ImportJobSheets(*store, text.str(), file.string());
    out << file.string() << ": " << report.orders.size() << " service orders imported";
    if (!report.cancelled.empty()) out << ", " << report.cancelled.size() << " cancelled";
    for (const std::string& employee : report.employees) {
      out << ", engineer " << employee << " added";
    }
    out << " into " << store->file().string() << "\n";
  }
}

}  // namespace tqs::erp
