// TextEditor starts the system's text editor on a file: what the broker's "Open VXR Log"
// button does with the error log. The terminal implementation runs $VISUAL, else $EDITOR,
// else $PAGER, else "less", through /bin/sh with the file as its one argument (so a setting
// such as "code -w" works), and waits for it: an editor or pager on a terminal shares the
// terminal with the broker's console.
//
// Implementations are used from one thread at a time.
#ifndef TQS_BROKER_TEXT_EDITOR_H_
#define TQS_BROKER_TEXT_EDITOR_H_

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tqs::broker {

class TextEditor {
 public:
  virtual ~TextEditor() = default;
  // Raises tqs::Error naming the command when the editor cannot be started.
  virtual void Open(const std::filesystem::path& file) = 0;
};

// Looks up an environment variable: its value, or std::nullopt when unset.
using EnvironmentLookup = std::function<std::optional<std::string>(std::string_view name)>;

// The editor command the terminal editor runs: the first set and non-blank of VISUAL, EDITOR,
// PAGER, else "less".
std::string EditorCommand(const EnvironmentLookup& environment);

// The terminal editor, reading the process environment at each Open.
std::unique_ptr<TextEditor> NewTerminalTextEditor();

}  // namespace tqs::broker

#endif  // TQS_BROKER_TEXT_EDITOR_H_
