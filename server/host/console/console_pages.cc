#include "server/host/console/console_pages.h"

#include <fmt/format.h>

#include <initializer_list>
#include <pugixml.hpp>
#include <sstream>
#include <utility>

#include "common/text.h"
#include "server/host/console/console_assets.h"
#include "server/report_text.h"

namespace tqs::server::host::console {
namespace {

// HTML text and attribute values: the XML escaping serves both (it escapes both quotes) and
// writes characters that cannot be shown as U+FFFD.
std::string Html(std::string_view text) { return EscapeXmlText(text); }

// `page` with each "{{name}}" replaced by its value (markup, escaped by the caller).
std::string Fill(std::string_view page,
                 std::initializer_list<std::pair<std::string_view, std::string_view>> values) {
  std::string out;
  out.reserve(page.size());
  std::size_t at = 0;
  while (at < page.size()) {
    const std::size_t open = page.find("{{", at);
    if (open == std::string_view::npos) break;
    const std::size_t close = page.find("}}", open);
    if (close == std::string_view::npos) break;
    out.append(page.substr(at, open - at));
    const std::string_view name = page.substr(open + 2, close - open - 2);
    for (const auto& [key, value] : values) {
      if (key == name) out.append(value);
    }
    at = close + 2;
  }
  out.append(page.substr(std::min(at, page.size())));
  return out;
}

std::string Layout(std::string_view title, const PageFrame& frame, std::string_view content) {
  std::string notice;
  if (!frame.notice.text.empty()) {
    notice = fmt::format("<p class=\"notice{}\" role=\"status\" id=\"notice\">{}</p>",
                         frame.notice.refused ? " refused" : "", Html(frame.notice.text));
  }
  return Fill(assets::kLayoutHtml, {{"title", Html(title)},
                                    {"csrf", Html(frame.csrf_token)},
                                    {"notice", notice},
                                    {"content", content}});
}

std::string Optional(const std::optional<std::string>& text) {
  return text && !text->empty() ? Html(*text) : "-";
}

std::string Time(const std::optional<DateTime>& value, std::string (*format)(DateTime)) {
  return value ? format(*value) : "-";
}

std::string Attempts(const std::optional<std::int32_t>& attempts) {
  return attempts ? std::to_string(*attempts) : "-";
}

// A pending row that counts as repeatedly failing (server/pending_selection.h).
bool Failing(const DocumentSummary& summary) {
  return !summary.in_doubt && summary.attempts.value_or(0) >= kFailingAttempts &&
         summary.last_error && !summary.last_error->empty();
}

std::string StatusText(const DocumentDetail& document) {
  if (!document.status) return "null (a return value the broker did not recognise)";
  switch (*document.status) {
    case 5:
      if (document.summary.in_doubt) return "pending, in doubt";
      return Failing(document.summary) ? "pending, failing repeatedly" : "pending";
    case 10:
      return "processed";
    case 15:
      return "failed";
    default:
      return std::to_string(*document.status);
  }
}

std::string Selected(bool selected) { return selected ? " selected" : ""; }

std::string ActionForm(std::int64_t key, std::string_view action, std::string_view button,
                       std::string_view explanation, std::string_view question,
                       const PageFrame& frame) {
  return fmt::format(
      "<form method=\"post\" action=\"/console/documents/{0}/{1}\" data-confirm=\"{4}\" "
      "id=\"{1}-form\">\n"
      "<input type=\"hidden\" name=\"csrf\" value=\"{5}\">\n"
      "<p>{3}</p>\n"
      "<label>Note for the audit log <input type=\"text\" name=\"note\" "
      "maxlength=\"500\"></label>\n"
      "<button type=\"submit\" id=\"{1}\">{2}</button>\n</form>\n",
      key, action, Html(button), Html(explanation), Html(question), Html(frame.csrf_token));
}

}  // namespace

std::string IndentedXml(std::string_view text) {
  pugi::xml_document document;
  const pugi::xml_parse_result parsed =
      document.load_buffer(text.data(), text.size(),
                           pugi::parse_default | pugi::parse_declaration | pugi::parse_comments);
  if (!parsed || text.empty()) return std::string(text);
  std::ostringstream out;
  document.save(out, "  ", pugi::format_indent | pugi::format_no_declaration);
  std::string indented = out.str();
  while (!indented.empty() && indented.back() == '\n') indented.pop_back();
  return indented;
}

std::string LoginPage(std::string_view message) {
  const std::string shown =
      message.empty() ? std::string()
                      : "<p class=\"notice refused\" role=\"alert\" id=\"login-message\">" +
                            Html(message) + "</p>";
  return Fill(assets::kLoginHtml, {{"message", shown}});
}

std::string OverviewPage(const QueueHealth& queue, const PageFrame& frame) {
  std::string content = fmt::format(
      "<div id=\"overview\" data-refresh-seconds=\"5\">\n"
      "<div class=\"cards\">\n"
      "<a class=\"card{}\" href=\"/console/documents?kind=in-doubt\"><div class=\"figure\" "
      "id=\"in-doubt-count\">{}</div>in doubt: the ERP may have booked them</a>\n"
      "<a class=\"card{}\" href=\"/console/documents?kind=failing\"><div class=\"figure\" "
      "id=\"failing-count\">{}</div>failing repeatedly</a>\n"
      "</div>\n",
      queue.in_doubt > 0 ? " alert" : "", queue.in_doubt,
      queue.repeatedly_failing > 0 ? " alert" : "", queue.repeatedly_failing);
  content +=
      "<h2>Queue by document type</h2>\n<div class=\"table-wrap\"><table id=\"queue\">\n"
      "<thead><tr><th>Document type</th><th class=\"number\">Pending</th>"
      "<th class=\"number\">Processed</th><th class=\"number\">Failed</th>"
      "<th class=\"number\">Unrecognised</th><th class=\"number\">Oldest "
      "pending</th></tr></thead>\n"
      "<tbody id=\"queue-rows\">\n";
  for (const auto& type : queue.types) {
    std::string oldest = "-";
    if (type.oldest_pending) {
      oldest = type.oldest_pending->age_seconds ? FormatAge(*type.oldest_pending->age_seconds)
                                                : "unknown";
    }
    content += fmt::format(
        "<tr><td>{}</td><td class=\"number\">{}</td><td class=\"number\">{}</td>"
        "<td class=\"number\">{}</td><td class=\"number\">{}</td><td "
        "class=\"number\">{}</td></tr>\n",
        Html(type.name), type.pending, type.processed, type.failed, type.unrecognised, oldest);
  }
  content += "</tbody></table></div>\n";
  if (queue.types.empty()) content += "<p class=\"muted\">No documents uploaded yet.</p>\n";
  content +=
      "<h2>Employees with the most pending documents</h2>\n<div class=\"table-wrap\"><table "
      "id=\"employees\">\n<thead><tr><th>Employee</th><th class=\"number\">Pending</th></tr>"
      "</thead>\n<tbody id=\"employee-rows\">\n";
  for (const auto& employee : queue.busiest_employees) {
    content += fmt::format("<tr><td>{}</td><td class=\"number\">{}</td></tr>\n",
                           Html(employee.employee), employee.pending);
  }
  content +=
      "</tbody></table></div>\n<p class=\"updated muted\" id=\"updated\">Refreshes every 5 "
      "seconds.</p>\n</div>\n";
  return Layout("Upload queue", frame, content);
}

std::string DocumentListPage(const std::vector<DocumentSummary>& documents,
                             const ListFilter& filter, std::size_t limit, const PageFrame& frame) {
  const std::string type = filter.selection.type ? std::to_string(*filter.selection.type) : "";
  std::string content = fmt::format(
      "<form class=\"filters\" method=\"get\" action=\"/console/documents\" id=\"filters\">\n"
      "<label>Kind <select name=\"kind\">"
      "<option value=\"all\"{}>in doubt and failing</option>"
      "<option value=\"in-doubt\"{}>in doubt</option>"
      "<option value=\"failing\"{}>failing repeatedly</option></select></label>\n"
      "<label>Employee <input type=\"text\" name=\"employee\" value=\"{}\"></label>\n"
      "<label>Type <select name=\"type\"><option value=\"\"{}>any</option>"
      "<option value=\"5\"{}>job sheet</option><option value=\"10\"{}>general hours line</option>"
      "<option value=\"15\"{}>service inspection</option></select></label>\n"
      "<button type=\"submit\" class=\"secondary\">Filter</button>\n</form>\n",
      Selected(filter.kind == "all"), Selected(filter.kind == "in-doubt"),
      Selected(filter.kind == "failing"), Html(filter.selection.employee.value_or("")),
      Selected(type.empty()), Selected(type == "5"), Selected(type == "10"),
      Selected(type == "15"));
  if (documents.empty()) {
    content += "<p class=\"muted\" id=\"no-documents\">No pending document matches.</p>\n";
    return Layout("Documents waiting for an operator", frame, content);
  }
  content +=
      "<div class=\"table-wrap\"><table id=\"documents\">\n<thead><tr><th>Key</th><th>Employee</th>"
      "<th>Type</th><th>Document</th><th class=\"number\">Attempts</th><th>Last error</th>"
      "<th>Received (UTC)</th><th>State</th></tr></thead>\n<tbody>\n";
  for (const DocumentSummary& document : documents) {
    content += fmt::format(
        "<tr><td><a href=\"/console/documents/{0}\">{0}</a></td><td>{1}</td><td>{2}</td>"
        "<td>{3}</td><td class=\"number\">{4}</td><td class=\"error\">{5}</td><td>{6}</td>"
        "<td>{7}</td></tr>\n",
        document.key, Html(document.employee), Html(DocumentTypeName(document.type)),
        Html(document.document_id), Attempts(document.attempts), Optional(document.last_error),
        Time(document.received_on, IsoUtc),
        document.in_doubt ? "<span class=\"badge\">in doubt</span>" : "failing");
  }
  content += "</tbody></table></div>\n";
  if (documents.size() >= limit) {
    content += fmt::format(
        "<p class=\"muted\">The first {} documents are shown; narrow the filters to see "
        "others.</p>\n",
        limit);
  }
  return Layout("Documents waiting for an operator", frame, content);
}

std::string DocumentPage(const DocumentDetail& document, const PageFrame& frame) {
  const DocumentSummary& summary = document.summary;
  std::string content = "<dl class=\"fields\" id=\"fields\">\n";
  const auto field = [&](std::string_view name, const std::string& html, std::string_view id) {
    content += fmt::format("<dt>{}</dt><dd id=\"{}\">{}</dd>\n", name, id, html);
  };
  field("Key", std::to_string(summary.key), "field-key");
  field("Status", Html(StatusText(document)), "field-status");
  field("Employee", Html(summary.employee), "field-employee");
  field("Type", Html(fmt::format("{} ({})", DocumentTypeName(summary.type), summary.type)),
        "field-type");
  field("Document", Html(summary.document_id), "field-document");
  field("Attempts", Attempts(summary.attempts), "field-attempts");
  field("Last attempt (broker's time)", Time(summary.attempt_started_on, LocalTimeText),
        "field-last-attempt");
  field("Last error", Optional(summary.last_error), "field-last-error");
  field("Received (UTC)", Time(summary.received_on, IsoUtc), "field-received");
  field("Processed (broker's time)", Time(document.processed_on, LocalTimeText), "field-processed");
  content += "</dl>\n";

  const bool pending = document.status && *document.status == 5;
  const bool waits = pending && (summary.in_doubt || Failing(summary));
  if (pending) {
    content += "<h2>Decide</h2>\n<div class=\"actions\">\n";
    if (waits) {
      content += ActionForm(summary.key, "requeue", "Requeue",
                            "The ERP did not book it: the next broker pass sends it again.",
                            fmt::format("Requeue document {}? The next broker pass sends it to "
                                        "the ERP again.",
                                        summary.key),
                            frame);
    }
    content += ActionForm(summary.key, "resolve", "Resolve as done",
                          "The ERP booked it: mark it processed with the result stored so far.",
                          fmt::format("Mark document {} as processed? Only when the ERP has "
                                      "booked it.",
                                      summary.key),
                          frame);
    content += "</div>\n";
  }
  content += "<h2>Stored document</h2>\n<pre class=\"xml\" id=\"contents\">" +
             Html(IndentedXml(document.contents)) + "</pre>\n";
  content += "<h2>Result</h2>\n";
  if (document.result && !document.result->empty()) {
    content +=
        "<pre class=\"xml\" id=\"result\">" + Html(IndentedXml(*document.result)) + "</pre>\n";
  } else {
    content += "<p class=\"muted\" id=\"result\">No result stored.</p>\n";
  }
  return Layout(fmt::format("Document {}", summary.key), frame, content);
}

std::string MessagePage(std::string_view title, std::string_view message, const PageFrame& frame) {
  return Layout(title, frame, "<p id=\"message\">" + Html(message) + "</p>\n");
}

}  // namespace tqs::server::host::console
