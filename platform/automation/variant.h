// A Variant is the value that crosses every late-bound boundary: arguments and results of
// component methods, field values of record sets, values read from documents. It keeps a type
// tag (empty, null, Boolean, 16/32-bit integer, double, text, date, object) so that "null" stays
// distinct from "empty text" and a 16-bit value keeps its range. Conversions follow the
// platform's rules: the throwing As* functions raise tqs::Error with the run-time numbers
// (type mismatch 13, overflow 6, invalid use of null 94, object not set 91); the Try* functions
// never throw and return std::nullopt instead.
//
// A Variant is a value type; copies of an object Variant share the object. Not synchronised.
#ifndef TQS_PLATFORM_AUTOMATION_VARIANT_H_
#define TQS_PLATFORM_AUTOMATION_VARIANT_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "common/date_time.h"
#include "common/export.h"

namespace tqs::automation {

class Object;
using ObjectPtr = std::shared_ptr<Object>;

enum class VariantType { kEmpty, kNull, kBoolean, kInt16, kInt32, kDouble, kText, kDate, kObject };

struct NullTag {
  bool operator==(const NullTag&) const = default;
};
inline constexpr NullTag kNull{};

class TQS_EXPORT Variant {
 public:
  Variant() = default;  // empty
  Variant(NullTag) : value_(NullTag{}) {}
  Variant(bool value) : value_(value) {}
  Variant(std::int16_t value) : value_(value) {}
  Variant(std::int32_t value) : value_(value) {}
  Variant(double value) : value_(value) {}
  Variant(std::string value) : value_(std::move(value)) {}
  Variant(const char* value) : value_(std::string(value)) {}
  Variant(std::string_view value) : value_(std::string(value)) {}
  Variant(DateTime value) : value_(value) {}
  Variant(ObjectPtr value) : value_(std::move(value)) {}

  static Variant Null() { return Variant(kNull); }

  VariantType type() const { return static_cast<VariantType>(value_.index()); }
  bool IsEmpty() const { return type() == VariantType::kEmpty; }
  bool IsNull() const { return type() == VariantType::kNull; }
  bool IsObject() const { return type() == VariantType::kObject; }
  bool IsNumeric() const;  // holds a number, or text that converts to one

  // Throwing conversions. Text converts to numbers and dates with the locale-aware rules of
  // common/conversions.h; numbers round half to even into integers; out-of-range is overflow.
  bool AsBoolean() const;
  std::int16_t AsInt16() const;
  std::int32_t AsInt32() const;
  double AsDouble() const;
  std::string AsText() const;  // empty gives "", null raises invalid use of null
  DateTime AsDate() const;
  ObjectPtr AsObject() const;  // nothing held raises object not set

  // Non-throwing conversions.
  std::optional<std::int16_t> TryInt16() const;
  std::optional<std::int32_t> TryInt32() const;
  std::optional<double> TryDouble() const;
  std::optional<std::string> TryText() const;
  std::optional<DateTime> TryDate() const;
  // The object held; nullptr when the value is no object or the empty reference (Nothing).
  ObjectPtr TryObject() const;

  // Text of the value joined to "", so null and empty give "" (the "" & value idiom).
  std::string ToTextOrEmpty() const;

  // The text a text value holds, read in place without a copy (a writer appends it straight
  // into its output); std::nullopt for every other type, whose text AsText makes. The view is
  // valid while this Variant lives unchanged.
  std::optional<std::string_view> TextView() const {
    if (const auto* text = std::get_if<std::string>(&value_)) return std::string_view(*text);
    return std::nullopt;
  }

  // Same type and same value; objects compare by identity.
  bool operator==(const Variant& other) const;

  // Readable form for test failures and journals: type name and value.
  std::string DebugString() const;

 private:
  std::variant<std::monostate, NullTag, bool, std::int16_t, std::int32_t, double, std::string,
               DateTime, ObjectPtr>
      value_;
};

}  // namespace tqs::automation

#endif  // TQS_PLATFORM_AUTOMATION_VARIANT_H_
