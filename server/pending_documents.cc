#include "server/pending_documents.h"

#include <fmt/format.h>

#include "common/text.h"
#include "common/utf8.h"
#include "platform/db/recordset.h"
#include "server/report_text.h"

namespace tqs::server {
namespace {

constexpr char kSummaryColumns[] =
    "SELECT INTERACTIONKEY, EMPLOYEEID, BUSINESSDOCUMENTTYPE, BUSINESSDOCUMENTID, ATTEMPTCOUNT, "
    "ATTEMPTSTARTEDON, LASTERROR, RECEIVEDON, ATTEMPTOPEN, INTERACTIONSTATUS";

std::int64_t Integer(const automation::Variant& value) {
  return static_cast<std::int64_t>(value.AsDouble());
}

// Read from the current row of a set opened with kSummaryColumns (and more after them).
DocumentSummary ReadSummary(const db::Recordset& rs) {
  DocumentSummary document;
  document.key = Integer(rs.Field(0));
  document.employee = rs.Field(1).ToTextOrEmpty();
  document.type = rs.Field(2).IsNull() ? 0 : rs.Field(2).AsInt32();
  document.document_id = rs.Field(3).ToTextOrEmpty();
  if (!rs.Field(4).IsNull()) document.attempts = rs.Field(4).AsInt32();
  document.attempt_started_on = rs.Field(5).TryDate();
  document.last_error = rs.Field(6).TryText();
  document.received_on = rs.Field(7).TryDate();
  const bool pending = !rs.Field(9).IsNull() && rs.Field(9).AsInt32() == 5;
  document.in_doubt = pending && !rs.Field(8).IsNull() && rs.Field(8).AsInt32() == 1;
  return document;
}

nlohmann::json Optional(const auto& value) {
  return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

nlohmann::json OptionalTime(const std::optional<DateTime>& value, std::string (*format)(DateTime)) {
  return value ? nlohmann::json(format(*value)) : nlohmann::json(nullptr);
}

std::string TimeOrDash(const std::optional<DateTime>& value, std::string (*format)(DateTime)) {
  return value ? format(*value) : "-";
}

// The first line of an error description, at most `width` characters.
std::string OneLine(const std::optional<std::string>& text, std::size_t width) {
  if (!text || text->empty()) return "-";
  std::string line = text->substr(0, text->find_first_of("\r\n"));
  const bool too_wide = CharacterCount(line) > width;
  const bool cut = too_wide || line.size() < text->size();
  if (too_wide) line = Left(line, width - 3);
  return cut ? line + "..." : line;
}

// One line of the document table.
constexpr std::string_view kDocumentRow =
    "{:>8}  {:<10} {:<19} {:<16} {:>8}  {:<19}  {:<20}  {:<8}  {}\n";

}  // namespace

std::vector<DocumentSummary> ListPendingDocuments(db::Connection& connection,
                                                  const DocumentSelection& selection,
                                                  std::optional<std::int64_t> limit) {
  std::string sql = std::string(kSummaryColumns) + " FROM CLIENTSERVERINTERACTION WHERE " +
                    SelectionCondition(selection) + " ORDER BY INTERACTIONKEY";
  if (limit) sql += fmt::format(" LIMIT {}", *limit);
  std::vector<DocumentSummary> documents;
  auto rs =
      db::Recordset::Open(sql, connection, db::CursorType::kForwardOnly, db::LockType::kReadOnly);
  for (; !rs->IsEOF(); rs->MoveNext()) documents.push_back(ReadSummary(*rs));
  return documents;
}

std::optional<DocumentDetail> ReadDocument(db::Connection& connection, std::int64_t key) {
  auto rs = db::Recordset::Open(
      fmt::format("{}, PROCESSEDON, BUSINESSDOCUMENTCONTENTS, INTERACTIONRESULT "
                  "FROM CLIENTSERVERINTERACTION WHERE INTERACTIONKEY = {}",
                  kSummaryColumns, key),
      connection, db::CursorType::kForwardOnly, db::LockType::kReadOnly);
  if (rs->IsEOF()) return std::nullopt;
  DocumentDetail document;
  document.summary = ReadSummary(*rs);
  if (!rs->Field(9).IsNull()) document.status = rs->Field(9).AsInt32();
  document.processed_on = rs->Field(10).TryDate();
  document.contents = rs->Field(11).ToTextOrEmpty();
  document.result = rs->Field(12).TryText();
  return document;
}

nlohmann::json ToJson(const DocumentSummary& document) {
  return {{"key", document.key},
          {"employee", document.employee},
          {"type", document.type},
          {"type_name", DocumentTypeName(document.type)},
          {"document_id", document.document_id},
          {"attempts", Optional(document.attempts)},
          {"attempt_started_on", OptionalTime(document.attempt_started_on, LocalTimeText)},
          {"last_error", Optional(document.last_error)},
          {"received_on", OptionalTime(document.received_on, IsoUtc)},
          {"in_doubt", document.in_doubt}};
}

nlohmann::json ToJson(const DocumentDetail& document) {
  nlohmann::json json = ToJson(document.summary);
  json["status"] = Optional(document.status);
  json["processed_on"] = OptionalTime(document.processed_on, LocalTimeText);
  json["contents"] = document.contents;
  json["result"] = Optional(document.result);
  return json;
}

std::string FormatDocumentList(const std::vector<DocumentSummary>& documents) {
  if (documents.empty()) return "No pending document is in doubt or failing repeatedly.\n";
  std::string text =
      fmt::format(fmt::runtime(kDocumentRow), "key", "employee", "type", "document", "attempts",
                  "last attempt", "received (UTC)", "in doubt", "last error");
  for (const DocumentSummary& document : documents) {
    text += fmt::format(fmt::runtime(kDocumentRow), document.key, document.employee,
                        DocumentTypeName(document.type), document.document_id,
                        document.attempts ? std::to_string(*document.attempts) : "-",
                        TimeOrDash(document.attempt_started_on, LocalTimeText),
                        TimeOrDash(document.received_on, IsoUtc), document.in_doubt ? "yes" : "no",
                        OneLine(document.last_error, 60));
  }
  return text;
}

std::string FormatDocumentDetail(const DocumentDetail& document) {
  const DocumentSummary& summary = document.summary;
  std::string status = "null (a return value the broker did not recognise)";
  if (document.status) {
    switch (*document.status) {
      case 5:
        status = summary.in_doubt ? "5 (pending, in doubt)" : "5 (pending)";
        break;
      case 10:
        status = "10 (processed)";
        break;
      case 15:
        status = "15 (failed)";
        break;
      default:
        status = std::to_string(*document.status);
    }
  }
  std::string text;
  const auto line = [&text](std::string_view name, std::string_view value) {
    text += fmt::format("{:<20}{}\n", name, value);
  };
  line("key", std::to_string(summary.key));
  line("employee", summary.employee);
  line("type", fmt::format("{} ({})", summary.type, DocumentTypeName(summary.type)));
  line("document", summary.document_id);
  line("status", status);
  line("in doubt", summary.in_doubt ? "yes" : "no");
  line("attempts", summary.attempts ? std::to_string(*summary.attempts) : "none");
  line("last attempt", TimeOrDash(summary.attempt_started_on, LocalTimeText));
  line("received (UTC)", TimeOrDash(summary.received_on, IsoUtc));
  line("processed", TimeOrDash(document.processed_on, LocalTimeText));
  line("last error", summary.last_error.value_or("-"));
  text += "\nstored document:\n" + document.contents + "\n";
  text += "\nstored result:\n" + document.result.value_or("(none)") + "\n";
  return text;
}

}  // namespace tqs::server
