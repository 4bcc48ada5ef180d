// The download input: turns a laptop's job sheet request (which service orders, activities and
// lines it already holds, by id) into the ERP's iJobSheets input object, created through the
// component registry so that any registered job sheet component serves.
//
// Request shape, read leniently: every "serviceorder" element at any depth, in document order,
// with its "id"; when it has child nodes, the "activities" child element whose every child node
// is one activity with an "id"; under an activity optionally "materials", "labors", "others"
// and "inspections", whose every child node is one line with a "lineid". Everything else is
// ignored. An empty or malformed request is no error: it gives an input without service orders.
//
// Stateless; safe to call from several threads.
#ifndef TQS_SERVER_DOWNLOAD_JOB_SHEETS_INPUT_H_
#define TQS_SERVER_DOWNLOAD_JOB_SHEETS_INPUT_H_

#include <string>
#include <string_view>

#include "platform/automation/component_registry.h"

namespace tqs::server::download {

// Builds the input. True with `input` set; false with `error_text` holding the description of
// what failed (a missing id, lineid or activities element, an ERP object that cannot be
// created or refuses a call); `input` is then left alone.
bool BuildJobSheetsInput(const automation::ComponentRegistry& components, std::string_view request,
                         automation::ObjectPtr& input, std::string& error_text);

}  // namespace tqs::server::download

#endif  // TQS_SERVER_DOWNLOAD_JOB_SHEETS_INPUT_H_
