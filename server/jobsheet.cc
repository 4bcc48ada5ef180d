#include "server/jobsheet.h"

#include <utility>

namespace tqs::server {

JobSheet::JobSheet(const automation::ComponentRegistry& components)
    : JobSheet(components, StandardErrorWarnings()) {}

JobSheet::JobSheet(const automation::ComponentRegistry& components, WarningSink warnings)
    : components_(components), warnings_(std::move(warnings)) {}

}  // namespace tqs::server
