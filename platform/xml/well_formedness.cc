#include "platform/xml/well_formedness.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <climits>
#include <cstring>
#include <memory>

#include "common/text.h"

namespace tqs::xml {
namespace {

// libxml2 refuses an element when more than xmlParserMaxDepth (256) elements enclose it.
static_assert(kMaxNestingDepth == 256 + 1, "the limit is libxml2's own without XML_PARSE_HUGE");

// No network, no entity substitution, no DTD loading, no XML_PARSE_HUGE (which would lift the
// nesting limit). XML_PARSE_IGNORE_ENC is added for text that is already characters.
constexpr int kParseOptions = XML_PARSE_NONET;

// What one check has seen; libxml2 hands it to the callbacks as their user data.
struct CheckState {
  xmlParserCtxtPtr context = nullptr;
  long skipped = 0;  // bytes before what libxml2 reads (a byte order mark)
  std::string first_fatal;
  std::string first_error;
  bool document_type = false;
};

// The message with the byte offset where the parser stopped, and the line and column. libxml2
// quotes names from the document (a mismatched end tag, an attribute), so the message is
// bounded like any description that quotes a caller's input.
std::string Located(const CheckState& state, std::string message, int line, int column) {
  // libxml2 ends its messages with a line break and breaks some in two.
  for (char& c : message) {
    if (c == '\n') c = ' ';
  }
  while (!message.empty() && message.back() == ' ') message.pop_back();
  message = Excerpt(message, 2 * kExcerptBytes);
  if (state.context != nullptr) {
    message += " at offset " + std::to_string(state.skipped + xmlByteConsumed(state.context));
  }
  return message + " (line " + std::to_string(line) + ", column " + std::to_string(column) + ")";
}

void OnError(void* user_data, xmlErrorPtr error) {
  auto* state = static_cast<CheckState*>(user_data);
  if (state == nullptr || error == nullptr || error->level < XML_ERR_ERROR) return;
  std::string& slot = error->level == XML_ERR_FATAL ? state->first_fatal : state->first_error;
  if (!slot.empty()) return;
  slot = Located(*state, error->message != nullptr ? error->message : "XML parser error",
                 error->line, error->int2);
}

// Called when a DOCTYPE has been read up to its internal subset: stop before anything in it.
void OnDocumentType(void* user_data, const xmlChar*, const xmlChar*, const xmlChar*) {
  auto* state = static_cast<CheckState*>(user_data);
  if (state->first_fatal.empty()) {
    const xmlParserInputPtr input = state->context->input;
    state->first_fatal =
        Located(*state, "A document type declaration (DOCTYPE) is not accepted",
                input != nullptr ? input->line : 0, input != nullptr ? input->col : 0);
  }
  state->document_type = true;
  xmlStopParser(state->context);
}

// A SAX handler that builds nothing: the parse only checks.
xmlSAXHandler* NewCheckingHandler() {
  auto* handler = static_cast<xmlSAXHandler*>(xmlMalloc(sizeof(xmlSAXHandler)));
  if (handler == nullptr) return nullptr;
  std::memset(handler, 0, sizeof(xmlSAXHandler));
  handler->initialized = XML_SAX2_MAGIC;  // namespace-aware parse with structured errors
  handler->serror = OnError;
  handler->internalSubset = OnDocumentType;
  return handler;
}

void InitialiseOnce() {
  static const bool initialised = [] {
    xmlInitParser();
    return true;
  }();
  (void)initialised;
}

// Errors that libxml2 raises without a parser context (encoding conversion) would go to the
// thread's generic channel, stderr by default: route them to the check for its duration.
class ThreadErrorRedirect {
 public:
  explicit ThreadErrorRedirect(CheckState* state)
      : saved_handler_(xmlStructuredError), saved_context_(xmlStructuredErrorContext) {
    xmlSetStructuredErrorFunc(state, OnError);
  }
  ~ThreadErrorRedirect() { xmlSetStructuredErrorFunc(saved_context_, saved_handler_); }
  ThreadErrorRedirect(const ThreadErrorRedirect&) = delete;
  ThreadErrorRedirect& operator=(const ThreadErrorRedirect&) = delete;

 private:
  xmlStructuredErrorFunc saved_handler_;
  void* saved_context_;
};

struct ContextDeleter {
  void operator()(xmlParserCtxtPtr context) const { xmlFreeParserCtxt(context); }
};

}  // namespace

std::optional<std::string> CheckWellFormed(std::string_view text, TextEncoding encoding) {
  CheckState state;
  int options = kParseOptions;
  if (encoding == TextEncoding::kUtf8) {
    // NUL is no XML character. Refusing it here also keeps libxml2 from taking a text that
    // starts with NUL bytes for UTF-16 or UCS-4.
    const std::size_t nul = text.find('\0');
    if (nul != std::string_view::npos) {
      return "The character U+0000 is not allowed in XML at offset " + std::to_string(nul);
    }
    // A byte order mark is no content; pugixml skips it too.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
      text.remove_prefix(3);
      state.skipped = 3;
    }
    options |= XML_PARSE_IGNORE_ENC;
  }
  if (text.empty()) return "The document is empty: it must have a root element";
  if (text.size() > static_cast<std::size_t>(INT_MAX)) return "The XML text is too large";
  InitialiseOnce();

  ThreadErrorRedirect redirect(&state);
  std::unique_ptr<xmlParserCtxt, ContextDeleter> context(
      xmlCreateMemoryParserCtxt(text.data(), static_cast<int>(text.size())));
  if (context == nullptr) return "The XML parser could not be created (out of memory)";
  xmlSAXHandler* handler = NewCheckingHandler();
  if (handler == nullptr) return "The XML parser could not be created (out of memory)";
  xmlFree(context->sax);  // the context owns and frees its handler
  context->sax = handler;
  context->userData = &state;
  state.context = context.get();
  xmlCtxtUseOptions(context.get(), options);
  if (encoding == TextEncoding::kUtf8) {
    // Naming the encoding skips libxml2's guess from the first bytes.
    context->encoding = xmlStrdup(BAD_CAST "UTF-8");
  }

  const int result = xmlParseDocument(context.get());
  if (result == 0 && context->wellFormed != 0 && !state.document_type) return std::nullopt;
  if (!state.first_fatal.empty()) return state.first_fatal;
  if (!state.first_error.empty()) return state.first_error;
  return std::string("The text is not a well-formed XML document");
}

}  // namespace tqs::xml
