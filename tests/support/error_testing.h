// Helpers for asserting tqs::Error in tests, compact enough for tables:
//
//   EXPECT_EQ(ErrorNumberOf([&] { value.AsInt16(); }), 6);
//   EXPECT_EQ(ErrorNumberOf([&] { value.AsInt16(); }), std::nullopt);  // no error
//   EXPECT_THAT(ErrorDescriptionOf([&] { registry.Create("X"); }), HasSubstr("'X'"));
//
// Any other exception escapes and fails the test. Thread-compatible.
#ifndef TQS_TESTS_SUPPORT_ERROR_TESTING_H_
#define TQS_TESTS_SUPPORT_ERROR_TESTING_H_

#include <cstdint>
#include <optional>
#include <string>

#include "common/error.h"

namespace tqs::test_support {

// The number of the tqs::Error that `action` raises, or std::nullopt when it returns normally.
template <typename Action>
std::optional<std::int32_t> ErrorNumberOf(Action&& action) {
  try {
    action();
  } catch (const Error& error) {
    return error.number();
  }
  return std::nullopt;
}

// The description of the tqs::Error that `action` raises, or "(no error)".
template <typename Action>
std::string ErrorDescriptionOf(Action&& action) {
  try {
    action();
  } catch (const Error& error) {
    return error.description();
  }
  return "(no error)";
}

}  // namespace tqs::test_support

#endif  // TQS_TESTS_SUPPORT_ERROR_TESTING_H_
