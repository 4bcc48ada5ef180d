#include "broker/text_editor.h"

#include <spawn.h>
#include <sys/wait.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "common/error.h"
#include "common/text.h"

extern char** environ;

namespace tqs::broker {

namespace {

class TerminalTextEditor final : public TextEditor {
 public:
  void Open(const std::filesystem::path& file) override {
    const std::string command = EditorCommand([](std::string_view name) {
      const char* value = std::getenv(std::string(name).c_str());
      return value ? std::optional<std::string>(value) : std::nullopt;
    });
    // "$1" keeps a file name with blanks or quotes one argument.
    const std::string script = command + " \"$1\"";
    const std::string file_name = file.string();
    const std::array<const char*, 6> argv = {"sh",   "-c", script.c_str(), "sh", file_name.c_str(),
                                             nullptr};
    pid_t child = 0;
    const int spawn_error = ::posix_spawn(&child, "/bin/sh", nullptr, nullptr,
                                          const_cast<char* const*>(argv.data()), environ);
    if (spawn_error != 0) {
      throw Error(error_number::kFileNotFound,
                  "Cannot start the text editor '" + command + "': " + std::strerror(spawn_error));
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127) {
      throw Error(error_number::kFileNotFound, "Cannot start the text editor '" + command +
                                                   "': command not found (set VISUAL or EDITOR)");
    }
  }
};

}  // namespace

std::string EditorCommand(const EnvironmentLookup& environment) {
  for (const std::string_view name : {"VISUAL", "EDITOR", "PAGER"}) {
    const std::optional<std::string> value = environment(name);
    if (value && !Trim(*value).empty()) return *value;
  }
  return "less";
}

std::unique_ptr<TextEditor> NewTerminalTextEditor() {
  return std::make_unique<TerminalTextEditor>();
}

}  // namespace tqs::broker
