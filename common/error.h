// tqs::Error is the one error type of the whole product: a number and a description, the two
// things every program reports at its boundaries (the broker's status box and error log, the
// JobSheet out-parameters, the master data run log). Outside error sources (SQLite result
// codes, libpq SQLSTATEs, pugixml parse results, component failures, conversions) are each
// translated into it in one place. The numbers follow the platform's run-time error numbers so
// that operators and integrators see the same numbers they know; see error_numbers below.
//
// Error is an immutable value and safe to copy between threads.
#ifndef TQS_COMMON_ERROR_H_
#define TQS_COMMON_ERROR_H_

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include "common/export.h"

namespace tqs {

// Error numbers that the programs raise themselves. Database and component errors keep the
// number their source gives; the generic failure number stands for "the callee failed".
namespace error_number {
inline constexpr std::int32_t kInvalidProcedureCall = 5;
inline constexpr std::int32_t kOverflow = 6;
inline constexpr std::int32_t kSubscriptOutOfRange = 9;
inline constexpr std::int32_t kTypeMismatch = 13;
inline constexpr std::int32_t kFileNotFound = 53;
inline constexpr std::int32_t kPermissionDenied = 70;
inline constexpr std::int32_t kPathNotFound = 76;
inline constexpr std::int32_t kObjectNotSet = 91;
inline constexpr std::int32_t kInvalidUseOfNull = 94;
inline constexpr std::int32_t kCannotCreateComponent = 429;
inline constexpr std::int32_t kMethodNotSupported = 438;
// Data access errors (current record missing, object closed, connection unusable, bad
// connection string, provider errors).
inline constexpr std::int32_t kNoCurrentRecord = 3021;
inline constexpr std::int32_t kArgumentsWrongType = 3001;
inline constexpr std::int32_t kItemNotFound = 3265;
inline constexpr std::int32_t kOperationNotAllowed = 3219;
inline constexpr std::int32_t kObjectClosed = 3704;
inline constexpr std::int32_t kConnectionInvalid = 3709;
inline constexpr std::int32_t kProviderNotFound = 3706;
// The generic failure code (0x80004005): a component or provider reports that it failed.
inline constexpr std::int32_t kGenericFailure = -2147467259;
}  // namespace error_number

class TQS_EXPORT Error : public std::runtime_error {
 public:
  Error(std::int32_t number, std::string description);

  std::int32_t number() const noexcept { return number_; }
  // The description as the source gave it (what() returns the same text).
  const std::string& description() const noexcept { return description_; }

 private:
  std::int32_t number_;
  std::string description_;
};

// The run-time errors with their standard descriptions.
Error OverflowError();
Error TypeMismatchError();
Error SubscriptOutOfRangeError();
Error ObjectNotSetError();
Error InvalidUseOfNullError();
Error InvalidProcedureCallError(std::string_view detail = {});

}  // namespace tqs

#endif  // TQS_COMMON_ERROR_H_
