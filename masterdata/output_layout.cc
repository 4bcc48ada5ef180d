#include "masterdata/output_layout.h"

#include "common/text.h"
#include "common/windows_path.h"
#include "platform/archive/archiver.h"

namespace tqs::masterdata {

std::string CompanyFolder(std::string_view master_data_folder, std::string_view company) {
  return std::string(Trim(master_data_folder)) + "\\" + std::string(Trim(company));
}

CentreOutput CentreOutputOf(std::string_view master_data_folder, std::string_view company,
                            std::string_view centre) {
  CentreOutput output;
  output.company_folder = CompanyFolder(master_data_folder, company);
  const std::string base = output.company_folder + "\\" + std::string(Trim(centre));
  output.database = base + ".mdb";
  output.archive = base;
  output.archive_file = base + std::string(archive::kSelfExtractingExtension);
  return output;
}

std::filesystem::path OnDisk(std::string_view windows_path) {
  return ResolveWindowsPath(windows_path);
}

bool Exists(std::string_view windows_path) {
  std::error_code ignored;
  return std::filesystem::exists(OnDisk(windows_path), ignored);
}

}  // namespace tqs::masterdata
