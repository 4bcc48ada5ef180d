// The checks the reference ERP applies to the property values it takes in, from uploaded job
// sheets and from imported job sheet documents alike. A problem is described for people:
// "actual cumulative quantity (adqt) '-2' is negative".
//
// Stateless functions; thread-safe as the Store is.
#ifndef TQS_ERP_VALUE_CHECKS_H_
#define TQS_ERP_VALUE_CHECKS_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "erp/properties.h"
#include "erp/records.h"
#include "erp/store.h"

namespace tqs::erp {

// "actual cumulative quantity (adqt)": the property's name in words and its element code.
std::string DescribeProperty(const PropertySpec& spec);

// The problem with `value`, or std::nullopt when it passes. An empty value always passes.
std::optional<std::string> CheckValue(const PropertySpec& spec, PropertyGroup group,
                                      std::string_view value, const Store& store);

// The problems of all values of a group, in table order.
std::vector<std::string> CheckValues(PropertyGroup group, const PropertyValues& values,
                                     const Store& store);

// The spec of a property of a group by its name; nullptr when the group has none.
const PropertySpec* FindProperty(PropertyGroup group, std::string_view name);

}  // namespace tqs::erp

#endif  // TQS_ERP_VALUE_CHECKS_H_
