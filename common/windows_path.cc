#include "common/windows_path.h"

#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace tqs {
namespace {

namespace fs = std::filesystem;

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

std::vector<std::string> SplitComponents(std::string_view text) {
  std::vector<std::string> components;
  std::string current;
  for (char c : text) {
    if (c == '\\' || c == '/') {
      if (!current.empty()) components.push_back(std::move(current));
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) components.push_back(std::move(current));
  return components;
}

// The entry of `folder` named `name` ignoring case; empty when there is none.
std::string FindIgnoringCase(const fs::path& folder, const std::string& name) {
  std::error_code error;
  fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, error);
  std::string best;
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    const std::string entry = it->path().filename().string();
    if (EqualsIgnoreCase(entry, name) && (best.empty() || entry < best)) best = entry;
  }
  return best;
}

}  // namespace

fs::path ResolveWindowsPath(std::string_view text) {
  const bool absolute = !text.empty() && (text.front() == '\\' || text.front() == '/');
  fs::path result = absolute ? fs::path("/") : fs::path();
  std::size_t resolved_depth = 0;  // components below the root or the working directory
  // Depth at which a component matched nothing; below it components are kept as written
  // until ".." climbs back above it.
  std::optional<std::size_t> unmatched_depth;
  for (const std::string& component : SplitComponents(text)) {
    if (component == ".") continue;
    if (component == "..") {
      if (resolved_depth > 0) {
        result = result.parent_path();
        --resolved_depth;
        if (unmatched_depth && resolved_depth <= *unmatched_depth) unmatched_depth.reset();
      } else if (!absolute) {
        result /= "..";  // above the working directory: kept
      }
      continue;
    }
    std::string name = component;
    if (!unmatched_depth) {
      std::error_code error;
      const fs::path as_written = result.empty() ? fs::path(component) : result / component;
      if (!fs::exists(as_written, error)) {
        const std::string found = FindIgnoringCase(result, component);
        if (found.empty()) {
          unmatched_depth = resolved_depth;
        } else {
          name = found;
        }
      }
    }
    result /= name;
    ++resolved_depth;
  }
  return result;
}

}  // namespace tqs
