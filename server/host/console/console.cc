#include "server/host/console/console.h"

#include <fmt/format.h>

#include <charconv>
#include <variant>
#include <vector>

#include "common/date_time.h"
#include "common/error.h"
#include "common/text.h"
#include "common/utf8.h"
#include "platform/db/connection.h"
#include "server/document_decisions.h"
#include "server/host/console/console_assets.h"
#include "server/host/console/console_pages.h"
#include "server/host/console/operator_secret.h"
#include "server/pending_documents.h"
#include "server/queue_health.h"

namespace tqs::server::host::console {
namespace {

constexpr std::string_view kPrefix = "/console";
constexpr std::string_view kDocumentsPrefix = "/console/documents/";
constexpr std::size_t kListLimit = 500;
constexpr std::size_t kMaxSecretBytes = 1024;
constexpr std::size_t kMaxNoteCharacters = 500;

constexpr const char* kContentSecurityPolicy =
    "default-src 'self'; script-src 'self'; style-src 'self'; object-src 'none'; "
    "frame-ancestors 'none'; base-uri 'none'; form-action 'self'";

HttpAnswer Page(int status, std::string body) {
  return {.status = status, .body = std::move(body), .type = ContentType::kHtml};
}

HttpAnswer Redirect(std::string_view location) {
  HttpAnswer answer = Page(303, "");
  answer.headers.emplace_back("Location", std::string(location));
  return answer;
}

HttpAnswer Json(int status, const nlohmann::json& body) {
  return {.status = status, .body = body.dump(), .type = ContentType::kJson};
}

HttpAnswer NotFound() {
  return Page(404, "<!DOCTYPE html><title>Not found</title><p>There is no such page.</p>");
}

// The security headers every console answer carries.
void AddSecurityHeaders(HttpAnswer& answer) {
  answer.headers.emplace_back("Content-Security-Policy", kContentSecurityPolicy);
  answer.headers.emplace_back("X-Content-Type-Options", "nosniff");
  answer.headers.emplace_back("Referrer-Policy", "no-referrer");
  answer.headers.emplace_back("Cache-Control", "no-store");
  answer.headers.emplace_back("X-Frame-Options", "DENY");
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string FormDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      out += ' ';
    } else if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
               HexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The fields of an application/x-www-form-urlencoded body; the first of a repeated name wins.
std::map<std::string, std::string, std::less<>> ParseForm(std::string_view body) {
  std::map<std::string, std::string, std::less<>> fields;
  while (!body.empty()) {
    const std::size_t amp = body.find('&');
    const std::string_view pair = body.substr(0, amp);
    body = amp == std::string_view::npos ? std::string_view() : body.substr(amp + 1);
    const std::size_t equals = pair.find('=');
    fields.emplace(FormDecode(pair.substr(0, equals)),
                   equals == std::string_view::npos ? "" : FormDecode(pair.substr(equals + 1)));
  }
  return fields;
}

std::string Field(const std::map<std::string, std::string, std::less<>>& fields,
                  std::string_view name) {
  const auto found = fields.find(name);
  return found == fields.end() ? std::string() : found->second;
}

std::optional<std::int64_t> ParseKey(std::string_view text) {
  std::int64_t key = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), key);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || key < 0) {
    return std::nullopt;
  }
  return key;
}

// A POST from another site's page: its Origin names another host than the one addressed.
// Browsers send "null" for a form posted from a page whose referrer policy is no-referrer (the
// console's own), so that value tells nothing; the CSRF token and the SameSite cookie decide.
bool ForeignOrigin(const ConsoleRequest& request) {
  if (request.origin.empty() || request.origin == "null") return false;
  return request.origin != "http://" + request.host && request.origin != "https://" + request.host;
}

std::string SessionCookie(std::string_view value, bool secure, bool clear) {
  std::string cookie = std::string(kSessionCookie) + "=" + std::string(value) +
                       "; Path=/console; HttpOnly; SameSite=Strict";
  if (clear) cookie += "; Max-Age=0";
  if (secure) cookie += "; Secure";
  return cookie;
}

// The document list's filter from the query; an error text for a value it cannot take.
std::variant<ListFilter, std::string> ReadFilter(const ConsoleRequest& request) {
  ListFilter filter;
  const auto argument = [&](std::string_view name) {
    const auto found = request.query.find(name);
    return found == request.query.end() ? std::string() : std::string(Trim(found->second));
  };
  filter.kind = argument("kind");
  if (filter.kind.empty()) filter.kind = "all";
  if (filter.kind == "in-doubt") {
    filter.selection.in_doubt = true;
  } else if (filter.kind == "failing") {
    filter.selection.failing = true;
  } else if (filter.kind != "all") {
    return "The kind of documents must be all, in-doubt or failing, not '" + Excerpt(filter.kind) +
           "'.";
  }
  if (const std::string employee = argument("employee"); !employee.empty()) {
    filter.selection.employee = employee;
  }
  if (const std::string type = argument("type"); !type.empty()) {
    std::int32_t number = 0;
    const auto [end, error] = std::from_chars(type.data(), type.data() + type.size(), number);
    if (error != std::errc() || end != type.data() + type.size()) {
      return "The document type must be a number, not '" + Excerpt(type) + "'.";
    }
    filter.selection.type = number;
  }
  return filter;
}

}  // namespace

