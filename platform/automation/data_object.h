// A DataObject is a late-bound property bag for business data objects whose interfaces are
// hundreds of accessors named after their properties. Instead of hand-written methods it
// answers calls by the shape of their name:
//
//   set<Name>(value)      stores value under Name (objects too)
//   get<Name>()           the stored value, Empty when never set
//   has<Name>()           Boolean: set, and neither null nor empty
//   add<Name>(value)      appends value to the list Name
//   size<Name>()          Int32: the number of elements of the list Name (0 when never added)
//   get<Name>At(index)    the element at the 0-based index; outside the list raises error 9
//
// Names are matched without regard to case, as late binding does (setOrderStatus and
// getORDERSTATUS reach the same property). A call whose name fits no pattern raises error 438,
// one with the wrong number of arguments error 450. Methods defined with DefineMethod take
// precedence over the patterns, so an owner or subclass can give a few methods real behaviour
// (a computed getter, a validating setter) and leave the rest to the bag. Get/Set/Add/List
// reach the same properties from C++.
//
// Used by one thread at a time, like every Object.
#ifndef TQS_PLATFORM_AUTOMATION_DATA_OBJECT_H_
#define TQS_PLATFORM_AUTOMATION_DATA_OBJECT_H_

#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/object.h"
#include "platform/automation/variant.h"

namespace tqs::automation {

class DataObject : public Object {
 public:
  // A method body: receives the arguments by reference and returns the result.
  using Method = std::function<Variant(std::span<Variant> args)>;

  explicit DataObject(std::string prog_id = {});

  Variant Invoke(std::string_view method, std::span<Variant> args) override;
  std::string ProgId() const override { return prog_id_; }

  // Answers calls to `name` (any case) with `method` instead of the name patterns; a second
  // definition of the same name replaces the first.
  void DefineMethod(std::string_view name, Method method);

  // Scalar properties. Get returns Empty for a property never set.
  const Variant& Get(std::string_view name) const;
  void Set(std::string_view name, Variant value);
  // Set, and neither null nor empty.
  bool Has(std::string_view name) const;

  // List properties. List returns an empty list for a name never added to.
  const std::vector<Variant>& List(std::string_view name) const;
  void Add(std::string_view name, Variant value);

  // The names of the properties and lists held, each as first spelt, sorted without regard to
  // case: lets an owner copy or store a whole object.
  std::vector<std::string> PropertyNames() const;
  std::vector<std::string> ListNames() const;

 private:
  // Orders names without regard to case, comparing in place: a look-up by a method's name
  // allocates nothing.
  struct NameLess {
    using is_transparent = void;
    bool operator()(std::string_view left, std::string_view right) const;
  };
  // Keyed by the name as first spelt.
  template <typename T>
  using ByName = std::map<std::string, T, NameLess>;

  Variant InvokePattern(std::string_view method, std::span<Variant> args);

  const std::string prog_id_;
  ByName<Method> methods_;
  ByName<Variant> properties_;
  ByName<std::vector<Variant>> lists_;
};

}  // namespace tqs::automation

#endif  // TQS_PLATFORM_AUTOMATION_DATA_OBJECT_H_
