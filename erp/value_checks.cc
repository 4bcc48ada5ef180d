#include "erp/value_checks.h"

#include <fmt/format.h>

#include <cctype>

#include "erp/values.h"

namespace tqs::erp {

std::string DescribeProperty(const PropertySpec& spec) {
  std::string words;
  for (const char c : PropertyName(spec)) {
    if (std::isupper(static_cast<unsigned char>(c)) && !words.empty()) words += ' ';
    words += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (!spec.code.empty()) words += fmt::format(" ({})", spec.code);
  return words;
}

std::optional<std::string> CheckValue(const PropertySpec& spec, PropertyGroup group,
                                      std::string_view value, const Store& store) {
  if (value.empty()) return std::nullopt;
  const auto problem = [&](std::string_view what) {
    return fmt::format("{} '{}' {}", DescribeProperty(spec), value, what);
  };
  switch (spec.check) {
    case ValueCheck::kText:
    case ValueCheck::kTextList:
    case ValueCheck::kKept:
      return std::nullopt;
    case ValueCheck::kStatus: {
      const bool known =
          group == PropertyGroup::kOrderDetails ? IsOrderStatus(value) : IsActivityStatus(value);
      if (!known) return problem("is not a status the ERP knows");
      return std::nullopt;
    }
    case ValueCheck::kDate:
      if (!ParseErpDate(value)) return problem("is no date");
      return std::nullopt;
    case ValueCheck::kCompactDate:
      if (!ParseCompactDate(value, "yyyymmdd")) return problem("is no date (yyyymmdd)");
      return std::nullopt;
    case ValueCheck::kNumber:
      if (!ParseErpNumber(value)) return problem("is not a number");
      return std::nullopt;
    case ValueCheck::kQuantity: {
      const std::optional<double> number = ParseErpNumber(value);
      if (!number) return problem("is not a number");
      if (*number < 0) return problem("is negative");
      return std::nullopt;
    }
    case ValueCheck::kTask:
      if (!store.IsTask(value)) return problem("is not a task the ERP knows");
      return std::nullopt;
  }
  return std::nullopt;
}

std::vector<std::string> CheckValues(PropertyGroup group, const PropertyValues& values,
                                     const Store& store) {
  std::vector<std::string> problems;
  for (const PropertySpec& spec : PropertiesOf(group)) {
    const auto value = values.find(PropertyName(spec));
    if (value == values.end()) continue;
    if (auto problem = CheckValue(spec, group, value->second, store)) {
      problems.push_back(std::move(*problem));
    }
  }
  return problems;
}

const PropertySpec* FindProperty(PropertyGroup group, std::string_view name) {
  for (const PropertySpec& spec : PropertiesOf(group)) {
    if (PropertyName(spec) == name) return &spec;
  }
  return nullptr;
}

}  // namespace tqs::erp
