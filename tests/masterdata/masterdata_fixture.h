// A small installation of the master data creator in a temporary folder, laid out as the
// installer lays it out: DIR/Configuration.xml, DIR/web/config/VarnexConfiguration.xml, the
// server database DIR/data/server.db with schema and default texts, the master data folder
// DIR/web/Varnex/EndUser/MasterData, and in DIR/bin a template database and a transfer
// description given by each test. The creator runs with DIR/bin as program and working
// folder, a fixed clock and the built-in archiver.
#ifndef TQS_TESTS_MASTERDATA_MASTERDATA_FIXTURE_H_
#define TQS_TESTS_MASTERDATA_MASTERDATA_FIXTURE_H_

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "common/date_time.h"
#include "masterdata/console_front_end.h"
#include "masterdata/main_window.h"
#include "masterdata/master_data_creator.h"
#include "platform/archive/archiver.h"
#include "tests/support/fixed_clock.h"
#include "tests/support/temp_dir.h"

namespace tqs::masterdata::testing {

using FixedClock = test_support::FixedClock;

// 8 December 2026, 14:05:09.
DateTime TestTime();

// Records the events of a run, and prints the progress of copies as the console does.
class RecordingEvents final : public RunEvents {
 public:
  void DoEvents() override { ++do_events; }
  void CopyProgress(std::string_view centre, std::string_view table, std::int64_t rows,
                    bool complete) override;

  int do_events = 0;
  std::vector<std::string> progress;  // "centre/table:rows" plus " done" when complete
  std::ostringstream console;         // the lines the console front end prints for them

 private:
  ConsoleFrontEnd front_end_{console, console};
};

// The rows of `sql` in the client database at `path`, each as its values joined by "|"
// (null as "<null>").
std::vector<std::string> ClientRows(const std::filesystem::path& path, const std::string& sql);

// Creates a client database at `path` with `script`.
void CreateClientDatabase(const std::filesystem::path& path, std::string_view script);

// The English text of a master data label.
std::string LabelText(std::string_view code);

// A transfer description with one used entry per (type, source, statement).
std::string Description(std::initializer_list<std::array<const char*, 3>> entries);

// The members of a zip (a self-extracting archive) as libarchive reads them from the file.
struct ArchiveMember {
  std::string name;
  std::string content;
  unsigned perm = 0;  // the member's permission bits
};
std::vector<ArchiveMember> ReadWithLibarchive(const std::filesystem::path& path);

// Lines of a file without their line ends (CR LF).
std::vector<std::string> FileLines(const std::filesystem::path& path);

class MasterDataTest : public ::testing::Test {
 protected:
  MasterDataTest();

  // Replaces the template database and the transfer description of DIR/bin.
  void WriteTemplate(std::string_view script);
  void WriteTransferDescription(std::string_view xml);

  // One run of the button, as a front end presses it.
  MasterDataCreator::RunResult Run(bool recreate = false);

  // The output folder of a company and the files of a centre.
  std::filesystem::path CompanyFolder(std::string_view company) const;
  std::filesystem::path CentreDatabase(std::string_view company, std::string_view centre) const;
  std::filesystem::path CentreArchive(std::string_view company, std::string_view centre) const;

  // Every file below the master data folder with its size and content digest, sorted.
  std::vector<std::string> OutputSnapshot() const;

  test_support::ScopedTempDir root_;
  std::filesystem::path bin_;
  std::filesystem::path master_data_;
  std::filesystem::path template_;
  std::string server_dsn_;
  FixedClock clock_{TestTime()};
  RecordingEvents events_;
  MainWindow window_;
  std::unique_ptr<archive::Archiver> archiver_ = archive::NewBuiltInArchiver();
  std::unique_ptr<MasterDataCreator> creator_;
};

}  // namespace tqs::masterdata::testing

#endif  // TQS_TESTS_MASTERDATA_MASTERDATA_FIXTURE_H_
