// An Archiver packs a client database into a self-extracting archive that a laptop downloads
// and runs. The built-in archiver (NewBuiltInArchiver) is part of the program, so it is always
// available; the interface keeps the availability question because an archiver that is an
// outside program may be missing.
//
// The built-in archive NAME.exe is a /bin/sh script followed by a zip archive:
//   - running it ("sh NAME.exe" or "./NAME.exe") writes the packed file into the current
//     folder; it needs only sh, dd, printf and gzip, which every Debian system has, and checks
//     the file's CRC-32 and length while unpacking (through gzip);
//   - the zip part (deflate, or stored when deflate does not pay) starts after the script, with
//     all offsets counted from the start of the file, so unzip, bsdtar and other zip readers
//     open NAME.exe as it is.
// See self_extracting_archive.cc for the byte layout.
//
// An Archiver is used by one thread at a time.
#ifndef TQS_PLATFORM_ARCHIVE_ARCHIVER_H_
#define TQS_PLATFORM_ARCHIVE_ARCHIVER_H_

#include <filesystem>
#include <memory>
#include <string_view>

namespace tqs::archive {

// The extension that a self-extracting archive takes after its base name.
inline constexpr std::string_view kSelfExtractingExtension = ".exe";

class Archiver {
 public:
  virtual ~Archiver() = default;
  Archiver(const Archiver&) = delete;
  Archiver& operator=(const Archiver&) = delete;

  // Whether the archiver can pack at all.
  virtual bool IsAvailable() const = 0;

  // Packs `file` (stored under its file name) into the self-extracting archive
  // `archive_base` + ".exe", replacing an earlier one; returns the path written. The archive
  // appears under its name only when it is complete. Raises tqs::Error naming the file or the
  // archive when reading or writing fails.
  virtual std::filesystem::path CreateSelfExtracting(const std::filesystem::path& archive_base,
                                                     const std::filesystem::path& file) = 0;

 protected:
  Archiver() = default;
};

// The archiver built into the program (libarchive writes the zip part).
std::unique_ptr<Archiver> NewBuiltInArchiver();

}  // namespace tqs::archive

#endif  // TQS_PLATFORM_ARCHIVE_ARCHIVER_H_
