// The job sheet document writer: turns the ERP's service order data objects into the job
// sheet documents that a laptop receives and keeps (and later uploads unchanged in shape), and
// cancelled orders into cancellation elements. A document is one string without declaration or
// white space between elements: a "jobsheet" element holding one "serviceorder" with its
// details, activities, and the material, labor, other and inspection lines of each activity,
// each value under its four-letter element code.
//
// Values are written as the ERP delivers them: as text where the code holds free text (names,
// descriptions, codes that may hold any character; a null value fails the writer), in the
// default text form where it holds values the ERP formats (dates, quantities, amounts, flags;
// a null value is written as nothing), and text lists (order, activity, call, solution and
// invoice texts) as their chunks joined without separator. The ERP hands every value over as
// plain text and every one is escaped for XML here; a character XML cannot carry (a control
// character, bytes that are not UTF-8) is written as U+FFFD, so a document is always
// well-formed. An element is
// written only when the object's presence test answers true (a null answer counts as false),
// then with start and end tag even when its value is empty.
//
// Each writer takes the ERP data object (as the ERP's getter delivered it) and an output text;
// it returns true with the element text, or false with the description of the error that
// stopped it (an error raised by the ERP, a list or details object announced but missing, a
// null value where escaped text is required). A failure inside a nested element (a line of an
// activity, an activity of a service order) fails the outer writer with that same innermost
// text; nothing partial is ever returned.
//
// Stateless; safe to call from several threads with distinct ERP objects.
#ifndef TQS_SERVER_DOWNLOAD_JOB_SHEET_DOCUMENT_H_
#define TQS_SERVER_DOWNLOAD_JOB_SHEET_DOCUMENT_H_

#include <string>

#include "platform/automation/variant.h"

namespace tqs::server::download {

// One job sheet document from the service order data of a job sheet entry.
bool BuildServiceOrderXml(const automation::Variant& service_order, std::string& output);

// One "activity" element from an activity data object.
bool BuildActivityXml(const automation::Variant& activity, std::string& output);

// One "material", "labor", "other" or "inspection" line element from its line data object.
bool BuildMaterialXml(const automation::Variant& material, std::string& output);
bool BuildLaborXml(const automation::Variant& labor, std::string& output);
bool BuildOtherXml(const automation::Variant& other, std::string& output);
bool BuildInspectionXml(const automation::Variant& inspection, std::string& output);

// One cancellation element, an empty "serviceorder" element with the order id, the
// cancellation date (cadt) and reason (cdis), from a cancelled order.
bool BuildCancellationXml(const automation::Variant& cancelled_order, std::string& output);

}  // namespace tqs::server::download

#endif  // TQS_SERVER_DOWNLOAD_JOB_SHEET_DOCUMENT_H_
