// The writing rules shared by every result document the broker stores in INTERACTIONRESULT (the
// job sheet process result, the hour element, the si element): plain text built by
// concatenation, attribute values in single quotes, every value the text form of what the ERP
// returned (a null value as ""), escaped by EscapeXmlText. Error descriptions, identifiers,
// results and new line numbers alike: the ERP hands plain text over, and one apostrophe or
// ampersand written as returned would make the laptop's whole result answer unreadable.
// Characters XML cannot carry (control characters, bytes that are not UTF-8) are written as
// U+FFFD and counted, so the builder of a document can log the repair once.
#ifndef TQS_BROKER_RESULT_WRITING_H_
#define TQS_BROKER_RESULT_WRITING_H_

#include <cstddef>
#include <string>

#include "platform/automation/variant.h"

namespace tqs::broker {

// The text form of a value the ERP returned; "" for null or empty.
std::string ValueText(const automation::Variant& value);

// A value as it goes into an attribute: the text form, escaped. Values without markup
// characters are written unchanged. Adds to `replaced` the characters written as U+FFFD.
std::string AttributeText(const automation::Variant& value, std::size_t& replaced);

// " result='R' error='E' new='N'": the outcome attributes that follow an element's identifying
// attributes, each escaped; adds to `replaced` as AttributeText.
std::string OutcomeAttributes(const automation::Variant& result,
                              const automation::Variant& error_description,
                              const automation::Variant& new_line_id, std::size_t& replaced);

}  // namespace tqs::broker

#endif  // TQS_BROKER_RESULT_WRITING_H_
