// Fuzzes the assignments document of a laptop: JobSheet::sendAssignments with an ERP that
// accepts every call, and returnDate with the first line of the input as the time stamp.
#include <cstdint>
#include <pugixml.hpp>
#include <string>

#include "common/erp/assignments.h"
#include "common/error.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/xml_check.h"
#include "platform/xml/xml.h"
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
  // The hosts hand over only documents that the strict parser accepted.
  if (tqs::xml::LoadXml(assignments, text)) {
    tqs::automation::Variant feedback;
    tqs::automation::Variant error_details;
    job_sheet.sendAssignments("1001", "BC", assignments, feedback, error_details);
    if (feedback.type() == tqs::automation::VariantType::kText)
      tqs::fuzz::RequireUtf8(feedback.AsText(), "feedback");
    if (error_details.type() == tqs::automation::VariantType::kText)
      tqs::fuzz::RequireUtf8(error_details.AsText(), "error details");
  }
  try {
    job_sheet.returnDate(text.substr(0, text.find('\n')));
  } catch (const tqs::Error&) {
  }
  return 0;
}
