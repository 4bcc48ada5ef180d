// Fuzzes the broker's whole path for a stored document: the input is stored three times as a
// pending row of a scratch server database (as a job sheet, a general hours line and a service
// inspection of an employee with a business component), and one processing pass hands each row
// to its real processor, with an ERP that accepts every call, and writes the outcome back.
// After the pass every row is either still pending with nothing of an outcome written, or
// finished with a result that the laptop can read (well-formed XML). The target changes no
// working directory; the error log goes to the scratch folder and is emptied after each input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "broker/broker_window.h"
#include "broker/error_log.h"
#include "broker/general_hours_processor.h"
#include "broker/job_sheet_processor.h"
#include "broker/processing_pass.h"
#include "broker/service_inspection_processor.h"
#include "common/conversions.h"
#include "common/erp/hours_accounting.h"
#include "common/erp/job_sheets.h"
#include "common/erp/service_inspections.h"
#include "common/error.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/xml_check.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"

namespace {

using namespace tqs;          // NOLINT: a fuzz target's only function
using namespace tqs::broker;  // NOLINT

constexpr const char* kEmployee = "E200";

class FixedClock final : public Clock {
 public:
  DateTime Now() const override { return DateTime{}; }
};

struct Broker {
  Broker() {
    database.Execute("INSERT INTO USERDEFAULTS (LOGN, EMNO, BUSCOMPONENT) VALUES ('login', '" +
                     std::string(kEmployee) + "', 'BC200')");
    for (std::string_view prefix : {erp::job_sheets::kPrefix, erp::hours_accounting::kPrefix,
                                    erp::service_inspections::kPrefix}) {
      components.Register(std::string(prefix), fuzz::AcceptingComponents());
    }
    window.m_sConnectionString = database.dsn();
    window.m_sErrorLogFile = (log_folder.path() / "CriticalErrorlog.txt").string();
  }

  // Stores `contents` as a pending row of each document type.
  void AddRows(const std::string& contents) const {
    auto connection = db::Connection::Open(database.dsn());
    auto rs = db::Recordset::Open("CLIENTSERVERINTERACTION", *connection, db::CursorType::kKeyset,
                                  db::LockType::kOptimistic, db::CommandType::kTable);
    std::int32_t number = 0;
    for (int type : {5, 10, 15}) {
      rs->AddNew();
      rs->SetField("EMPLOYEEID", kEmployee);
      rs->SetField("BUSINESSDOCUMENTTYPE", std::int32_t{type});
      rs->SetField("INTERACTIONNAME", std::int32_t{0});
      rs->SetField("INTERACTIONON", "upload-1");
      rs->SetField("INTERACTIONID", ++number);
      rs->SetField("BUSINESSDOCUMENTID", "4711_" + std::to_string(number));
      rs->SetField("BUSINESSDOCUMENTCONTENTS", contents);
      rs->SetField("INTERACTIONSTATUS", std::int16_t{5});
      rs->Update();
    }
    rs->Close();
  }

  // Checks the rows the pass left and removes them.
  void CheckAndClearRows() const {
    {
      auto connection = db::Connection::Open(database.dsn());
      auto rs = db::Recordset::Open(
          "SELECT BUSINESSDOCUMENTTYPE, INTERACTIONSTATUS, INTERACTIONRESULT, PROCESSEDON "
          "FROM CLIENTSERVERINTERACTION",
          *connection, db::CursorType::kForwardOnly, db::LockType::kReadOnly);
      for (; !rs->IsEOF(); rs->MoveNext()) {
        const std::string type = rs->Field(0).AsText();
        const automation::Variant status = rs->Field(1);
        const automation::Variant result = rs->Field(2);
        const bool pending = !status.IsNull() && status.AsText() == "5";
        if (pending && (!result.IsNull() || !rs->Field(3).IsNull())) {
          std::fprintf(stderr, "pending row of type %s has part of an outcome: %s\n",
                       type.c_str(), result.DebugString().c_str());
          std::abort();
        }
        if (!pending && !result.IsNull() && !result.AsText().empty()) {
          fuzz::RequireWellFormed(result.AsText());
        }
      }
    }
    database.Execute("DELETE FROM CLIENTSERVERINTERACTION");
  }

  fuzz::ScratchServerDatabase database;
  fuzz::ScratchFolder log_folder;
  FixedClock clock;
  frmTQSRemoteBroker window;
  const ErrorLog log{clock, RegionalSettings::EnglishUS()};
  automation::ComponentRegistry components;
  JobSheetProcessor job_sheets{window, log, components, clock, RegionalSettings::EnglishUS()};
  GeneralHoursProcessor general_hours{window, log, components, clock,
                                      RegionalSettings::EnglishUS()};
  ServiceInspectionProcessor service_inspections{window, log, components, clock,
                                                 RegionalSettings::EnglishUS()};
  ProcessingPass pass{window, log, {job_sheets, general_hours, service_inspections}, clock,
                      RegionalSettings::EnglishUS()};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Destroyed at exit, which removes its scratch folders.
  static const auto broker = std::make_unique<Broker>();
  broker->AddRows(fuzz::AsText(data, size));
  broker->pass.processBusinessdocuments();
  broker->CheckAndClearRows();
  // The status box and the error log would otherwise grow with every input.
  broker->window.txtProcessStatus.SetText("");
  std::error_code ignored;
  std::filesystem::remove(broker->window.m_sErrorLogFile, ignored);
  return 0;
}
