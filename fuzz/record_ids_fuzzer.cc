// Fuzzes the record ids document of a laptop: JobSheet::UpdateLastUsedNumbersInServer against an
// SQLite server database whose USERDEFAULTS row is reset before every input.
#include <cstdint>
#include <string>

#include "common/error.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/xml_check.h"
#include "server/jobsheet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static tqs::fuzz::ScratchServerDatabase database;
  static tqs::automation::ComponentRegistry components;
  database.Execute("DELETE FROM USERDEFAULTS");
  database.Execute(
      "INSERT INTO USERDEFAULTS (LOGN, EMNO, LASTJSID, LASTINVOICEID, LASTQUOTEID) "
      "VALUES ('jdoe', '1001', 12, NULL, 7)");
  tqs::server::JobSheet job_sheet(components);
  tqs::automation::Variant xml = tqs::fuzz::AsText(data, size);
  try {
    job_sheet.UpdateLastUsedNumbersInServer("jdoe", database.dsn(), xml);
    // The laptop reads the document it gets back.
    tqs::fuzz::RequireWellFormed(xml.AsText());
  } catch (const tqs::Error&) {
  }
  return 0;
}
