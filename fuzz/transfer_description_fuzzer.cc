// Fuzzes the transfer description that cuts the master data template down for a service
// centre: masterdata::ReadTransferEntries of the parsed input.
#include <cstdint>
#include <pugixml.hpp>
#include <string>

#include "common/error.h"
#include "fuzz/fuzz_support.h"
#include "masterdata/transfer_description.h"
#include "platform/xml/xml.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text = tqs::fuzz::AsText(data, size);
  pugi::xml_document document;
  if (!tqs::xml::LoadXml(document, text)) return 0;
  try {
    tqs::masterdata::ReadTransferEntries(document);
  } catch (const tqs::Error&) {
  }
  return 0;
}