bool IsConsolePath(std::string_view path) {
  return path == kPrefix ||
         (path.size() > kPrefix.size() && path.starts_with(kPrefix) && path[kPrefix.size()] == '/');
}

Console::Console(ConsoleSettings settings, std::string connection_string)
    : settings_(std::move(settings)),
      connection_string_(std::move(connection_string)),
      audit_log_(settings_.audit_log) {}

HttpAnswer Console::Answer(const ConsoleRequest& request) {
  HttpAnswer answer = enabled() ? Route(request) : NotFound();
  AddSecurityHeaders(answer);
  return answer;
}

void Console::Audit(const ConsoleRequest& request, std::string_view label, std::string_view action,
                    std::optional<std::int64_t> key, std::string_view outcome) const {
  const AuditEntry entry{.at = std::chrono::system_clock::now(),
                         .client = request.client,
                         .session_label = std::string(label),
                         .action = std::string(action),
                         .key = key,
                         .outcome = std::string(outcome)};
  try {
    audit_log_.Write(entry);
  } catch (const Error&) {
    // The entry went to standard error; a login or logout is not refused for the file.
  }
}

HttpAnswer Console::Route(const ConsoleRequest& request) {
  const std::string_view path = request.path;
  const bool get = request.method == "GET" || request.method == "HEAD";
  const bool post = request.method == "POST";
  if (!get && !post) {
    HttpAnswer answer =
        Page(405, "<!DOCTYPE html><title>Not allowed</title><p>Use GET or POST.</p>");
    answer.headers.emplace_back("Allow", "GET, HEAD, POST");
    return answer;
  }
  if (path == "/console/assets/console.css" && get) {
    return {.status = 200, .body = assets::kConsoleCss, .type = ContentType::kCss};
  }
  if (path == "/console/assets/console.js" && get) {
    return {.status = 200, .body = assets::kConsoleJs, .type = ContentType::kJavaScript};
  }
  std::optional<ConsoleSession> session;
  if (!request.session_cookie.empty()) session = sessions_.Find(request.session_cookie);
  if (path == "/console/login") {
    if (post) return Login(request);
    return session ? Redirect("/console/") : Page(200, LoginPage(""));
  }
  if (!session) {
    if (path.starts_with("/console/api/")) {
      return Json(401, {{"error", {{"description", "Log in to the console first"}}}});
    }
    return Redirect("/console/login");
  }
  if (post) {
    const std::string form_token = Field(ParseForm(request.body), "csrf");
    const std::string& token = request.csrf_header.empty() ? form_token : request.csrf_header;
    if (ForeignOrigin(request) || !SameToken(token, session->csrf_token)) {
      return Page(403, MessagePage("Refused",
                                   "The request lacks this session's form token (or comes from "
                                   "another site's page); nothing was changed. Reload the page "
                                   "and try again.",
                                   PageFrame{.csrf_token = session->csrf_token}));
    }
  }
  PageFrame frame{.csrf_token = session->csrf_token};
  // The outcome of an action is for the next page; the overview's refresh (in another tab,
  // perhaps) must not take it.
  if (get && !path.starts_with("/console/api/")) frame.notice = sessions_.TakeNotice(session->id);
  try {
    if (path == "/console/logout" && post) return Logout(request, *session);
    if (path.starts_with(kDocumentsPrefix)) {
      std::string_view rest = path.substr(kDocumentsPrefix.size());
      const std::size_t slash = rest.find('/');
      const std::optional<std::int64_t> key = ParseKey(rest.substr(0, slash));
      if (!key) return NotFound();
      if (slash == std::string_view::npos) {
        if (!get) return NotFound();
        auto connection = db::Connection::Open(connection_string_);
        const std::optional<DocumentDetail> document = ReadDocument(*connection, *key);
        if (!document) {
          return Page(
              404, MessagePage("No such document",
                               fmt::format("There is no document with the key {}.", *key), frame));
        }
        return Page(200, DocumentPage(*document, frame));
      }
      const std::string_view action = rest.substr(slash + 1);
      if (post && (action == "requeue" || action == "resolve")) {
        return Decide(request, *session, *key, action);
      }
      return NotFound();
    }
    if (!get) return NotFound();
    if (path == "/console" || path == "/console/") {
      auto connection = db::Connection::Open(connection_string_);
      return Page(200, OverviewPage(ReadQueueHealth(*connection), frame));
    }
    if (path == "/console/api/overview") {
      auto connection = db::Connection::Open(connection_string_);
      return Json(200, {{"queue", ToJson(ReadQueueHealth(*connection))}});
    }
    if (path == "/console/documents") {
      auto filter = ReadFilter(request);
      if (const auto* fault = std::get_if<std::string>(&filter)) {
        return Page(400, MessagePage("Documents waiting for an operator", *fault, frame));
      }
      const ListFilter& chosen = std::get<ListFilter>(filter);
      auto connection = db::Connection::Open(connection_string_);
      const std::vector<DocumentSummary> documents =
          ListPendingDocuments(*connection, chosen.selection, kListLimit);
      return Page(200, DocumentListPage(documents, chosen, kListLimit, frame));
    }
    return NotFound();
  } catch (const Error& error) {
    if (path.starts_with("/console/api/")) {
      return Json(503, {{"error", {{"description", error.description()}}}});
    }
    return Page(503, MessagePage("The server database cannot be read", error.description(), frame));
  }
}

