// GeneralHoursMapping fills the ERP's hours line object (TQSRCServiceOrderHoursAccounting.
// ServiceOrderHoursAccounting) from the `hour` element of a general hours document:
//
//   setEmployee          the row's employee id
//   ctsk -> setTask, ccmp -> setCostComponent, chlt -> setHourlyLaborType   (text as written)
//   rgdt -> setRegistrationDate   yyyymmdd re-ordered to ddmmyyyy (RegistrationDateForErp)
//   sptm -> setSpentTime          a double, read with the locale's text-to-number rules
//
// Value elements follow the element rule (broker/element_rule.h): an absent element leaves its
// setter uncalled.
//
// Borrows what it is given; runs on the window's thread, not thread-safe.
#ifndef TQS_BROKER_GENERAL_HOURS_MAPPING_H_
#define TQS_BROKER_GENERAL_HOURS_MAPPING_H_

#include <pugixml.hpp>
#include <string>
#include <string_view>

#include "broker/failure_reporter.h"
#include "common/conversions.h"
#include "platform/automation/component_registry.h"
#include "platform/automation/variant.h"

namespace tqs::broker {

// The registration date as the ERP takes it: characters 7-8, then 5-6, then 1-4 of `rgdt`, so
// "20040512" gives "12052004". Characters beyond the end contribute nothing: "2004" gives
// "2004", "" gives "".
std::string RegistrationDateForErp(std::string_view rgdt);

class GeneralHoursMapping {
 public:
  // Everything but the settings is borrowed and must outlive the mapping.
  GeneralHoursMapping(const automation::ComponentRegistry& components,
                      const FailureReporter& reporter, RegionalSettings settings)
      : components_(components), reporter_(reporter), settings_(std::move(settings)) {}

  // The filled hours line of employee `i_sUserId`, as an object Variant. When the element has
  // no child nodes at all, a null object reference and nothing is created. On a failure (an
  // `sptm` that is empty or no number, an ERP object or setter that fails) the error goes to the
  // status box and to the log as "Error : ... in GetGeneralHoursDetails", and the result is the
  // empty Variant.
  automation::Variant GetGeneralHoursDetails(std::string_view i_sUserId,
                                             pugi::xml_node i_oGeneralHourNode) const;

 private:
  automation::Variant MapHourLine(std::string_view employee, pugi::xml_node hour) const;

  const automation::ComponentRegistry& components_;
  const FailureReporter& reporter_;
  const RegionalSettings settings_;
};

}  // namespace tqs::broker

#endif  // TQS_BROKER_GENERAL_HOURS_MAPPING_H_
