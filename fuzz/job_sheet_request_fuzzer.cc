// Fuzzes the job sheet request of a laptop's download: JobSheet::getJobSheets with the input as
// the request, for a login of a scratch server database, against job sheet components that accept
// every call. The request becomes the ERP's input objects; an answer is either a well-formed
// job sheets document or false with an error text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "common/erp/job_sheets.h"
#include "common/error.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/xml_check.h"
#include "server/jobsheet.h"

namespace {

using tqs::automation::Variant;

struct Download {
  Download() {
    database.Execute(
        "INSERT INTO USERDEFAULTS (LOGN, EMNO, BUSCOMPONENT) VALUES ('jdoe', '1001', 'BC01')");
    components.Register(std::string(tqs::erp::job_sheets::kPrefix), tqs::fuzz::AcceptingComponents());
  }

  tqs::fuzz::ScratchServerDatabase database;
  tqs::automation::ComponentRegistry components;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Destroyed at exit, which removes its folder.
  static const auto download = std::make_unique<Download>();
  tqs::server::JobSheet job_sheet(download->components);
  Variant job_sheets = "unchanged";
  Variant error_details = "unchanged";
  const bool sent = job_sheet.getJobSheets("jdoe", tqs::fuzz::AsText(data, size),
                                           download->database.dsn(), job_sheets, error_details);
  if (sent) {
    // An ERP that sends nothing answers the empty document, whatever the laptop holds.
    tqs::fuzz::RequireWellFormed(job_sheets.AsText());
    if (error_details.AsText() != "") std::abort();
  } else if (error_details.AsText().empty() || error_details.AsText() == "unchanged") {
    std::fprintf(stderr, "download failed without an error text\n");
    std::abort();
  } else {
    tqs::fuzz::RequireUtf8(error_details.AsText(), "error details");
  }
  return 0;
}
