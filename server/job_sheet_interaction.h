// DetermineJobSheetInteraction classifies an uploaded job sheet by the actions the engineer
// performed, which decides how the broker books it: service-order or activity level, "RDP"
// (with or without "MD") or "RDC" (with or without "MD"), or unrecognised. It also gives the
// header id that the upload feedback shows the laptop.
#ifndef TQS_SERVER_JOB_SHEET_INTERACTION_H_
#define TQS_SERVER_JOB_SHEET_INTERACTION_H_

#include <string>

#include <pugixml.hpp>

namespace tqs::server {

// The interaction name code (0, 10, 15, 20, 25) of the job sheet document `job_sheet` (a
// `jobsheet` element holding a `serviceorder`), or -1 with the error description in error_text
// when the document lacks what the classification reads (header_id then keeps what was set
// before the error). header_id: the service order id, followed by "," and the first activity's
// id when the activity level applies.
int DetermineJobSheetInteraction(pugi::xml_node job_sheet, std::string& header_id,
                                 std::string& error_text);

}  // namespace tqs::server

#endif  // TQS_SERVER_JOB_SHEET_INTERACTION_H_
