// Reading and relocating the directory of a zip archive written by the archiver: where each
// member's data lies and how it is packed, and the zip's central directory rewritten with every
// offset moved by the length of a header placed in front of the archive (what "zip -A" does for
// self-extracting archives), so zip readers find the members without guessing.
//
// Only single-volume archives without Zip64 records are handled (members and archives below
// 4 GB); anything else raises tqs::Error naming the archive.
//
// Stateless functions; thread-safe.
#ifndef TQS_PLATFORM_ARCHIVE_INTERNAL_ZIP_LAYOUT_H_
#define TQS_PLATFORM_ARCHIVE_INTERNAL_ZIP_LAYOUT_H_

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tqs::archive::internal {

inline constexpr std::uint16_t kMethodStored = 0;
inline constexpr std::uint16_t kMethodDeflate = 8;

struct ZipMember {
  std::string name;
  std::uint16_t method = kMethodStored;
  std::uint32_t crc32 = 0;
  std::uint32_t compressed_size = 0;
  std::uint32_t uncompressed_size = 0;
  std::uint32_t data_offset = 0;  // first byte of the packed data, from the start of the zip
};

struct ZipLayout {
  std::vector<ZipMember> members;
  std::uint32_t central_directory_offset = 0;
  // The central directory and the end record: everything from central_directory_offset on.
  std::string directory;
};

// Reads the layout of the zip archive in `zip`.
ZipLayout ReadZipLayout(const std::filesystem::path& zip);

// layout.directory with every local-header offset and the directory's own offset moved by
// `shift` bytes. Raises tqs::Error when an offset would pass 4 GB.
std::string RelocatedDirectory(const ZipLayout& layout, std::uint32_t shift);

}  // namespace tqs::archive::internal

#endif  // TQS_PLATFORM_ARCHIVE_INTERNAL_ZIP_LAYOUT_H_
