// Fuzzes the documents the broker reads back from the server database and maps into ERP objects,
// with an ERP that accepts every call: a job sheet (JobSheetAssembly::MapServiceOrder of its
// serviceorder element), a general hours line (GeneralHoursMapping of its hour element) and a
// service inspection (ServiceInspectionMapping of its ATTRIBUTES elements). Each input goes
// through all three. Failures are reported to the window's status box and to the error log in
// a scratch working directory, or raised as tqs::Error. The target changes its working directory:
// give libFuzzer absolute paths (scripts/fuzz.sh does).
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <pugixml.hpp>
#include <string>

#include "broker/broker_window.h"
#include "broker/error_log.h"
#include "broker/failure_reporter.h"
#include "broker/general_hours_mapping.h"
#include "broker/job_sheet_assembly.h"
#include "broker/line_mapping.h"
#include "broker/order_mapping.h"
#include "broker/service_inspection_mapping.h"
#include "common/conversions.h"
#include "common/error.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/xml_check.h"
#include "platform/automation/component_registry.h"
#include "platform/xml/xml.h"

namespace {

using namespace tqs;          // NOLINT: a fuzz target's only function
using namespace tqs::broker;  // NOLINT

class FixedClock final : public Clock {
 public:
  DateTime Now() const override { return DateTime{}; }
};

struct Broker {
  Broker() {
    // The error log goes to the working directory.
    if (::chdir(folder.path().c_str()) != 0) __builtin_trap();
    for (const char* prefix : {"Q72dVXRsvordJobSheets.", "Q72dVXRsvordServiceInspections.",
                               "TQSRCServiceOrderHoursAccounting."}) {
      components.Register(prefix, fuzz::AcceptingComponents());
    }
  }

  fuzz::ScratchFolder folder;
  FixedClock clock;
  frmTQSRemoteBroker window;
  const ErrorLog log{clock, RegionalSettings::EnglishUS()};
  const FailureReporter reporter{window, log};
  automation::ComponentRegistry components;
  const OrderMapping orders{window, log, components, RegionalSettings::EnglishUS()};
  const LineMapping lines{window, log, components, RegionalSettings::EnglishUS()};
  const JobSheetAssembly assembly{components, orders, lines};
  const GeneralHoursMapping hours{components, reporter, RegionalSettings::EnglishUS()};
  const ServiceInspectionMapping inspections{components, reporter};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Destroyed at exit, which removes its scratch folder.
  static const auto broker = std::make_unique<Broker>();
  const std::string text = fuzz::AsText(data, size);
  pugi::xml_document document;
  // The broker reads stored documents with the strict parser.
  if (!xml::LoadXml(document, text)) return 0;

  const auto object = [&](std::string_view prog_id) { return broker->components.Create(prog_id); };
  try {
    if (const pugi::xml_node order = xml::SelectSingleNode(document, "//serviceorder")) {
      broker->assembly.MapServiceOrder(order, object("Q72dVXRsvordJobSheets.ServiceOrderData"),
                                       object("Q72dVXRsvordJobSheets.ActivitiesData"));
    }
  } catch (const Error&) {
  }
  try {
    if (const pugi::xml_node hour = xml::FirstChildElement(document, "hour")) {
      broker->hours.GetGeneralHoursDetails("E200", hour);
    }
  } catch (const Error&) {
  }
  try {
    if (const pugi::xml_node root = xml::FirstChildElement(document, "SERVICEINSPECTION")) {
      broker->inspections.GetInspectionHeaderDetails(xml::FirstChildElement(root, "ATTRIBUTES"));
      for (pugi::xml_node inspection : xml::FirstChildElement(root, "INSPECTIONS").children()) {
        broker->inspections.GetInspectionData(xml::FirstChildElement(inspection, "ATTRIBUTES"));
      }
    }
  } catch (const Error&) {
  }
  fuzz::RequireUtf8(broker->window.txtProcessStatus.text(), "status box");
  // The status box would otherwise grow with every input.
  broker->window.txtProcessStatus.SetText("");
  return 0;
}
