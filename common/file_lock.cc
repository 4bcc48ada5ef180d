#include "common/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>

#include "common/error.h"

namespace tqs {

FileLock::FileLock(std::filesystem::path path, int descriptor)
    : path_(std::move(path)), descriptor_(descriptor) {}

FileLock::~FileLock() { ::close(descriptor_); }

std::unique_ptr<FileLock> FileLock::TryAcquire(const std::filesystem::path& file,
                                               std::string_view what) {
  const int descriptor = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (descriptor < 0) {
    throw Error(error_number::kPathNotFound, std::string(what) + " '" + file.string() +
                                                 "' cannot be opened: " + std::strerror(errno));
  }
  if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
    const int cause = errno;
    ::close(descriptor);
    if (cause == EWOULDBLOCK) return nullptr;
    throw Error(error_number::kPathNotFound, std::string(what) + " '" + file.string() +
                                                 "' cannot be locked: " + std::strerror(cause));
  }
  // Who holds it, for an operator or a refused caller; failing to write this changes nothing.
  const std::string holder = std::to_string(::getpid()) + "\n";
  if (::ftruncate(descriptor, 0) == 0) {
    [[maybe_unused]] const ssize_t written = ::pwrite(descriptor, holder.data(), holder.size(), 0);
  }
  return std::unique_ptr<FileLock>(new FileLock(file, descriptor));
}

std::optional<int> FileLock::HolderOf(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string text;
  if (!std::getline(in, text)) return std::nullopt;
  int pid = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), pid);
  if (error != std::errc() || end != text.data() + text.size() || pid <= 0) return std::nullopt;
  return pid;
}

}  // namespace tqs
