#include "server/jobsheet.h"

namespace tqs::server {

JobSheet::JobSheet(const automation::ComponentRegistry& components) : components_(components) {}

}  // namespace tqs::server
