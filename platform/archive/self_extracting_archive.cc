// The built-in archiver. Layout of NAME.exe, byte by byte:
//
//   [0, H)        the extraction script (internal/sfx_script.h), padded with line ends so that
//                 the member's packed data starts on a 512-byte boundary
//   [H, end)      a zip archive written by libarchive (one member, deflate), whose central
//                 directory and end record are rewritten with every offset counted from the
//                 start of NAME.exe (internal/zip_layout.h)
//
// The zip is first written beside the target as NAME.exe.zip.part, then NAME.exe.part is
// assembled, synced and renamed to NAME.exe; the staging files are removed on every way out.
//
// Modes: NAME.exe is created runnable as far as the umask allows (0777 reduced by it), so an
// operator's umask decides who may read the packed database; the member's mode in the zip is
// 0600 reduced the same way, for the unzip of a laptop that keeps it.
#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <utility>

#include "common/error.h"
#include "platform/archive/archiver.h"
#include "platform/archive/internal/sfx_script.h"
#include "platform/archive/internal/zip_layout.h"

namespace tqs::archive {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kCopyBufferSize = 1 << 16;

// libarchive's failures become a tqs::Error naming the archive and carrying its message.
Error ArchiveError(::archive* writer, const fs::path& target, const char* step) {
  const char* message = archive_error_string(writer);
  return Error(error_number::kGenericFailure,
               std::string("Cannot ") + step + " the archive '" + target.string() +
                   "': " + (message != nullptr ? message : "unknown libarchive error"));
}

Error FileError(const fs::path& file, const char* step) {
  return Error(error_number::kPathNotFound,
               std::string("Cannot ") + step + " '" + file.string() + "': " + std::strerror(errno));
}

// Removes a staging file when it goes out of scope, unless it was released.
class StagingFile {
 public:
  explicit StagingFile(fs::path path) : path_(std::move(path)) {}
  ~StagingFile() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove(path_, ignored);
  }
  StagingFile(const StagingFile&) = delete;
  StagingFile& operator=(const StagingFile&) = delete;

  const fs::path& path() const { return path_; }
  void Release() { path_.clear(); }

 private:
  fs::path path_;
};

struct WriterDeleter {
  void operator()(::archive* writer) const { archive_write_free(writer); }
};
struct EntryDeleter {
  void operator()(::archive_entry* entry) const { archive_entry_free(entry); }
};

// Writes `file` as the one member of the zip archive `zip`, with the permissions `perm`.
void WriteZip(const fs::path& file, const fs::path& zip, mode_t perm) {
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    throw FileError(file, "pack the file");
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) throw FileError(file, "read the file");

  std::unique_ptr<::archive, WriterDeleter> writer(archive_write_new());
  if (archive_write_set_format_zip(writer.get()) != ARCHIVE_OK ||
      archive_write_zip_set_compression_deflate(writer.get()) != ARCHIVE_OK ||
      archive_write_open_filename(writer.get(), zip.c_str()) != ARCHIVE_OK) {
    throw ArchiveError(writer.get(), zip, "create");
  }
  std::unique_ptr<::archive_entry, EntryDeleter> entry(archive_entry_new());
  archive_entry_set_pathname(entry.get(), file.filename().c_str());
  archive_entry_set_filetype(entry.get(), AE_IFREG);
  archive_entry_set_perm(entry.get(), perm);
  archive_entry_set_size(entry.get(), info.st_size);
  archive_entry_set_mtime(entry.get(), info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
  if (archive_write_header(writer.get(), entry.get()) != ARCHIVE_OK) {
    throw ArchiveError(writer.get(), zip, "write the header of");
  }
  std::array<char, kCopyBufferSize> buffer;
  while (in.read(buffer.data(), buffer.size()) || in.gcount() > 0) {
    const auto size = static_cast<std::size_t>(in.gcount());
    if (archive_write_data(writer.get(), buffer.data(), size) != static_cast<la_ssize_t>(size)) {
      throw ArchiveError(writer.get(), zip, "write the data of");
    }
  }
  if (in.bad()) throw FileError(file, "read the file");
  if (archive_write_close(writer.get()) != ARCHIVE_OK) {
    throw ArchiveError(writer.get(), zip, "finish");
  }
}

// Appends bytes [0, size) of `from` to the open descriptor `out`.
void CopyPrefix(const fs::path& from, std::uint64_t size, int out, const fs::path& target) {
  std::ifstream in(from, std::ios::binary);
  std::array<char, kCopyBufferSize> buffer;
  while (size > 0) {
    const std::size_t chunk =
        static_cast<std::size_t>(std::min<std::uint64_t>(size, buffer.size()));
    if (!in.read(buffer.data(), static_cast<std::streamsize>(chunk))) {
      throw FileError(from, "read the staged archive");
    }
    std::size_t written = 0;
    while (written < chunk) {
      const ssize_t n = ::write(out, buffer.data() + written, chunk - written);
      if (n < 0) {
        if (errno == EINTR) continue;
        throw FileError(target, "write");
      }
      written += static_cast<std::size_t>(n);
    }
    size -= chunk;
  }
}

void WriteAll(int out, const std::string& bytes, const fs::path& target) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(out, bytes.data() + written, bytes.size() - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw FileError(target, "write");
    }
    written += static_cast<std::size_t>(n);
  }
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

class BuiltInArchiver final : public Archiver {
 public:
  bool IsAvailable() const override { return true; }

  fs::path CreateSelfExtracting(const fs::path& archive_base, const fs::path& file) override {
    fs::path target = archive_base;
    target += kSelfExtractingExtension;
    // Created first, anew, so that its mode tells what the umask leaves of 0777.
    StagingFile assembled(fs::path(target) += ".part");
    if (::unlink(assembled.path().c_str()) != 0 && errno != ENOENT) {
      throw FileError(assembled.path(), "replace");
    }
    Descriptor out(
        ::open(assembled.path().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0777));
    if (out.get() < 0) throw FileError(assembled.path(), "create");
    struct stat created {};
    if (::fstat(out.get(), &created) != 0) throw FileError(assembled.path(), "create");

    StagingFile zip(fs::path(target) += ".zip.part");
    WriteZip(file, zip.path(), created.st_mode & 0600);

    const internal::ZipLayout layout = internal::ReadZipLayout(zip.path());
    if (layout.members.size() != 1) {
      throw Error(error_number::kGenericFailure,
                  "The staged archive '" + zip.path().string() + "' holds " +
                      std::to_string(layout.members.size()) + " members instead of one");
    }
    const std::string script = internal::BuildExtractionScript(layout.members.front());
    const std::string directory =
        internal::RelocatedDirectory(layout, static_cast<std::uint32_t>(script.size()));

    WriteAll(out.get(), script, assembled.path());
    CopyPrefix(zip.path(), layout.central_directory_offset, out.get(), assembled.path());
    WriteAll(out.get(), directory, assembled.path());
    if (::fsync(out.get()) != 0 || ::close(out.Release()) != 0) {
      throw FileError(assembled.path(), "finish");
    }
    if (::rename(assembled.path().c_str(), target.c_str()) != 0) {
      throw FileError(target, "put in place");
    }
    assembled.Release();
    return target;
  }
};

}  // namespace

std::unique_ptr<Archiver> NewBuiltInArchiver() { return std::make_unique<BuiltInArchiver>(); }

}  // namespace tqs::archive
