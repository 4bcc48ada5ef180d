#include "server/warning_sink.h"

#include <cstdio>
#include <string>

namespace tqs::server {

WarningSink StandardErrorWarnings() {
  return [](std::string_view warning) {
    std::string line = "TQSRemoteServer: warning: ";
    line += warning;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
  };
}

}  // namespace tqs::server
