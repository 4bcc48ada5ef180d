// Reading what an ERP component call answered: the object a call hands back and the whole
// numbers (counts, line numbers, return values, result codes) it reports, with errors that
// name the call, so an operator reading the error log knows which answer was unusable.
//
// Pure functions; thread-safe.
#ifndef TQS_BROKER_ERP_ANSWERS_H_
#define TQS_BROKER_ERP_ANSWERS_H_

#include <cstdint>
#include <string_view>

#include "common/conversions.h"
#include "platform/automation/variant.h"

namespace tqs::broker {

// The object `answer` holds. Anything else (nothing, null, a value) raises tqs::Error 91
// (object not set) naming `call`, for example "ServiceOrderHoursAccountingManager.Create".
automation::ObjectPtr RequireObject(const automation::Variant& answer, std::string_view call);

// `answer` as a 32-bit whole number. Text is read with the locale-aware text-to-number rules of
// `settings`; a fraction is rounded half to even. Null raises tqs::Error 94; text that is no
// number (the empty text included) and no answer at all (Empty) raise 13; a number outside the
// 32-bit range raises 6. Each error names `call`.
std::int32_t WholeNumber(const automation::Variant& answer, std::string_view call,
                         const RegionalSettings& settings);

}  // namespace tqs::broker

#endif  // TQS_BROKER_ERP_ANSWERS_H_
