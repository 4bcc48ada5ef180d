// A GuardedObject stands between the programs and an object made by a component library that
// the ComponentRegistry loaded. A library is outside code: whatever it throws out of a call
// comes back as a tqs::Error (its own tqs::Error unchanged, anything else as the generic
// failure), so no exception of an unknown type ever crosses into a program and ends it. The
// objects that a call hands out (its result, by-reference arguments) are guarded the same way,
// and the library's own objects are handed back to it as it made them.
//
// A GuardedObject keeps its library loaded for as long as it lives. Used by one thread at a
// time, like any Object.
#ifndef TQS_PLATFORM_AUTOMATION_GUARDED_OBJECT_H_
#define TQS_PLATFORM_AUTOMATION_GUARDED_OBJECT_H_

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/automation/object.h"

namespace tqs::automation {

class GuardedObject final : public Object {
 public:
  // `object` guarded, with `library` (any owner of the library's code) kept alive; nullptr for
  // nullptr.
  static ObjectPtr Guard(std::shared_ptr<const void> library, ObjectPtr object);

  GuardedObject(std::shared_ptr<const void> library, ObjectPtr object)
      : library_(std::move(library)), object_(std::move(object)) {}

  Variant Invoke(std::string_view method, std::span<Variant> args) override;
  std::string ProgId() const override;

 private:
  // Guards an object that a call handed out, unless it is one of ours already.
  Variant GuardOutgoing(Variant value) const;

  // Declared first, destroyed last: the object goes before the library's code.
  const std::shared_ptr<const void> library_;
  const ObjectPtr object_;
};

// The error for a component that raised something that is not an error at all (neither a
// tqs::Error nor a std::exception) while running `method`.
Error NonErrorExceptionError(std::string_view prog_id, std::string_view method);

}  // namespace tqs::automation

#endif  // TQS_PLATFORM_AUTOMATION_GUARDED_OBJECT_H_
