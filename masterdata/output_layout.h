// Where a run writes its output: below the master data folder F, one folder per company C and,
// per service centre W, the client database and its self-extracting archive:
//   company folder   F\C
//   centre database  F\C\W.mdb
//   archive          F\C\W   (the archiver writes F\C\W.exe)
// F, C and W are trimmed. The names are Windows-style texts; OnDisk resolves them.
//
// Value type; thread-safe.
#ifndef TQS_MASTERDATA_OUTPUT_LAYOUT_H_
#define TQS_MASTERDATA_OUTPUT_LAYOUT_H_

#include <filesystem>
#include <string>
#include <string_view>

namespace tqs::masterdata {

struct CentreOutput {
  std::string company_folder;
  std::string database;
  std::string archive;
  std::string archive_file;  // the file the archiver is expected to write: archive & ".exe"
};

std::string CompanyFolder(std::string_view master_data_folder, std::string_view company);

CentreOutput CentreOutputOf(std::string_view master_data_folder, std::string_view company,
                            std::string_view centre);

// The path of this file system that a Windows-style name stands for.
std::filesystem::path OnDisk(std::string_view windows_path);

// Whether a file or folder of that name exists (the directory listing of the name finds it).
bool Exists(std::string_view windows_path);

}  // namespace tqs::masterdata

#endif  // TQS_MASTERDATA_OUTPUT_LAYOUT_H_
