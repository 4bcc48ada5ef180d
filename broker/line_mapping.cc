#include "broker/line_mapping.h"

#include <exception>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "broker/element_rule.h"
#include "common/erp/job_sheets.h"
#include "common/error.h"
#include "platform/xml/xml.h"

namespace tqs::broker {

namespace {

namespace js = erp::job_sheets;
namespace a = erp::job_sheets::attribute;
namespace p = erp::job_sheets::property;
using automation::ObjectPtr;
using automation::Variant;

// How an element's text is passed to its setter.
enum class LineValue {
  kText,           // unchanged
  kZeroWhenEmpty,  // the empty text becomes "0.0", in the document too
  kCompactDate,    // read as a date, passed as "yyyymmdd"
};

struct AttributeRow {
  std::string_view attribute;
  std::string_view setter;
};

struct LineRow {
  std::string_view element;
  std::string_view setter;
  LineValue value = LineValue::kText;
};

constexpr AttributeRow kCostLineAttributes[] = {
    {"lineid", a::kCostLine.set},
    {"origin", a::kOrigin.set},
};

constexpr AttributeRow kInspectionLineAttributes[] = {
    {"mseq", a::kInspectionNo.set},
    {"cmea", a::kMeasurementType.set},
    {"origin", a::kOrigin.set},
};

constexpr LineRow kMaterialRows[] = {
    {"item", p::kItem.set},
    {"dltp", p::kDeliveryType.set},
    {"cskt", p::kServiceKit.set},
    {"ccmp", p::kCostComponent.set},
    {"adqt", p::kActualCumulativeQuantity.set},
    {"awrh", p::kActualWarehouse.set},
    {"cups", p::kSalesPriceUnit.set},
    {"cuqs", p::kSalesQuantityUnit.set},
    {"qtdl", p::kDeliveredQuantity.set},
    {"qtsd", p::kSubsequentDeliveredQuantity.set},
    {"pris", p::kSalesPrice.set},
    {"asto", p::kTotalSalesAmount.set},
    {"asco", p::kContractSales.set},
    {"aswa", p::kWarrantySales.set},
    {"disc", p::kDiscount.set, LineValue::kZeroWhenEmpty},
    {"asdi", p::kDiscountAmount.set},
    {"inam", p::kInvoicingAmount.set},
    {"txam", p::kTaxAmount.set},
};

constexpr LineRow kLaborRows[] = {
    {"ctsk", p::kTask.set},
    {"ccmp", p::kCostComponent.set},
    {"chlt", p::kHourlyLaborType.set},
    {"acqt", p::kActualQuantity.set},
    {"aswr", p::kSalesRate.set, LineValue::kZeroWhenEmpty},
    {"asto", p::kTotalSalesAmount.set},
    {"asco", p::kContractSales.set},
    {"aswa", p::kWarrantySales.set},
    {"disc", p::kDiscount.set},
    {"asdi", p::kDiscountAmount.set},
    {"inam", p::kInvoicingAmount.set},
    {"txam", p::kTaxAmount.set},
};

constexpr LineRow kOtherRows[] = {
    {"cotp", p::kCostType.set},
    {"desc", p::kOtherDescription.set},
    {"ccmp", p::kCostComponent.set},
    {"afrq", p::kActualFrequency.set},
    {"aqan", p::kActualCumulativeTimeQuantity.set},
    {"acpr", p::kActualCostPrice.set},
    {"cuni", p::kUnit.set},
    {"pris", p::kSalesPrice.set},
    {"asto", p::kTotalSalesAmount.set},
    {"asco", p::kContractSales.set},
    {"aswa", p::kWarrantySales.set},
    {"disc", p::kDiscount.set},
    {"asdi", p::kDiscountAmount.set},
    {"inam", p::kInvoicingAmount.set},
    {"txam", p::kTaxAmount.set},
    {"lcur", p::kCostCurrency.set},
};

constexpr LineRow kHourRows[] = {
    {"cotp", p::kCostType.set},
    {"ccmp", p::kCostComponent.set},
    {"sptm", p::kSpentTime.set},
    {"ctsk", p::kTask.set},
    {"chlt", p::kHourlyLaborType.set},
    {"rgdt", p::kRegistrationDateHours.set, LineValue::kCompactDate},
    {"lbln", p::kLaborLineReference.set},
};

constexpr LineRow kInspectionRows[] = {
    {"rgtm", p::kRegistrationTime.set},
    {"mivl", p::kMeasuredIndependentValue.set},
    {"mdvl", p::kMeasuredDependentValue.set},
};

// Replaces the content of `element` by the text `text`.
void SetElementText(pugi::xml_node element, std::string_view text) {
  while (element.first_child()) element.remove_child(element.first_child());
  element.append_child(pugi::node_pcdata).set_value(std::string(text).c_str());
}

}  // namespace

std::string RequiredAttribute(pugi::xml_node node, std::string_view name) {
  const pugi::xml_attribute attribute = node.attribute(std::string(name).c_str());
  if (attribute) return attribute.value();
  std::string where;
  if (node.type() == pugi::node_element) {
    where = "the " + std::string(node.name()) + " element";
  } else {
    where = "the text '" + std::string(node.value()) + "' (not an element)";
  }
  throw Error(error_number::kObjectNotSet,
              "Object variable not set: " + where + " has no attribute " + std::string(name));
}

struct LineMapping::LineKind {
  std::string_view procedure;  // the mapper's name, as the error log shows it
  std::string_view prog_id;
  std::span<const AttributeRow> attributes;
  std::span<const LineRow> rows;
};

LineMapping::LineMapping(frmTQSRemoteBroker& window, const ErrorLog& error_log,
                         const automation::ComponentRegistry& components, RegionalSettings settings)
    : window_(window),
      error_log_(error_log),
      components_(components),
      settings_(std::move(settings)),
      reporter_(window, error_log) {}

ObjectPtr LineMapping::MapLine(pugi::xml_node line, const LineKind& kind) const {
  if (!HasChildNodes(line)) return nullptr;
  const ObjectPtr object = components_.Create(kind.prog_id);
  for (const AttributeRow& row : kind.attributes) {
    object->Call(row.setter, {Variant(RequiredAttribute(line, row.attribute))});
  }
  for (const LineRow& row : kind.rows) {
    const pugi::xml_node element = xml::FirstChildElement(line, row.element);
    if (!element) continue;
    std::string text = xml::Text(element);
    switch (row.value) {
      case LineValue::kText:
        break;
      case LineValue::kZeroWhenEmpty:
        if (text.empty()) {
          SetElementText(element, "0.0");
          text = xml::Text(element);
        }
        break;
      case LineValue::kCompactDate: {
        const std::optional<DateTime> date = ParseDate(text, settings_);
        if (!date) {
          throw Error(error_number::kTypeMismatch,
                      "Type mismatch: " + std::string(row.element) + " '" + text + "' of the " +
                          std::string(line.name()) + " line is not a date");
        }
        text = FormatDatePattern(*date, "yyyymmdd");
        break;
      }
    }
    object->Call(row.setter, {Variant(std::move(text))});
  }
  return object;
}

ObjectPtr LineMapping::MapCostLine(pugi::xml_node line, const LineKind& kind) const {
  try {
    return MapLine(line, kind);
  } catch (const std::exception& error) {
    reporter_.Report(kind.procedure, ErrorPrefix::kErrorColon, error);
    return nullptr;
  }
}

ObjectPtr LineMapping::GetMaterialDetails(pugi::xml_node i_oMaterialNode) const {
  static constexpr LineKind kKind{"GetMaterialDetails", js::prog_id::kMaterialData,
                                  kCostLineAttributes, kMaterialRows};
  return MapCostLine(i_oMaterialNode, kKind);
}

ObjectPtr LineMapping::GetLaborDetails(pugi::xml_node i_oLaborNode) const {
  static constexpr LineKind kKind{"GetLaborDetails", js::prog_id::kLaborData, kCostLineAttributes,
                                  kLaborRows};
  return MapCostLine(i_oLaborNode, kKind);
}

ObjectPtr LineMapping::GetOtherDetails(pugi::xml_node i_oOtherNode) const {
  static constexpr LineKind kKind{"GetOtherDetails", js::prog_id::kOtherData, kCostLineAttributes,
                                  kOtherRows};
  return MapCostLine(i_oOtherNode, kKind);
}

ObjectPtr LineMapping::GetHoursSpentDetails(pugi::xml_node i_oHoursSpentNode) const {
  static constexpr LineKind kKind{"GetHoursSpentDetails", js::prog_id::kHourData,
                                  kCostLineAttributes, kHourRows};
  return MapCostLine(i_oHoursSpentNode, kKind);
}

Variant LineMapping::GetInspectionLineDetails(pugi::xml_node i_oInspectionLineNode) const {
  static constexpr LineKind kKind{"GetInspectionLineDetails", js::prog_id::kInspectionData,
                                  kInspectionLineAttributes, kInspectionRows};
  try {
    return Variant(MapLine(i_oInspectionLineNode, kKind));
  } catch (const std::exception& error) {
    // This handler ends its log message as a separate item of the line.
    std::string line(error.what());
    line += kCrLf;
    window_.txtProcessStatus.Append(line);
    error_log_.WriteErrorLogEntry(window_.m_sErrorLogFile, kKind.procedure,
                                  ErrorPrefix::kErrorColon, error.what(),
                                  MessageEnd::kSeparateItem);
    return Variant();
  }
}

}  // namespace tqs::broker
