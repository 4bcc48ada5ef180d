// How the reference ERP reads the objects its callers hand it (upload graphs, download input,
// record sets): only through their accessors, by method name, as any component must, so a
// caller may pass objects of any implementation. And how it answers: new property-bag data
// objects, and manager objects whose methods are member functions.
//
// Stateless functions; an object is used by one thread at a time.
#ifndef TQS_ERP_LATE_BOUND_INTERNAL_H_
#define TQS_ERP_LATE_BOUND_INTERNAL_H_

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "platform/automation/data_object.h"
#include "platform/automation/object.h"
#include "platform/automation/variant.h"

namespace tqs::erp::internal {

using automation::DataObject;
using automation::ObjectPtr;
using automation::Variant;

// The answer of `method` called without arguments.
Variant Ask(const ObjectPtr& object, std::string_view method);
// The answer of an indexed getter; the index is passed as a 32-bit whole number.
Variant AskAt(const ObjectPtr& object, std::string_view method, std::int32_t index);
// A count, read as a 32-bit whole number (an empty answer counts 0).
std::int32_t AskCount(const ObjectPtr& object, std::string_view method);
// A presence test: null and empty answers count as false.
bool AskPresence(const ObjectPtr& object, std::string_view method);

// The object a value holds; nullptr for empty, null and Nothing. Another kind of value raises
// type mismatch (13) naming `what`.
ObjectPtr OptionalObject(const Variant& value, std::string_view what);

// A value as the ERP keeps it: text as given, numbers in their shortest exact form with a
// decimal point, Booleans as "1"/"0", dates as "yyyy-mm-dd hh:nn:ss"; null and empty give "".
std::string KeptText(const Variant& value);

// Raises error 450 naming the method when `args` does not hold `count` arguments.
void RequireArguments(std::span<Variant> args, std::size_t count, std::string_view prog_id,
                      std::string_view method);

// A new property bag created under `prog_id`.
std::shared_ptr<DataObject> NewDataObject(std::string_view prog_id);

// A late-bound object whose methods are member functions of `target`:
//   MakeComponentObject(prog_id, manager, {{"Initialize", &Manager::Initialize}, ...})
// Each member function receives the arguments by reference and returns the call's result.
template <typename T>
ObjectPtr MakeComponentObject(
    std::string_view prog_id, std::shared_ptr<T> target,
    std::initializer_list<std::pair<std::string_view, Variant (T::*)(std::span<Variant>)>>
        methods) {
  auto object = NewDataObject(prog_id);
  for (const auto& [name, member] : methods) {
    object->DefineMethod(name, [target, member = member](std::span<Variant> args) {
      return ((*target).*member)(args);
    });
  }
  return object;
}

}  // namespace tqs::erp::internal

#endif  // TQS_ERP_LATE_BOUND_INTERNAL_H_
