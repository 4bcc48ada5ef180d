// A working installation in a fresh temporary folder (laid out by the installer: configuration
// chain, server database with schema and default texts), with helpers to add users and pending
// rows and to read rows and the error log back; and the fixed clock and recording editor the
// broker tests use.
#ifndef TQS_TESTS_BROKER_BROKER_TEST_INSTALLATION_H_
#define TQS_TESTS_BROKER_BROKER_TEST_INSTALLATION_H_

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "broker/broker.h"
#include "broker/text_editor.h"
#include "common/conversions.h"
#include "common/date_time.h"
#include "platform/automation/component_registry.h"
#include "tests/platform/db/test_backends.h"
#include "tests/support/temp_dir.h"

namespace tqs::broker::testing {

// Monday, December 07, 2026 at 12:49:30 PM.
DateTime TestNow();

class FixedClock final : public Clock {
 public:
  DateTime Now() const override { return TestNow(); }
};

class RecordingEditor final : public TextEditor {
 public:
  void Open(const std::filesystem::path& file) override { opened.push_back(file); }
  std::vector<std::filesystem::path> opened;
};

// A Broker working in `working_directory` with a fixed clock, US English settings, an empty
// component registry and a recording editor.
class TestBroker {
 public:
  explicit TestBroker(const std::filesystem::path& working_directory,
                      StartMode start_mode = StartMode::kAsParametersSay)
      : broker_(BrokerEnvironment{working_directory, clock_, RegionalSettings::EnglishUS(),
                                  components_, editor_, start_mode}) {}

  Broker& broker() { return broker_; }
  frmTQSRemoteBroker& window() { return broker_.window(); }
  const RecordingEditor& editor() const { return editor_; }

 private:
  FixedClock clock_;
  automation::ComponentRegistry components_;
  RecordingEditor editor_;
  Broker broker_;
};

// The suites whose tests run on each backend derive from this; a PostgreSQL case skips when no
// test server is given.
class OnEachBackend : public ::testing::TestWithParam<test_support::Backend> {
 protected:
  void SetUp() override { TQS_SKIP_UNLESS_AVAILABLE(GetParam()); }
};

// An installation whose server database is an SQLite file in it (the installer's default), or a
// fresh PostgreSQL database of the test server given to the installer.
class TestInstallation {
 public:
  explicit TestInstallation(test_support::Backend backend = test_support::Backend::kSqlite);

  const std::filesystem::path& root() const { return root_; }
  std::filesystem::path bin() const { return root_ / "bin"; }
  // The SQLite file of the server database (an SQLite installation only).
  std::filesystem::path database_file() const { return root_ / "data" / "server.db"; }
  std::string dsn() const;

  void Execute(const std::string& sql) const;
  // From now on every update of the CLIENTSERVERINTERACTION row of `document_id` is refused by
  // the database with `message` (a trigger; the message must not hold an apostrophe).
  void RefuseUpdatesOf(const std::string& document_id, const std::string& message) const;
  void SetProcessingMode(const std::string& mode) const;  // PARAMETERS ProcessToKorvo
  void AddUser(const std::string& employee, const std::string& bus_component) const;
  // Adds a pending row (status 5).
  void AddPendingRow(const std::string& employee, int type, const std::string& contents) const;
  // INTERACTIONSTATUS of every row in key order, "<null>" for null.
  std::vector<std::string> Statuses() const;
  // The single value of a query as text ("<null>", "<none>").
  std::string Scalar(const std::string& sql) const;

 private:
  test_support::ScopedTempDir temp_;
  std::filesystem::path root_;
  std::unique_ptr<test_support::ScratchDatabase> server_database_;  // PostgreSQL only
};

// The whole content of a file, "<missing>" when it does not exist.
std::string ReadFile(const std::filesystem::path& file);

}  // namespace tqs::broker::testing

#endif  // TQS_TESTS_BROKER_BROKER_TEST_INSTALLATION_H_
