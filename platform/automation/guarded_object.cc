#include "platform/automation/guarded_object.h"

#include <vector>

namespace tqs::automation {
namespace {

const GuardedObject* AsGuarded(const Variant& value) {
  return dynamic_cast<const GuardedObject*>(value.TryObject().get());
}

}  // namespace

Error NonErrorExceptionError(std::string_view prog_id, std::string_view method) {
  return Error(error_number::kGenericFailure,
               "The component " + std::string(prog_id) +
                   " raised an exception that is not an error object while running method " +
                   std::string(method) + ".");
}

ObjectPtr GuardedObject::Guard(std::shared_ptr<const void> library, ObjectPtr object) {
  if (!object) return nullptr;
  return std::make_shared<GuardedObject>(std::move(library), std::move(object));
}

std::string GuardedObject::ProgId() const {
  try {
    return object_->ProgId();
  } catch (...) {
    return {};
  }
}

Variant GuardedObject::GuardOutgoing(Variant value) const {
  if (!value.IsObject() || AsGuarded(value) != nullptr) return value;
  ObjectPtr object = value.TryObject();
  if (!object) return value;
  return Variant(Guard(library_, std::move(object)));
}

Variant GuardedObject::Invoke(std::string_view method, std::span<Variant> args) {
  // Objects of this library go in as the library made them, so it may recognise its own; they
  // come back as the guarded objects the caller passed when the call left them in place.
  std::vector<ObjectPtr> passed(args.size());
  for (std::size_t i = 0; i < args.size(); ++i) {
    const GuardedObject* guarded = AsGuarded(args[i]);
    if (guarded != nullptr && guarded->library_ == library_) {
      passed[i] = args[i].TryObject();
      args[i] = Variant(guarded->object_);
    }
  }
  const auto restore_arguments = [&] {
    for (std::size_t i = 0; i < args.size(); ++i) {
      const ObjectPtr now = args[i].TryObject();
      if (passed[i] && now == static_cast<const GuardedObject&>(*passed[i]).object_) {
        args[i] = Variant(passed[i]);
      } else {
        args[i] = GuardOutgoing(std::move(args[i]));
      }
    }
  };

  Variant result;
  try {
    result = object_->Invoke(method, args);
  } catch (const Error&) {
    restore_arguments();
    throw;
  } catch (const std::exception& error) {
    restore_arguments();
    throw Error(error_number::kGenericFailure, error.what());
  } catch (...) {
    restore_arguments();
    throw NonErrorExceptionError(ProgId(), method);
  }
  restore_arguments();
  return GuardOutgoing(std::move(result));
}

}  // namespace tqs::automation
