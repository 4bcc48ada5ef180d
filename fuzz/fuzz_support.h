// Shared pieces of the fuzz targets: a scratch SQLite server database that lives as long as the
// fuzzing process, a component factory whose objects accept every call, and the input as text.
//
// Not thread-safe: libFuzzer runs one input at a time.
#ifndef TQS_FUZZ_FUZZ_SUPPORT_H_
#define TQS_FUZZ_FUZZ_SUPPORT_H_

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "platform/automation/component_registry.h"
#include "platform/db/connection.h"

namespace tqs::fuzz {

// A fresh folder for one fuzzing process, removed when the object goes away: under
// $TQS_FUZZ_TMPDIR when set, else on the memory file system /dev/shm (so that synchronous
// writes cost nothing), else in the temporary directory.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// A server database (schema and default rows) in a scratch folder.
class ScratchServerDatabase {
 public:
  ScratchServerDatabase();
  ScratchServerDatabase(const ScratchServerDatabase&) = delete;
  ScratchServerDatabase& operator=(const ScratchServerDatabase&) = delete;

  const std::string& dsn() const { return dsn_; }
  // Runs a statement on a new connection (setting up rows, clearing what a run stored).
  void Execute(const std::string& sql) const;

 private:
  ScratchFolder folder_;
  std::string dsn_;
};

// A factory of objects that accept every method: a call answers a new such object for the
// methods that hand out objects, and 0 for all others. Registered under a prefix, it stands in
// for an ERP that takes whatever it is given.
std::shared_ptr<automation::ComponentFactory> AcceptingComponents();

// A fuzz input as text.
inline std::string AsText(const std::uint8_t* data, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

}  // namespace tqs::fuzz

#endif  // TQS_FUZZ_FUZZ_SUPPORT_H_
