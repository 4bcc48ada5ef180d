// Windows-style paths on this file system. The programs and the configuration files write
// paths the Windows way ("<folder>\..\web\Config\VarnexConfiguration.xml") and the operators'
// installations were laid out on a case-insensitive file system, so two programs may spell
// the same folder differently ("config" and "Config"). ResolveWindowsPath turns such a text
// into a path of this file system.
//
// Thread-safe (reads the file system only).
#ifndef TQS_COMMON_WINDOWS_PATH_H_
#define TQS_COMMON_WINDOWS_PATH_H_

#include <filesystem>
#include <string_view>

namespace tqs {

// Backslashes and slashes both separate components; empty components are dropped. "." and
// ".." are applied lexically to the part resolved so far (as Windows does, without following
// links). Every other component is taken as written when it exists there, else the one entry
// of that folder whose name matches ignoring ASCII case (the first in name order when several
// do); once nothing matches, the rest is kept as written (until ".." leaves the unmatched
// component), so an error can name it. A relative
// text stays relative (to the working directory). Never fails.
std::filesystem::path ResolveWindowsPath(std::string_view text);

}  // namespace tqs

#endif  // TQS_COMMON_WINDOWS_PATH_H_
