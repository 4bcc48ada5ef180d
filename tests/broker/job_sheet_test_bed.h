// Test beds of the job sheet procedures. JobSheetMappingBed holds a window, an error log in a
// fresh temporary folder and a registry whose job sheet components are one recording double,
// for the mappers and the result document. JobSheetTestBed runs processing passes over a real
// server database (in a fresh temporary installation) whose job sheet rows go to the real
// JobSheetProcessor (the other document types go nowhere), with a scripted ProcessJobSheet.
// Status texts are short markers ("S0", "S7", ...) so the expected status box stays readable.
#ifndef TQS_TESTS_BROKER_JOB_SHEET_TEST_BED_H_
#define TQS_TESTS_BROKER_JOB_SHEET_TEST_BED_H_

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "broker/broker_window.h"
#include "broker/error_log.h"
#include "broker/job_sheet_processor.h"
#include "broker/processing_pass.h"
#include "common/conversions.h"
#include "platform/automation/component_registry.h"
#include "tests/broker/broker_test_installation.h"
#include "tests/support/recording_components.h"
#include "tests/support/temp_dir.h"

namespace tqs::broker::testing {

// The messages of the entries of an error log, without their stamps ("Error : ... in X"); none
// when the log does not exist.
std::vector<std::string> ErrorLogMessages(const std::filesystem::path& file);

// Window, error log and recording job sheet components for the mappers and result builder.
class JobSheetMappingBed {
 public:
  explicit JobSheetMappingBed(RegionalSettings settings = RegionalSettings::EnglishUS());

  frmTQSRemoteBroker& window() { return window_; }
  const ErrorLog& log() const { return log_; }
  const automation::ComponentRegistry& registry() const { return registry_; }
  test_support::RecordingComponents& erp() { return *erp_; }
  const RegionalSettings& settings() const { return settings_; }

  // Parses `xml` into the bed's document and returns its root element.
  pugi::xml_node Load(const std::string& xml);
  pugi::xml_document& document() { return document_; }

  std::string Status() const { return window_.txtProcessStatus.text(); }
  std::vector<std::string> LogMessages() const;

 private:
  test_support::ScopedTempDir temp_;
  FixedClock clock_;
  const RegionalSettings settings_;
  frmTQSRemoteBroker window_;
  const ErrorLog log_{clock_, RegionalSettings::EnglishUS()};
  const std::shared_ptr<test_support::RecordingComponents> erp_;
  automation::ComponentRegistry registry_;
  pugi::xml_document document_;
};

class JobSheetTestBed {
 public:
  static constexpr const char* kEmployee = "E200";
  static constexpr const char* kBusComponent = "BC200";

  JobSheetTestBed();

  TestInstallation& installation() { return installation_; }
  test_support::RecordingComponents& erp() { return *erp_; }
  frmTQSRemoteBroker& window() { return window_; }

  // Adds a pending job sheet row of kEmployee under `document_id`.
  void AddJobSheet(const std::string& document_id, const std::string& contents);

  // ProcessJobSheet answers an output object ("ProcessOutput#n") that hands back the error
  // structure it was given and, as its return value, the next of `return_values` (the last one
  // repeats). The error structure answers sizeOrderError with 0 unless scripted otherwise.
  void AnswerProcessJobSheet(std::vector<automation::Variant> return_values);

  void RunPass();

  // The status box between the pass's opening and closing banners.
  std::string StatusLines() const;
  std::vector<std::string> LogMessages() const;
  // The stored state of a row: {status, result, processing time}, "<null>" for null.
  std::vector<std::string> Row(const std::string& document_id) const;

 private:
  class NoProcessing final : public BusinessDocumentProcessor {
   public:
    void Process() override {}
  };

  TestInstallation installation_;
  FixedClock clock_;
  frmTQSRemoteBroker window_;
  const ErrorLog log_{clock_, RegionalSettings::EnglishUS()};
  const std::shared_ptr<test_support::RecordingComponents> erp_;
  automation::ComponentRegistry registry_;
  JobSheetProcessor job_sheets_;
  NoProcessing others_;
  ProcessingPass pass_;
};

}  // namespace tqs::broker::testing

#endif  // TQS_TESTS_BROKER_JOB_SHEET_TEST_BED_H_
