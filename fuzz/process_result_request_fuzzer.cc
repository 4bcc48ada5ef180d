// Fuzzes the process result request of a laptop: JobSheet::GetProcessResult against an SQLite
// server database holding finished, pending and other employees' interactions.
#include <cstdint>
#include <memory>
#include <string>

#include "common/error.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/xml_check.h"
#include "server/jobsheet.h"

namespace {

const tqs::fuzz::ScratchServerDatabase& Database() {
  // Destroyed at exit, which removes its folder.
  static const auto database = [] {
    auto created = std::make_unique<tqs::fuzz::ScratchServerDatabase>();
    // (employee, type, on, id, status, result)
    const char* rows[] = {
        "'1001', 5, 'D1', 1, 10, '<jobsheet id=''1''/>'",
        "'1001', 5, 'D1', 2, 5, '<pending/>'",
        "'1001', 5, 'D1', 3, 15, '<jobsheet id=''3''/>'",
        "'1001', 10, 'D1', 1, 10, '<hour id=''H''/>'",
        "'1001', 15, 'D1', 1, 15, '<si id=''S''/>'",
        "'1002', 5, 'D1', 4, 10, '<other/>'",
        "'1001', 5, 'D1', 40000, 10, '<big/>'",
        "'1001', 10, 'D1', 7, 10, 'not a document'",
        "'1001', 15, 'D1', 8, 10, NULL",
    };
    for (const char* row : rows) {
      created->Execute(std::string("INSERT INTO CLIENTSERVERINTERACTION (EMPLOYEEID, "
                                   "BUSINESSDOCUMENTTYPE, INTERACTIONON, INTERACTIONID, "
                                   "INTERACTIONSTATUS, INTERACTIONRESULT) VALUES (") +
                       row + ")");
    }
    return created;
  }();
  return *database;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static tqs::automation::ComponentRegistry components;
  tqs::server::JobSheet job_sheet(components);
  tqs::automation::Variant result;
  try {
    job_sheet.GetProcessResult(tqs::fuzz::AsText(data, size), "1001", Database().dsn(), result);
    tqs::fuzz::RequireWellFormed(result.AsText());
  } catch (const tqs::Error&) {
  }
  return 0;
}
