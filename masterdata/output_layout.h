// Where a run writes its output: below the master data folder F, one folder per company C and,
// per service centre W, the client database and its self-extracting archive:
//   company folder   F\C
//   centre database  F\C\W.mdb
//   archive          F\C\W   (the archiver writes F\C\W.exe)
// F, C and W are trimmed. The names are Windows-style texts; OnDisk resolves them.
// C and W come from the template's SERVICECENTERS table, so they are checked before they become
// names on disk (CheckOutputName): a name with a separator or made of dots would lead out of the
// master data folder, and an empty name would write hidden files.
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

// What makes a company or centre name unfit to name a folder or file of the output.
enum class NameFault {
  kNone,
  kEmpty,             // empty after trimming
  kPathSeparator,     // holds "/" or "\"
  kOnlyDots,          // ".", ".." or any other name made of dots only
  kControlCharacter,  // U+0000..U+001F, U+007F or U+0080..U+009F
  kTooLong,           // longer than a file name may be (NAME_MAX bytes with its suffix)
};

enum class NameRole {
  kCompany,  // names the company folder
  kCentre,   // names the files "<centre>.mdb" and "<centre>.exe"
};

// The fault of the trimmed `name` in its role; kNone when it may name its folder or files.
NameFault CheckOutputName(std::string_view name, NameRole role);

// What the fault means, as a phrase for the run log ("contains a path separator").
std::string_view DescribeNameFault(NameFault fault);

// `name` in double quotes for a log line, with control characters shown as \xNN, so that the
// line shows exactly what the table holds.
std::string QuotedName(std::string_view name);

// The path of this file system that a Windows-style name stands for.
std::filesystem::path OnDisk(std::string_view windows_path);

// Whether a file or folder of that name exists (the directory listing of the name finds it).
bool Exists(std::string_view windows_path);

}  // namespace tqs::masterdata

#endif  // TQS_MASTERDATA_OUTPUT_LAYOUT_H_
