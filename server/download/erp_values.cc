#include <fmt/format.h>

#include "common/text.h"
#include "server/download/erp_values_internal.h"

namespace tqs::server::download::internal {

Error NameTheAnswer(const Error& error, std::string_view method, const Variant& answer) {
  return Error(error.number(), fmt::format("{} ({} answered {})", error.description(), method,
                                           answer.DebugString()));
}

Variant Ask(const ObjectPtr& object, std::string_view method) { return object->Invoke(method, {}); }

bool AskPresence(const ObjectPtr& object, std::string_view method) {
  const Variant answer = Ask(object, method);
  if (answer.IsNull()) return false;
  try {
    return answer.AsBoolean();
  } catch (const Error& error) {
    throw NameTheAnswer(error, method, answer);
  }
}

std::int32_t AskCount(const ObjectPtr& object, std::string_view method) {
  const Variant answer = Ask(object, method);
  try {
    return answer.AsInt32();
  } catch (const Error& error) {
    throw NameTheAnswer(error, method, answer);
  }
}

Variant AskAt(const ObjectPtr& object, std::string_view method, std::int32_t index) {
  Variant args[] = {Variant(index)};
  return object->Invoke(method, args);
}

ObjectPtr OptionalObject(const Variant& answer, std::string_view method) {
  switch (answer.type()) {
    case automation::VariantType::kEmpty:
    case automation::VariantType::kNull:
      return nullptr;
    case automation::VariantType::kObject:
      try {
        return answer.AsObject();
      } catch (const Error&) {
        return nullptr;  // holds Nothing
      }
    default:
      throw NameTheAnswer(TypeMismatchError(), method, answer);
  }
}

ObjectPtr RequireObject(const Variant& answer, std::string_view method) {
  ObjectPtr object = OptionalObject(answer, method);
  if (!object) throw NameTheAnswer(ObjectNotSetError(), method, answer);
  return object;
}

namespace {

// The calling thread's innermost tally.
thread_local ReplacementTally* current_tally = nullptr;

// Appends `text` escaped, counting what had to be replaced.
void AppendText(std::string& out, std::string_view text) {
  if (const std::size_t replaced = AppendEscapedXml(out, text)) ReplacementTally::Add(replaced);
}

}  // namespace

ReplacementTally::ReplacementTally() : outer_(current_tally) { current_tally = this; }

ReplacementTally::~ReplacementTally() { current_tally = outer_; }

void ReplacementTally::Add(std::size_t replaced) {
  if (current_tally) current_tally->count_ += replaced;
}

// Text answers, nearly every value of a document, are escaped from where the answer holds
// them; only the other types are converted to a text of their own first.
void AppendEscaped(std::string& out, const Variant& answer, std::string_view method) {
  if (const auto text = answer.TextView()) return AppendText(out, *text);
  try {
    AppendText(out, answer.AsText());
  } catch (const Error& error) {
    throw NameTheAnswer(error, method, answer);
  }
}

void AppendAsDelivered(std::string& out, const Variant& answer, std::string_view method) {
  if (const auto text = answer.TextView()) return AppendText(out, *text);
  try {
    AppendText(out, answer.ToTextOrEmpty());
  } catch (const Error& error) {
    throw NameTheAnswer(error, method, answer);
  }
}

}  // namespace tqs::server::download::internal
