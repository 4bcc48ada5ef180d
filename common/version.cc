#include "common/version.h"

namespace tqs {

// Defined in the generated source (common/version_commit.cmake).
extern const char* const kBuildCommit;

std::string_view ProjectVersion() { return TQS_PROJECT_VERSION; }

std::string_view BuildCommit() { return kBuildCommit; }

std::string VersionText(std::string_view program) {
  std::string text(program);
  text += ' ';
  text += ProjectVersion();
  text += " (commit ";
  text += BuildCommit();
  text += ')';
  return text;
}

}  // namespace tqs
