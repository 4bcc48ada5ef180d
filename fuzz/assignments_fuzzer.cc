// Fuzzes the assignments document of a laptop: JobSheet::sendAssignments with an ERP that
// accepts every call, and returnDate with the first line of the input as the time stamp.
#include <cstdint>
#include <pugixml.hpp>
#include <string>

#include "common/erp/assignments.h"
#include "common/error.h"
#include "fuzz/fuzz_support.h"
#include "server/jobsheet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static tqs::automation::ComponentRegistry* components = [] {
    auto* registry = new tqs::automation::ComponentRegistry();
    registry->Register("Q72dVXRsvordAssignments.", tqs::fuzz::AcceptingComponents());
    return registry;
  }();
  const std::string text = tqs::fuzz::AsText(data, size);
  tqs::server::JobSheet job_sheet(*components);

  pugi::xml_document assignments;
  if (assignments.load_buffer(text.data(), text.size())) {
    tqs::automation::Variant feedback;
    tqs::automation::Variant error_details;
    job_sheet.sendAssignments("1001", "BC", assignments, feedback, error_details);
  }
  try {
    job_sheet.returnDate(text.substr(0, text.find('\n')));
  } catch (const tqs::Error&) {
  }
  return 0;
}
