// tqs::config::Configuration is the installation's configuration component: it reads XML
// configuration files and answers values by section and key. A file's root element holds one
// element per section, named as the section, and each section holds the entries
// <add key="KEY" value="VALUE"/>:
//
//   <configuration>
//     <DEFAULTS><add key="WebRelativePath" value="..\web"/></DEFAULTS>
//   </configuration>
//
// Loading a second file merges it over the first: its keys replace the same keys, all other
// keys stay. Section and key names are matched ignoring ASCII case. File paths are Windows
// style (see common/windows_path.h).
//
// Not thread-safe: one thread loads and reads an object (const reads may be shared once
// loading is done).
#ifndef TQS_PLATFORM_CONFIG_CONFIGURATION_H_
#define TQS_PLATFORM_CONFIG_CONFIGURATION_H_

#include <memory>
#include <string>
#include <string_view>

namespace tqs::config {

class Configuration {
 public:
  Configuration();
  ~Configuration();
  Configuration(const Configuration&) = delete;
  Configuration& operator=(const Configuration&) = delete;
  Configuration(Configuration&&) noexcept;
  Configuration& operator=(Configuration&&) noexcept;

  // Loads the file at `path` and merges its entries over those loaded before. Raises
  // tqs::Error 53 naming the path when the file does not exist, and an error naming the file
  // and the parser's message when it is not valid XML or an entry lacks its key. A failed
  // load leaves the values loaded before unchanged.
  void LoadConfigFile(std::string_view path);

  // The value of `key` in `section`. Raises tqs::Error naming the section and the key when
  // either is missing.
  std::string getValue(std::string_view section, std::string_view key) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tqs::config

#endif  // TQS_PLATFORM_CONFIG_CONFIGURATION_H_
