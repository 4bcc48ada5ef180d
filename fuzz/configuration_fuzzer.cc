// Fuzzes a configuration file: config::Configuration::LoadConfigFile of the input, merged over a
// valid file, then the look-ups the programs make.
#include <cstdint>
#include <fstream>
#include <string>

#include "common/error.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/xml_check.h"
#include "platform/config/configuration.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static tqs::fuzz::ScratchFolder folder;
  static const std::string base = [] {
    const auto path = folder.path() / "base.config";
    std::ofstream(path) << "<configuration><DEFAULTS><add key=\"WebRelativePath\" "
                           "value=\"..\\web\"/></DEFAULTS></configuration>";
    return path.string();
  }();
  const auto path = folder.path() / "fuzzed.config";
  {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  tqs::config::Configuration configuration;
  try {
    configuration.LoadConfigFile(base);
    configuration.LoadConfigFile(path.string());
  } catch (const tqs::Error&) {
  }
  for (const char* section : {"DEFAULTS", "defaults", "DSN", ""}) {
    for (const char* key : {"WebRelativePath", "DSNString", "LogPath", ""}) {
      try {
        tqs::fuzz::RequireUtf8(configuration.getValue(section, key), "configuration value");
      } catch (const tqs::Error&) {
      }
    }
  }
  return 0;
}
