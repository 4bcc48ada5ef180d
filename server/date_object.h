// DateObject is the date object that JobSheet::returnDate hands to the web tier: a calendar
// date and time set field by field through setYear (years since 1900), setMonth (0 = January),
// setDate (day of the month), setHours, setMinutes and setSeconds, and read back through the
// matching getters. It is a late-bound object, called by method name like the ERP's objects.
// The fields are stored as given, without normalisation (all six may be 0).
#ifndef TQS_SERVER_DATE_OBJECT_H_
#define TQS_SERVER_DATE_OBJECT_H_

#include <array>
#include <cstdint>

#include "common/export.h"
#include "platform/automation/object.h"

namespace tqs::server {

class TQS_EXPORT DateObject : public automation::Object {
 public:
  // The identifier the web tier knows the object by.
  static constexpr const char* kMoniker = "java:java.util.Date";

  enum class Field { kYear, kMonth, kDate, kHours, kMinutes, kSeconds };

  automation::Variant Invoke(std::string_view method, std::span<automation::Variant> args) override;
  std::string ProgId() const override { return kMoniker; }

  std::int32_t Get(Field field) const { return fields_[static_cast<int>(field)]; }

 private:
  std::array<std::int32_t, 6> fields_{};
};

}  // namespace tqs::server

#endif  // TQS_SERVER_DATE_OBJECT_H_
