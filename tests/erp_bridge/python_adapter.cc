#include "tests/erp_bridge/python_adapter.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace tqs::erp_bridge::testing {

bool HavePython() { return std::system("python3 -c 'import sqlite3' >/dev/null 2>&1") == 0; }

PythonAdapter::PythonAdapter(const std::filesystem::path& database,
                             const std::vector<std::string>& arguments) {
  const std::string script =
      std::string(TQS_SOURCE_DIR) + "/examples/python_erp_adapter/erp_adapter.py";
  std::vector<std::string> command = {"python3",         script,   "--database",
                                      database.string(), "--port", "0"};
  command.insert(command.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : command) argv.push_back(word.data());
  argv.push_back(nullptr);

  int output[2];
  if (::pipe(output) != 0) return;
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(output[1], STDOUT_FILENO);
    ::close(output[0]);
    ::close(output[1]);
    ::execvp("python3", argv.data());
    ::_exit(127);
  }
  ::close(output[1]);
  FILE* out = ::fdopen(output[0], "r");
  char line[128] = {};
  if (out != nullptr && std::fgets(line, sizeof line, out) != nullptr) {
    std::sscanf(line, "listening on %d", &port_);
  }
  if (out != nullptr) std::fclose(out);
}

PythonAdapter::~PythonAdapter() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
}

}  // namespace tqs::erp_bridge::testing
