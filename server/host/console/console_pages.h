// The HTML pages of the operator console, made from the embedded templates
// (console_assets.h). Every text that comes from the database or the request (employees,
// document ids, errors, the stored documents themselves) is escaped: a document holding
// "<script>" shows as that text and is never run. Stored XML is shown indented, as pugixml
// prints it, or as stored when it is not well-formed.
//
// Pure functions; thread-safe.
#ifndef TQS_SERVER_HOST_CONSOLE_CONSOLE_PAGES_H_
#define TQS_SERVER_HOST_CONSOLE_CONSOLE_PAGES_H_

#include <string>
#include <string_view>
#include <vector>

#include "server/host/console/console_sessions.h"
#include "server/pending_documents.h"
#include "server/pending_selection.h"
#include "server/queue_health.h"

namespace tqs::server::host::console {

// What every page of a session shows besides its content.
struct PageFrame {
  std::string csrf_token;
  Notice notice;  // the outcome of the last action
};

// The filters of the document list, as the page's form sends them.
struct ListFilter {
  DocumentSelection selection;
  std::string kind;  // "all", "in-doubt", "failing"
};

// The login page, with `message` (escaped) above the form when not empty.
std::string LoginPage(std::string_view message);

// The queue: counts per document type and status, oldest pending age, the employees with the
// most pending documents, and the in-doubt and failing counts; the script refreshes it.
std::string OverviewPage(const QueueHealth& queue, const PageFrame& frame);

// The documents waiting for an operator that `filter` selects (at most `limit` shown).
std::string DocumentListPage(const std::vector<DocumentSummary>& documents,
                             const ListFilter& filter, std::size_t limit, const PageFrame& frame);

// One document: its fields, the actions that apply, the stored XML and the result.
std::string DocumentPage(const DocumentDetail& document, const PageFrame& frame);

// A page for a request that cannot be served (no such document, a database error).
std::string MessagePage(std::string_view title, std::string_view message, const PageFrame& frame);

// The stored text of a document indented for reading (not escaped); as stored when it is not
// well-formed XML.
std::string IndentedXml(std::string_view text);

}  // namespace tqs::server::host::console

#endif  // TQS_SERVER_HOST_CONSOLE_CONSOLE_PAGES_H_