HttpAnswer Console::Login(const ConsoleRequest& request) {
  if (ForeignOrigin(request)) {
    return Page(403, LoginPage("The login came from another site's page and was refused."));
  }
  if (const std::chrono::seconds wait = throttle_.WaitFor(request.client); wait.count() > 0) {
    HttpAnswer answer = Page(
        429,
        LoginPage(fmt::format("Too many failed logins; try again in {} seconds.", wait.count())));
    answer.headers.emplace_back("Retry-After", std::to_string(wait.count()));
    return answer;
  }
  const std::string secret = Field(ParseForm(request.body), "secret");
  bool right = false;
  try {
    right = !secret.empty() && secret.size() <= kMaxSecretBytes &&
            VerifyOperatorSecret(secret, *settings_.secret_hash);
  } catch (const Error& error) {
    return Page(500, LoginPage(error.description()));
  }
  if (!right) {
    throttle_.RecordFailure(request.client);
    Audit(request, "", "login-refused", std::nullopt, "wrong operator secret");
    return Page(401, LoginPage("The operator secret is not right."));
  }
  throttle_.RecordSuccess(request.client);
  const ConsoleSession session = sessions_.Create(request.client);
  Audit(request, session.label, "login", std::nullopt, "logged in");
  HttpAnswer answer = Redirect("/console/");
  answer.headers.emplace_back(
      "Set-Cookie",
      SessionCookie(session.id, settings_.secure_cookie || request.forwarded_https, false));
  return answer;
}

HttpAnswer Console::Logout(const ConsoleRequest& request, const ConsoleSession& session) {
  sessions_.End(session.id);
  Audit(request, session.label, "logout", std::nullopt, "logged out");
  HttpAnswer answer = Redirect("/console/login");
  answer.headers.emplace_back(
      "Set-Cookie", SessionCookie("", settings_.secure_cookie || request.forwarded_https, true));
  return answer;
}

HttpAnswer Console::Decide(const ConsoleRequest& request, const ConsoleSession& session,
                           std::int64_t key, std::string_view action) {
  const Decision decision = action == "requeue" ? Decision::kRequeue : Decision::kResolveDone;
  const std::string name(ActionName(decision));
  const std::string back = fmt::format("/console/documents/{}", key);
  std::string note(Trim(Field(ParseForm(request.body), "note")));
  if (CharacterCount(note) > kMaxNoteCharacters) note = std::string(Left(note, kMaxNoteCharacters));
  try {
    // No action without its record: a log that cannot be written refuses it.
    audit_log_.CheckWritable();
  } catch (const Error& error) {
    sessions_.SetNotice(
        session.id,
        {.text = "Refused: " + error.description() + " Nothing was changed.", .refused = true});
    return Redirect(back);
  }
  DecisionRequest decided{
      .decision = decision,
      .keys = {key},
      .operator_name = fmt::format("console session {} ({})", session.label, request.client)};
  if (!note.empty()) decided.note = note;
  std::string outcome;
  bool changed = false;
  try {
    ApplyDecision(connection_string_, decided, Clock::System(), [&](const DecisionLine& line) {
      changed = line.changed;
      outcome = line.text;
    });
    if (!changed) outcome = "skipped: " + outcome;
  } catch (const Error& error) {
    outcome = "refused: " + error.description();
  }
  std::string notice = fmt::format("Document {}: {}", key, outcome);
  try {
    audit_log_.Write({.at = std::chrono::system_clock::now(),
                      .client = request.client,
                      .session_label = session.label,
                      .action = name,
                      .key = key,
                      .outcome = (changed ? "changed: " : "") + outcome});
  } catch (const Error& error) {
    notice += " (" + error.description() +
              "; the entry is in the host's log and the action in OPERATORACTIONS)";
  }
  if (!changed) notice = "Refused: " + notice;
  sessions_.SetNotice(session.id, {.text = notice, .refused = !changed});
  return Redirect(back);
}

}  // namespace tqs::server::host::console
