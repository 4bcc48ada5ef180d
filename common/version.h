// The product's version as the programs report it with --version: the project version that the
// build description declares and the commit the programs were built from. The commit is read
// from git at build time into a small generated source of its own, so a new commit recompiles
// only that source and relinks the programs; a build from a source archive without git history
// says "unknown". A tree with uncommitted changes adds "-dirty" to the commit.
//
// Constant data; thread-safe.
#ifndef TQS_COMMON_VERSION_H_
#define TQS_COMMON_VERSION_H_

#include <string>
#include <string_view>

namespace tqs {

// "0.1.0"
std::string_view ProjectVersion();

// The abbreviated commit id ("c535af6a1b2c", "c535af6a1b2c-dirty"), or "unknown".
std::string_view BuildCommit();

// The line --version prints: "TQSRemoteBroker 0.1.0 (commit c535af6a1b2c)".
std::string VersionText(std::string_view program);

}  // namespace tqs

#endif  // TQS_COMMON_VERSION_H_
