// Test beds of the broker's document procedures.
//
// DocumentTestBed runs processing passes over a real server database (in a fresh temporary
// installation) whose rows go to the real job sheet, general hours and service inspection
// processors, which create their ERP objects from one recording component double. Status texts
// are short markers ("S0", "S7", ...) so the expected status box stays readable.
//
// JobSheetMappingBed holds a window, an error log in a fresh temporary folder and a registry
// whose job sheet components are one recording double, for the mappers and the result document.
//
// Not thread-safe.
#ifndef TQS_TESTS_BROKER_DOCUMENT_TEST_BED_H_
#define TQS_TESTS_BROKER_DOCUMENT_TEST_BED_H_

#include <cstdint>
#include <filesystem>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "broker/broker_window.h"
#include "broker/error_log.h"
#include "broker/general_hours_processor.h"
#include "broker/job_sheet_processor.h"
#include "broker/processing_pass.h"
#include "broker/service_inspection_processor.h"
#include "common/conversions.h"
#include "platform/automation/component_registry.h"
#include "platform/automation/variant.h"
#include "tests/broker/broker_test_installation.h"
#include "tests/support/recording_components.h"
#include "tests/support/temp_dir.h"

namespace tqs::broker::testing {

inline constexpr const char* kEmployee = "E200";
inline constexpr const char* kBusComponent = "BC200";

// The business document types of the pending rows.
inline constexpr int kJobSheetType = 5;
inline constexpr int kGeneralHoursType = 10;
inline constexpr int kServiceInspectionType = 15;

// Three tries to store a row after the ERP answered, without waiting in between.
SaveRetry ImpatientRetry();

// The messages of the entries of an error log, without their stamps ("Error : ... in X"); none
// when the log does not exist.
std::vector<std::string> ErrorLogMessages(const std::filesystem::path& file);

// Scripts the hours accounting manager's Create on `erp`: it answers an outcome whose error
// document reports `errors` (their descriptions) and whose record set holds the stored line
// with `line_number`.
void AnswerHoursAccounting(test_support::RecordingComponents& erp, std::vector<std::string> errors,
                           automation::Variant line_number = automation::Variant(std::int32_t{42}));

// What the service inspection component's outcome reports.
struct InspectionAnswer {
  automation::Variant id = automation::Variant("SI-1");
  automation::Variant result = automation::Variant("0");
  automation::Variant error = automation::Variant("");
  automation::Variant return_value = automation::Variant(std::int32_t{0});
};

// Scripts ProcessServiceInspection on `erp`: it answers an outcome reporting `answer`; every
// getSI hands out a new result object, so the journal shows which value was read through which.
void AnswerServiceInspection(test_support::RecordingComponents& erp,
                             const InspectionAnswer& answer);

class DocumentTestBed {
 public:
  // `settings` are the processors' regional settings; the pass and the log use US English. The
  // server database is on `backend`. `erp_options` say whether the recording ERP is registered
  // as accepting idempotency keys. A row that cannot be stored after the ERP answered is tried
  // as `retry` says: by default three times, without waiting.
  explicit DocumentTestBed(test_support::Backend backend = test_support::Backend::kSqlite,
                           RegionalSettings settings = RegionalSettings::EnglishUS(),
                           automation::ComponentOptions erp_options = {},
                           SaveRetry retry = ImpatientRetry());

  TestInstallation& installation() { return installation_; }
  test_support::RecordingComponents& erp() { return *erp_; }
  frmTQSRemoteBroker& window() { return window_; }

  // Adds a pending row of kEmployee; its document id is "doc-<n>" for the n-th row.
  void AddDocument(int type, const std::string& contents);
  // Adds a pending job sheet row of kEmployee under `document_id`.
  void AddJobSheet(const std::string& document_id, const std::string& contents);

  // ProcessJobSheet answers an output object ("ProcessOutput#n") that hands back the error
  // structure it was given and, as its return value, the next of `return_values` (the last one
  // repeats). The error structure answers sizeOrderError with 0 unless scripted otherwise.
  void AnswerProcessJobSheet(std::vector<automation::Variant> return_values);

  void RunPass();

  // The status box between the pass's opening and closing banners.
  std::string StatusLines() const;
  // The messages of the error-log entries, without their stamps ("Error : ... in X").
  std::vector<std::string> LogMessages() const;
  // The stored state of a row: {status, result, processing time}, "<null>" for null.
  std::vector<std::string> Row(const std::string& document_id) const;

 private:
  TestInstallation installation_;
  FixedClock clock_;
  frmTQSRemoteBroker window_;
  const ErrorLog log_{clock_, RegionalSettings::EnglishUS()};
  const std::shared_ptr<test_support::RecordingComponents> erp_;
  automation::ComponentRegistry registry_;
  JobSheetProcessor job_sheets_;
  GeneralHoursProcessor general_hours_;
  ServiceInspectionProcessor service_inspections_;
  ProcessingPass pass_;
};

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

}  // namespace tqs::broker::testing

#endif  // TQS_TESTS_BROKER_DOCUMENT_TEST_BED_H_
