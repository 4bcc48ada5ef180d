// A processing pass over a real server database (in a fresh temporary installation) whose
// general hours and service inspection processors create their ERP objects from one recording
// component double; job sheet rows are not handed anywhere. Status texts are short markers
// ("S0", "S8", ...) so the expected status box stays readable.
#ifndef TQS_TESTS_BROKER_DOCUMENT_TEST_BED_H_
#define TQS_TESTS_BROKER_DOCUMENT_TEST_BED_H_

#include <memory>
#include <string>
#include <vector>

#include "broker/broker_window.h"
#include "broker/error_log.h"
#include "broker/general_hours_processor.h"
#include "broker/processing_pass.h"
#include "broker/service_inspection_processor.h"
#include "common/conversions.h"
#include "platform/automation/component_registry.h"
#include "tests/broker/broker_test_installation.h"
#include "tests/support/recording_components.h"

namespace tqs::broker::testing {

inline constexpr const char* kEmployee = "E200";
inline constexpr const char* kBusComponent = "BC200";

class DocumentTestBed {
 public:
  explicit DocumentTestBed(RegionalSettings settings = RegionalSettings::EnglishUS());

  TestInstallation& installation() { return installation_; }
  test_support::RecordingComponents& erp() { return *erp_; }
  frmTQSRemoteBroker& window() { return window_; }

  // Adds a pending row of kEmployee; its document id is "doc-<n>" for the n-th row.
  void AddDocument(int type, const std::string& contents);
  void RunPass();

  // The status box between the pass's opening and closing banners.
  std::string StatusLines() const;
  // The messages of the error-log entries, without their stamps ("Error : ... in X").
  std::vector<std::string> LogMessages() const;

  // The stored state of a row: {status, result, processing time}, "<null>" for null.
  std::vector<std::string> Row(const std::string& document_id) const;

 private:
  class NoJobSheets final : public BusinessDocumentProcessor {
   public:
    void Process() override {}
  };

  TestInstallation installation_;
  FixedClock clock_;
  frmTQSRemoteBroker window_;
  const ErrorLog log_{clock_, RegionalSettings::EnglishUS()};
  const std::shared_ptr<test_support::RecordingComponents> erp_;
  automation::ComponentRegistry registry_;
  NoJobSheets job_sheets_;
  GeneralHoursProcessor general_hours_;
  ServiceInspectionProcessor service_inspections_;
  ProcessingPass pass_;
};

}  // namespace tqs::broker::testing

#endif  // TQS_TESTS_BROKER_DOCUMENT_TEST_BED_H_
