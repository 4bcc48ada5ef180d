#include "masterdata/output_layout.h"

#include <climits>

#include "common/text.h"
#include "common/windows_path.h"
#include "platform/archive/archiver.h"

namespace tqs::masterdata {

namespace {

// The bytes of the control character (C0, DEL or C1 in UTF-8) at `at`; 0 when there is none.
std::size_t ControlCharacterSize(std::string_view text, std::size_t at) {
  const auto byte = static_cast<unsigned char>(text[at]);
  if (byte < 0x20 || byte == 0x7F) return 1;
  if (byte == 0xC2 && at + 1 < text.size()) {
    const auto next = static_cast<unsigned char>(text[at + 1]);
    if (next >= 0x80 && next <= 0x9F) return 2;
  }
  return 0;
}

}  // namespace

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

NameFault CheckOutputName(std::string_view name, NameRole role) {
  name = Trim(name);
  if (name.empty()) return NameFault::kEmpty;
  if (name.find_first_of("/\\") != std::string_view::npos) return NameFault::kPathSeparator;
  if (name.find_first_not_of('.') == std::string_view::npos) return NameFault::kOnlyDots;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (ControlCharacterSize(name, i) > 0) return NameFault::kControlCharacter;
  }
  const std::size_t suffix =
      role == NameRole::kCentre ? archive::kSelfExtractingExtension.size() : 0;
  static_assert(std::string_view(".mdb").size() == archive::kSelfExtractingExtension.size());
  if (name.size() + suffix > NAME_MAX) return NameFault::kTooLong;
  return NameFault::kNone;
}

std::string_view DescribeNameFault(NameFault fault) {
  switch (fault) {
    case NameFault::kNone:
      return "is a valid name";
    case NameFault::kEmpty:
      return "is empty";
    case NameFault::kPathSeparator:
      return "contains a path separator";
    case NameFault::kOnlyDots:
      return "is made of dots only";
    case NameFault::kControlCharacter:
      return "contains a control character";
    case NameFault::kTooLong:
      return "is longer than a file name may be";
  }
  return "cannot name a file";
}

std::string QuotedName(std::string_view name) {
  constexpr char kHex[] = "0123456789ABCDEF";
  std::string quoted = "\"";
  for (std::size_t i = 0; i < name.size();) {
    const std::size_t control = ControlCharacterSize(name, i);
    if (control == 0) {
      quoted += name[i++];
      continue;
    }
    for (const std::size_t end = i + control; i < end; ++i) {
      const auto byte = static_cast<unsigned char>(name[i]);
      quoted += "\\x";
      quoted += kHex[byte >> 4];
      quoted += kHex[byte & 0xF];
    }
  }
  return quoted + "\"";
}

std::filesystem::path OnDisk(std::string_view windows_path) {
  return ResolveWindowsPath(windows_path);
}

bool Exists(std::string_view windows_path) {
  std::error_code ignored;
  return std::filesystem::exists(OnDisk(windows_path), ignored);
}

}  // namespace tqs::masterdata
