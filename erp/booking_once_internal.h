// How the reference ERP's managers book a document at most once per idempotency key: a call
// that carries a key runs the booking through Store::BookOnce, which keeps the outcome as JSON
// text under the key in the same transaction as the booking; a repeated key gets that outcome
// back, and the manager builds its answer objects from it exactly as it did the first time (the
// first call's answer is built from the decoded text too, so both answers are alike by
// construction). A call without a key books as it always did, and nothing is kept.
//
// Stateless functions; thread-safe as the Store is.
#ifndef TQS_ERP_BOOKING_ONCE_INTERNAL_H_
#define TQS_ERP_BOOKING_ONCE_INTERNAL_H_

#include <fmt/format.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "common/error.h"
#include "erp/late_bound_internal.h"
#include "erp/store.h"

namespace tqs::erp::internal {

// The key a setIdempotencyKey argument holds; none for an empty text, null or empty.
inline std::optional<std::string> IdempotencyKey(const Variant& value) {
  std::string key = KeptText(value);
  if (key.empty()) return std::nullopt;
  return key;
}

// Runs `book` at most once per `key` of `kind` (always when there is no key) and returns its
// outcome, or the outcome the first booking under the key kept. `encode` and `decode` turn an
// outcome into JSON and back; an outcome text that `decode` cannot read raises tqs::Error with
// the generic failure number.
template <typename Outcome>
Outcome BookOncePerKey(Store& store, BookingKind kind, const std::optional<std::string>& key,
                       const std::function<Outcome()>& book,
                       nlohmann::json (*encode)(const Outcome&),
                       Outcome (*decode)(const nlohmann::json&)) {
  if (!key) return book();
  // Text that is not UTF-8 is kept with replacement characters rather than failing a booking
  // that is already made; both answers are built from the kept text.
  const std::string text = store.BookOnce(kind, *key, [&] {
    return encode(book()).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  });
  try {
    return decode(nlohmann::json::parse(text));
  } catch (const nlohmann::json::exception& error) {
    throw Error(error_number::kGenericFailure,
                fmt::format("The outcome kept under the idempotency key '{}' in '{}' cannot be "
                            "read: {}",
                            *key, store.file().string(), error.what()));
  }
}

}  // namespace tqs::erp::internal

#endif  // TQS_ERP_BOOKING_ONCE_INTERNAL_H_
