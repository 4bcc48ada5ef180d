// Brokers working on a server database of each backend: a fresh database (ServerDatabaseTest:
// SQLite, and PostgreSQL when a test server is given) inside an installation whose
// configuration chain names it, an employee with a business component, pending hour lines
// added straight into the upload table, and an ERP double that accepts every hour line and
// journals the task of each line it was handed, so a test can count how often each document
// reached the ERP.
#ifndef TQS_TESTS_BROKER_BROKER_ON_BACKENDS_H_
#define TQS_TESTS_BROKER_BROKER_ON_BACKENDS_H_

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/automation/component_registry.h"
#include "tests/server/server_database_fixture.h"
#include "tests/support/recording_components.h"

namespace tqs::broker::testing {

inline constexpr const char* kHoursEmployee = "E300";

// An hour line document of `task` as the laptops send it.
std::string HourLine(const std::string& task);

class BrokerOnBackendsTest : public tqs::testing::ServerDatabaseTest {
 protected:
  void SetUp() override;

  // The installation's bin folder: the brokers' working folder, where the error log is.
  std::filesystem::path bin() const { return folder_ / "install" / "bin"; }
  std::string ErrorLogText() const;

  // One unattended broker run (the program started once): a new broker whose ERP components
  // come from `components`. Returns the status box.
  std::string RunBroker(const automation::ComponentRegistry& components) const;

  // Starts the installed broker program (programs_folder_ must be set) in the installation's
  // bin folder, as a scheduler does, with `arguments`; its standard output and error are
  // appended to `output`. Returns the process id.
  pid_t StartBrokerProgram(const std::filesystem::path& output,
                           const std::vector<std::string>& arguments = {}) const;

  // Whether the pass lock can be taken (exclusively) within `time`: a killed broker's lock goes
  // with its process, on PostgreSQL once the server has noticed that its session ended. The
  // lock is given back at once.
  bool PassLockFreeWithin(std::chrono::seconds time) const;

  // Sets BROKER/Workers in the installation's product configuration to `value`.
  void SetWorkers(const std::string& value) const;

  // Pending hour lines of kHoursEmployee, one per task, added in one transaction; the document
  // id of each is its task.
  void AddPendingHours(const std::vector<std::string>& tasks) const;
  // Pending rows of `employee`, of document type 10: {document id, contents} each.
  void AddPendingRows(const std::string& employee,
                      const std::vector<std::pair<std::string, std::string>>& documents) const;

  // Per document id: {status, whether the result is set, whether the processing time is set},
  // "<null>" for a null status.
  struct StoredRow {
    std::string status;
    bool has_result = false;
    bool has_processed_on = false;
  };
  std::map<std::string, StoredRow> StoredRows() const;

  // How often the ERP was handed each task so far.
  std::map<std::string, int> TasksBooked() const;

  // The ERP double (registered for the hours components in `erp_components_`).
  const std::shared_ptr<test_support::RecordingComponents> erp_ =
      std::make_shared<test_support::RecordingComponents>();
  automation::ComponentRegistry erp_components_;
  // Where the installation's programs are copied from; none by default.
  std::filesystem::path programs_folder_;
};

}  // namespace tqs::broker::testing

#endif  // TQS_TESTS_BROKER_BROKER_ON_BACKENDS_H_
