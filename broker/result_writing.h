// The writing rules shared by every result document the broker stores in INTERACTIONRESULT (the
// job sheet process result, the hour element, the si element): plain text built by
// concatenation, attribute values in single quotes, only error descriptions escaped (by
// EscapeXmlText), every other value written as the text form of what the ERP returned, a null
// value as "". Identifiers are escaped too: written as returned, an apostrophe in an id would
// make the laptop's whole result answer unreadable.
#ifndef TQS_BROKER_RESULT_WRITING_H_
#define TQS_BROKER_RESULT_WRITING_H_

#include <string>

#include "platform/automation/variant.h"

namespace tqs::broker {

// The text form of a value the ERP returned; "" for null or empty.
std::string ValueText(const automation::Variant& value);

// An identifying value (an order, activity, line or inspection id) as it goes into an
// attribute: the text form, escaped, so an id with an apostrophe or an ampersand cannot break
// the document that the laptop parses. Ids without markup characters are written unchanged.
std::string IdentifierText(const automation::Variant& value);

// " result='R' error='E' new='N'": the outcome attributes that follow an element's identifying
// attributes; the error description is escaped, the others are written as returned.
std::string OutcomeAttributes(const automation::Variant& result,
                              const automation::Variant& error_description,
                              const automation::Variant& new_line_id);

}  // namespace tqs::broker

#endif  // TQS_BROKER_RESULT_WRITING_H_
