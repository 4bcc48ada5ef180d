// Fuzzes the outbox envelope that a laptop uploads: JobSheet::StoreOutboxContent against an
// SQLite server database. Whatever the envelope holds, the call either raises tqs::Error or
// answers a well-formed feedback document.
#include <cstdint>
#include <string>

#include "common/error.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/xml_check.h"
#include "server/jobsheet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static tqs::fuzz::ScratchServerDatabase database;
  static tqs::automation::ComponentRegistry components;
  tqs::server::JobSheet job_sheet(components);
  tqs::automation::Variant result = "unchanged";
  try {
    job_sheet.StoreOutboxContent(tqs::fuzz::AsText(data, size), "1001", database.dsn(), result);
    tqs::fuzz::RequireWellFormed(result.AsText());
  } catch (const tqs::Error&) {
  }
  // Keep the table small so that every input meets the same database.
  database.Execute("DELETE FROM CLIENTSERVERINTERACTION");
  return 0;
}
