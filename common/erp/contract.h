// The shapes in which the ERP components' names are published to the programs. The ERP is
// reached only by late binding: objects are created by programmatic identifier and called by
// method name, and a name spelt differently from the component's is a run-time failure, not a
// compile error. The headers beside this one (job_sheets.h, service_inspections.h,
// hours_accounting.h, assignments.h) therefore hold every identifier and method name in one
// place, so the broker, the server component and the reference ERP use one spelling.
//
// Every text value crosses the contract as plain text, both ways: no markup, no entities, no
// escaping. The programs escape what they write into XML themselves (common/text.h).
//
// Everything here is a compile-time constant; safe to use from any thread.
#ifndef TQS_COMMON_ERP_CONTRACT_H_
#define TQS_COMMON_ERP_CONTRACT_H_

#include <string_view>

namespace tqs::erp {

// A property of an ERP data object: the presence test ("hasOrderStatus", answers a Boolean),
// the getter ("getOrderStatus") and the setter ("setOrderStatus", one value).
struct Property {
  std::string_view has;
  std::string_view get;
  std::string_view set;
};

// An identifying attribute of a data object, carried as an XML attribute in the documents
// ("getOriginAttribute", "setOriginAttribute").
struct Attribute {
  std::string_view get;
  std::string_view set;
};

// The entries of a collection object: the count ("sizeActivityData", a 32-bit whole number),
// the entry at a 0-based index passed by reference ("getActivityDataAt") and the append
// ("addActivityData", the entry passed by reference).
struct List {
  std::string_view size;
  std::string_view at;
  std::string_view add;
};

// Hands a component the idempotency key of the document it is about to book (one text: the
// installation id, "/" and the document's interaction key, stable across every attempt to
// deliver that document). Called only on components whose registry entry says they accept
// keys (ComponentRegistry::AcceptsIdempotencyKeys). A component that accepts keys books a
// document at most once per key: a repeated call with a key it has seen is answered with the
// outcome of the first call with that key (the same return value, the same errors, the same
// new line numbers), without booking again; a rejection is remembered and repeated the same
// way. Keys are scoped per component and method, so the same text given to two components
// names two documents. Without a key a component books as it always does.
inline constexpr std::string_view kSetIdempotencyKey = "setIdempotencyKey";

}  // namespace tqs::erp

#endif  // TQS_COMMON_ERP_CONTRACT_H_
