// A PythonAdapter runs the example adapter of examples/python_erp_adapter as integrators run it:
// its own process on a free loopback port, with the arguments given, until the object goes.
// HavePython says whether python3 with sqlite3 is on the machine (tests skip without it).
//
// Not thread-safe.
#ifndef TQS_TESTS_ERP_BRIDGE_PYTHON_ADAPTER_H_
#define TQS_TESTS_ERP_BRIDGE_PYTHON_ADAPTER_H_

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tqs::erp_bridge::testing {

bool HavePython();

class PythonAdapter {
 public:
  // Starts the adapter on `database` with `arguments` after --database and --port; port() is
  // 0 when it did not start.
  PythonAdapter(const std::filesystem::path& database, const std::vector<std::string>& arguments);
  ~PythonAdapter();
  PythonAdapter(const PythonAdapter&) = delete;
  PythonAdapter& operator=(const PythonAdapter&) = delete;

  int port() const { return port_; }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace tqs::erp_bridge::testing

#endif  // TQS_TESTS_ERP_BRIDGE_PYTHON_ADAPTER_H_
