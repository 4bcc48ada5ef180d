#include "broker/general_hours_mapping.h"

#include <array>
#include <optional>
#include <utility>

#include "broker/element_rule.h"
#include "common/erp/hours_accounting.h"
#include "common/error.h"
#include "common/utf8.h"

namespace tqs::broker {

namespace ha = erp::hours_accounting;
using automation::ObjectPtr;
using automation::Variant;

namespace {

constexpr std::array<ElementSetter, 3> kTextElements = {{
    {"ctsk", ha::method::kSetTask},
    {"ccmp", ha::method::kSetCostComponent},
    {"chlt", ha::method::kSetHourlyLaborType},
}};

}  // namespace

std::string RegistrationDateForErp(std::string_view rgdt) {
  std::string date(Mid(rgdt, 7, 2));
  date += Mid(rgdt, 5, 2);
  date += Mid(rgdt, 1, 4);
  return date;
}

Variant GeneralHoursMapping::GetGeneralHoursDetails(std::string_view i_sUserId,
                                                    pugi::xml_node i_oGeneralHourNode) const {
  return reporter_.Guard("GetGeneralHoursDetails", ErrorPrefix::kErrorColon, Variant(),
                         [&] { return MapHourLine(i_sUserId, i_oGeneralHourNode); });
}

Variant GeneralHoursMapping::MapHourLine(std::string_view employee, pugi::xml_node hour) const {
  if (!HasChildNodes(hour)) return Variant(ObjectPtr());
  ObjectPtr line = components_.Create(ha::prog_id::kServiceOrderHoursAccounting);
  line->Call(ha::method::kSetEmployee, {Variant(employee)});
  ApplyElements(hour, kTextElements, *line);
  if (std::optional<std::string> rgdt = ElementText(hour, "rgdt")) {
    line->Call(ha::method::kSetRegistrationDate, {Variant(RegistrationDateForErp(*rgdt))});
  }
  if (std::optional<std::string> sptm = ElementText(hour, "sptm")) {
    const std::optional<double> spent = ParseNumber(*sptm, settings_);
    if (!spent) {
      throw Error(error_number::kTypeMismatch,
                  "Type mismatch: the spent time (sptm) '" + *sptm + "' is not a number");
    }
    line->Call(ha::method::kSetSpentTime, {Variant(*spent)});
  }
  return Variant(std::move(line));
}

}  // namespace tqs::broker
