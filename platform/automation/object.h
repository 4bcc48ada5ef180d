// An Object is a late-bound component: the programs call its methods by name at run time, as
// they do with the ERP's business objects, so any registered implementation can serve. Every
// argument is passed by reference: the callee may assign to args[i] and the caller reads the
// new value back where the method's contract says the argument is an out-parameter. A method
// that the object does not have raises tqs::Error 438 naming the method; a callee failure is a
// tqs::Error with the callee's number and description.
//
// Objects are created through a ComponentRegistry and shared through ObjectPtr. An object is
// used by one thread at a time.
#ifndef TQS_PLATFORM_AUTOMATION_OBJECT_H_
#define TQS_PLATFORM_AUTOMATION_OBJECT_H_

#include <span>
#include <string>
#include <string_view>
#include <vector>
#include "common/export.h"

#include "common/error.h"
#include "platform/automation/variant.h"

namespace tqs::automation {

class TQS_EXPORT Object {
 public:
  virtual ~Object() = default;

  // Calls `method` with `args`; returns the method's result (empty for a procedure).
  virtual Variant Invoke(std::string_view method, std::span<Variant> args) = 0;

  // The programmatic identifier the object was created under ("" when created directly).
  virtual std::string ProgId() const { return {}; }

  // Convenience for calls whose arguments the caller does not read back.
  Variant Call(std::string_view method, std::vector<Variant> args = {}) {
    return Invoke(method, std::span<Variant>(args));
  }
};

// The error raised for a method the object does not implement.
Error MethodNotSupportedError(std::string_view prog_id, std::string_view method);

}  // namespace tqs::automation

#endif  // TQS_PLATFORM_AUTOMATION_OBJECT_H_
