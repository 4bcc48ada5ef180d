// How the download reads the ERP's late-bound objects: calls by method name, the reading rules
// for their answers (presence tests, counts, entries at an index, objects that must or may be
// there, values as escaped text or as delivered), and the trap that turns a failed writer into
// its error text. Every conversion failure names the method whose answer could not be used.
//
// Stateless functions; an ERP object is used by one thread at a time.
#ifndef TQS_SERVER_DOWNLOAD_ERP_VALUES_INTERNAL_H_
#define TQS_SERVER_DOWNLOAD_ERP_VALUES_INTERNAL_H_

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <utility>

#include "common/error.h"
#include "platform/automation/object.h"
#include "platform/automation/variant.h"
#include "server/error_trap.h"

namespace tqs::server::download::internal {

using automation::ObjectPtr;
using automation::Variant;

// `error`, raised while using the answer of `method`, with the method and the answer named:
// "Invalid use of Null (getItem answered Null)".
Error NameTheAnswer(const Error& error, std::string_view method, const Variant& answer);

// The answer of `method` called without arguments.
Variant Ask(const ObjectPtr& object, std::string_view method);

// A presence test (or any Boolean answer): a null answer counts as false.
bool AskPresence(const ObjectPtr& object, std::string_view method);

// A count, read as a 32-bit whole number.
std::int32_t AskCount(const ObjectPtr& object, std::string_view method);

// The entry at `index` of an indexed getter; the index is passed by reference as a 32-bit
// whole number.
Variant AskAt(const ObjectPtr& object, std::string_view method, std::int32_t index);

// The object an answer holds. An answer without an object (empty, null, Nothing) raises the
// object-not-set error 91, another kind of value a type mismatch; both name `method`.
ObjectPtr RequireObject(const Variant& answer, std::string_view method);

// As RequireObject, but an answer without an object gives nullptr.
ObjectPtr OptionalObject(const Variant& answer, std::string_view method);

// Appends the answer converted to text and escaped for XML; a null answer cannot be converted
// and raises "Invalid use of Null" naming `method`.
void AppendEscaped(std::string& out, const Variant& answer, std::string_view method);

// Appends the answer in its default text form; a null answer appends nothing. The ERP hands
// every value over as plain text, so this text is escaped for XML too: a value the writer
// does not interpret (a date, an amount, a head attribute) cannot break the document.
void AppendAsDelivered(std::string& out, const Variant& answer, std::string_view method);

// Counts the characters that the Append functions above write as U+FFFD (a control character
// or bytes that are not UTF-8 in an ERP value) on the calling thread while it lives, so the
// caller can report a repaired document once. Tallies nest; the innermost one counts.
class ReplacementTally {
 public:
  ReplacementTally();
  ~ReplacementTally();
  ReplacementTally(const ReplacementTally&) = delete;
  ReplacementTally& operator=(const ReplacementTally&) = delete;

  std::size_t count() const { return count_; }

  // Adds `replaced` to the calling thread's innermost tally, if any.
  static void Add(std::size_t replaced);

 private:
  ReplacementTally* const outer_;
  std::size_t count_ = 0;
};

// Appends the answer of `method`, escaped or as delivered.
inline void AppendEscapedAnswer(std::string& out, const ObjectPtr& object,
                                std::string_view method) {
  AppendEscaped(out, Ask(object, method), method);
}
inline void AppendAnswer(std::string& out, const ObjectPtr& object, std::string_view method) {
  AppendAsDelivered(out, Ask(object, method), method);
}

// Runs `write(output)` on the emptied output, so a caller that writes many documents into one
// text reuses its capacity instead of growing a new text for each. On success the result is
// true; when `write` raises, `output` receives the error's description in place of the partial
// text (nothing partial is returned) and the result is false.
template <typename Write>
bool RunWriter(std::string& output, Write&& write) {
  output.clear();
  std::string error_text;
  if (Trapped(error_text, [&] { std::forward<Write>(write)(output); })) return true;
  output = std::move(error_text);
  return false;
}

}  // namespace tqs::server::download::internal

#endif  // TQS_SERVER_DOWNLOAD_ERP_VALUES_INTERNAL_H_
