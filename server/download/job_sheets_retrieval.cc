#include "server/download/job_sheets_retrieval.h"

#include <fmt/format.h>

#include <array>
#include <cstdint>
#include <string>

#include "common/erp/job_sheets.h"
#include "common/error.h"
#include "common/text.h"
#include "server/download/erp_values_internal.h"
#include "server/download/job_sheet_document.h"

namespace tqs::server::download {

namespace {

namespace js = erp::job_sheets;
using automation::ObjectPtr;
using automation::Variant;
using internal::Ask;
using internal::AskAt;
using internal::AskCount;
using internal::AskPresence;
using internal::RequireObject;

// The positions of the manager's getJobSheets arguments. All seven are variables of the
// retrieval passed by reference: what the ERP assigns to one of them is what the next portion
// hands back.
enum Argument : std::size_t {
  kEmployee,
  kInput,
  kOutput,
  kContinuationFlag,
  kState,
  kErrorStructure,
  kSecondNumber,
  kArgumentCount
};

// The most portions one download may take. An ERP keeps a download going for as long as it
// says more follow; one that never completes it (a lost state, an adapter that always answers
// "more") would otherwise hold the caller's thread and grow the response without end. Real
// downloads take a handful of portions.
constexpr int kMaxPortions = 10000;

// A whole-number variable of the retrieval: whatever the ERP assigned is held as a 32-bit
// whole number again.
void KeepWholeNumber(Variant& variable, std::string_view name) {
  try {
    variable = Variant(variable.AsInt32());
  } catch (const Error& error) {
    throw Error(error.number(), error.description() + " (the " + std::string(name) +
                                    " the ERP handed back holds " +
                                    Excerpt(variable.DebugString()) + ")");
  }
}

// The ERP error document of an error structure that reports `count` errors.
std::string ErrorDocument(const ObjectPtr& errors, std::int32_t count) {
  std::string document = "<errors>";
  for (std::int32_t index = 0; index < count; ++index) {
    document += "<error>";
    internal::AppendAsDelivered(document, AskAt(errors, js::download::kErrors.at, index),
                                js::download::kErrors.at);
    document += "</error>";
  }
  document += "</errors>";
  return document;
}

// Appends the job sheet documents of a new or addition list. False, with the writer's text in
// `failure`, when a document cannot be written.
bool CollectJobSheets(const ObjectPtr& result, const erp::Property& list_property,
                      std::string& text, std::string& failure) {
  if (!AskPresence(result, list_property.has)) return true;
  const ObjectPtr list = RequireObject(Ask(result, list_property.get), list_property.get);
  const std::int32_t count = AskCount(list, js::download::kJobSheetData.size);
  std::string document;  // each document is written into the capacity of the one before
  for (std::int32_t index = 0; index < count; ++index) {
    const ObjectPtr entry = RequireObject(AskAt(list, js::download::kJobSheetData.at, index),
                                          js::download::kJobSheetData.at);
    if (!AskPresence(entry, js::download::kServiceOrderData.has)) continue;
    if (!BuildServiceOrderXml(Ask(entry, js::download::kServiceOrderData.get), document)) {
      failure = std::move(document);
      return false;
    }
    text += document;
  }
  return true;
}

// Appends the cancellation elements of the cancellation list; failures as CollectJobSheets.
bool CollectCancellations(const ObjectPtr& result, std::string& text, std::string& failure) {
  const erp::Property& list_property = js::download::kCancellationJobSheets;
  if (!AskPresence(result, list_property.has)) return true;
  const ObjectPtr list = RequireObject(Ask(result, list_property.get), list_property.get);
  const std::int32_t count = AskCount(list, js::download::kCancelOrder.size);
  std::string element;
  for (std::int32_t index = 0; index < count; ++index) {
    if (!BuildCancellationXml(AskAt(list, js::download::kCancelOrder.at, index), element)) {
      failure = std::move(element);
      return false;
    }
    text += element;
  }
  return true;
}

// Appends "<tag>" + text + "</tag>" when the text is not blank.
void AppendSection(std::string& document, std::string_view tag, const std::string& text) {
  if (Trim(text).empty()) return;
  document += '<';
  document += tag;
  document += '>';
  document += text;
  document += "</";
  document += tag;
  document += '>';
}

// True when the state says the ERP has delivered everything. Like any comparison with null, a
// null answer is not equal to 1.
bool Completed(const ObjectPtr& state) {
  const Variant answer = Ask(state, js::download::kCompletedStateAttribute);
  if (answer.IsNull()) return false;
  try {
    return answer.AsDouble() == 1.0;
  } catch (const Error& error) {
    throw internal::NameTheAnswer(error, js::download::kCompletedStateAttribute, answer);
  }
}

}  // namespace

bool RetrieveJobSheets(const automation::ComponentRegistry& components, const std::string& employee,
                       const std::string& bus_component, const ObjectPtr& input,
                       Variant& o_vJobSheets, Variant& o_vErrorDetails,
                       const WarningSink& warnings) {
  const internal::ReplacementTally replaced;
  // Once per document handed out (the response or the ERP error document); a failed writer
  // hands out nothing.
  const auto warn_if_repaired = [&](std::string_view document) {
    if (replaced.count() == 0 || !warnings) return;
    warnings(fmt::format(
        "getJobSheets for employee {}: the ERP's values held {} character(s) that XML cannot "
        "carry (control characters or bytes that are not UTF-8); the {} has U+FFFD in their "
        "place",
        employee, replaced.count(), document));
  };
  try {
    const ObjectPtr manager = components.Create(js::prog_id::kJobSheetsManager);
    const ObjectPtr output = components.Create(js::prog_id::kOJobSheets);
    const ObjectPtr state = components.Create(js::prog_id::kIoState);
    const ObjectPtr errors = components.Create(js::prog_id::kOErrorStruct);

    o_vJobSheets = Variant("");
    std::string new_text;
    std::string addition_text;
    std::string cancellation_text;

    {
      Variant args[] = {Variant(bus_component)};
      manager->Invoke(js::manager::kInitialize, args);
    }

    std::array<Variant, kArgumentCount> args;
    args[kEmployee] = Variant(employee);
    args[kInput] = Variant(input);
    args[kOutput] = Variant(output);
    args[kContinuationFlag] = Variant(std::int32_t{0});
    args[kState] = Variant(state);
    args[kErrorStructure] = Variant(errors);
    args[kSecondNumber] = Variant(std::int32_t{0});

    for (int portion = 1;; ++portion) {
      if (portion > kMaxPortions) {
        throw Error(error_number::kGenericFailure,
                    fmt::format("The ERP did not complete the download of employee {} within {} "
                                "portions (it kept saying that more follow); the download was "
                                "stopped",
                                employee, kMaxPortions));
      }
      const ObjectPtr response = RequireObject(manager->Invoke(js::manager::kGetJobSheets, args),
                                               js::manager::kGetJobSheets);
      KeepWholeNumber(args[kContinuationFlag], "continuation flag");
      KeepWholeNumber(args[kSecondNumber], "second whole number");

      args[kErrorStructure] = Ask(response, js::download::kGetOErrorStruct);
      const ObjectPtr error_structure =
          RequireObject(args[kErrorStructure], js::download::kGetOErrorStruct);
      const std::int32_t error_count = AskCount(error_structure, js::download::kErrors.size);
      if (error_count >= 1) {
        o_vErrorDetails = Variant(ErrorDocument(error_structure, error_count));
        warn_if_repaired("ERP error document");
        return false;
      }

      const ObjectPtr result =
          RequireObject(Ask(response, js::download::kGetOJobSheets), js::download::kGetOJobSheets);
      std::string failure;
      if (!CollectJobSheets(result, js::download::kNewJobSheets, new_text, failure) ||
          !CollectJobSheets(result, js::download::kAdditionJobSheets, addition_text, failure) ||
          !CollectCancellations(result, cancellation_text, failure)) {
        o_vErrorDetails = Variant(std::move(failure));
        return false;
      }

      if (args[kContinuationFlag].AsInt32() == 0) break;
      args[kState] = Ask(response, js::download::kGetIoState);
      if (Completed(RequireObject(args[kState], js::download::kGetIoState))) break;
    }

    manager->Call(js::manager::kClose);

    std::string document = "<jobsheets>";
    AppendSection(document, "new", new_text);
    AppendSection(document, "append", addition_text);
    AppendSection(document, "cancellations", cancellation_text);
    document += "</jobsheets>";
    o_vJobSheets = Variant(std::move(document));
    warn_if_repaired("job sheets response");
    return true;
  } catch (const Error& error) {
    o_vErrorDetails = Variant(error.description());
  } catch (const std::exception& error) {
    o_vErrorDetails = Variant(std::string(error.what()));
  }
  return false;
}

}  // namespace tqs::server::download
