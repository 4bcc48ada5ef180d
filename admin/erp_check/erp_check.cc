#include "admin/erp_check/erp_check.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <map>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "admin/erp_check/check_installation.h"
#include "admin/erp_check/conformance_data.h"
#include "admin/erp_check/portion_guard.h"
#include "common/erp/hours_accounting.h"
#include "common/erp/job_sheets.h"
#include "common/erp/service_inspections.h"
#include "common/error.h"
#include "common/text.h"

namespace tqs::admin::erp_check {

namespace {

// A scenario's finding: the reason it failed, or nothing when it passed.
using Finding = std::optional<std::string>;

// More portions than any download of the conformance data set needs.
constexpr int kPortionLimit = 100;

// The row statuses the broker gives an uploaded document.
constexpr int kPending = 5;
constexpr int kProcessed = 10;
constexpr int kFailed = 15;

// The business document types.
constexpr int kJobSheetType = 5;
constexpr int kHoursLineType = 10;
constexpr int kInspectionType = 15;

// --- Downloads ---------------------------------------------------------------------------------

// The laptop's requests. A service order listed without child nodes is held in full.
constexpr std::string_view kHoldsNothing = "";
constexpr std::string_view kHoldsPartOfOpenOrder =
    "<jobsheets><serviceorder id='SO1001'><activities><activity id='10'>"
    "<materials><material lineid='1'/></materials><labors><labor lineid='2'/></labors>"
    "<inspections><inspection lineid='1'/><inspection lineid='2'/></inspections>"
    "</activity></activities></serviceorder><serviceorder id='SO1002'/></jobsheets>";
constexpr std::string_view kHoldsCancelledOrder =
    "<jobsheets><serviceorder id='SO1001'/><serviceorder id='SO1002'/>"
    "<serviceorder id='SO1003'/></jobsheets>";

// The service orders of a job sheets response, per section.
struct JobSheetsResponse {
  pugi::xml_document document;
  std::vector<std::string> new_orders;
  std::vector<std::string> additions;
  std::vector<std::string> cancellations;
};

bool Holds(const std::vector<std::string>& ids, std::string_view id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

std::string Listed(const std::vector<std::string>& ids) {
  return ids.empty() ? std::string("none") : fmt::format("{}", fmt::join(ids, ", "));
}

std::vector<std::string> OrdersOf(const pugi::xml_document& document, const char* section) {
  std::vector<std::string> ids;
  const std::string path = fmt::format("/jobsheets/{}//serviceorder", section);
  for (const pugi::xpath_node& node : document.select_nodes(path.c_str())) {
    ids.emplace_back(node.node().attribute("id").value());
  }
  return ids;
}

// Reads a download's answer; a finding when it failed, is not a job sheets response, or hands
// out a service order twice (in one section or in two, in one portion or in two).
Finding ReadResponse(const DownloadAnswer& answer, JobSheetsResponse& response) {
  if (!answer.succeeded) return "the download failed: " + Excerpt(answer.error_details);
  if (!response.document.load_string(answer.job_sheets.c_str()) ||
      !response.document.child("jobsheets")) {
    return "the download's answer is not a job sheets response: " + Excerpt(answer.job_sheets);
  }
  response.new_orders = OrdersOf(response.document, "new");
  response.additions = OrdersOf(response.document, "append");
  response.cancellations = OrdersOf(response.document, "cancellations");
  std::map<std::string, int> seen;
  for (const auto* section : {&response.new_orders, &response.additions, &response.cancellations}) {
    for (const std::string& id : *section) {
      if (++seen[id] == 2) {
        return fmt::format(
            "service order {} is handed out twice in one download (new: {}; "
            "additions: {}; cancellations: {})",
            id, Listed(response.new_orders), Listed(response.additions),
            Listed(response.cancellations));
      }
    }
  }
  return std::nullopt;
}

// Downloads with the laptop's `request` through the guard and reads the response.
Finding Download(const CheckInstallation& installation, PortionGuard& guard,
                 std::string_view request, JobSheetsResponse& response) {
  return ReadResponse(installation.Download(guard.components(), request), response);
}

Finding DownloadNew(const CheckInstallation& installation, PortionGuard& guard) {
  JobSheetsResponse response;
  if (Finding finding = Download(installation, guard, kHoldsNothing, response)) return finding;
  for (std::string_view order : {data::kOpenOrder, data::kOtherOpenOrder}) {
    if (!Holds(response.new_orders, order)) {
      return fmt::format(
          "the open service order {} of employee {} is not among the new job "
          "sheets (new: {}); does the ERP hold the conformance data set?",
          order, data::kEmployee, Listed(response.new_orders));
    }
  }
  if (Holds(response.new_orders, data::kCancelledOrder) ||
      Holds(response.additions, data::kCancelledOrder)) {
    return fmt::format("the cancelled service order {} is handed out as a job sheet",
                       data::kCancelledOrder);
  }
  return std::nullopt;
}

Finding DownloadAddition(const CheckInstallation& installation, PortionGuard& guard) {
  JobSheetsResponse response;
  if (Finding finding = Download(installation, guard, kHoldsPartOfOpenOrder, response))
    return finding;
  if (Holds(response.new_orders, data::kOpenOrder) ||
      Holds(response.new_orders, data::kOtherOpenOrder)) {
    return fmt::format("a service order the laptop holds is handed out as new (new: {})",
                       Listed(response.new_orders));
  }
  if (!Holds(response.additions, data::kOpenOrder)) {
    return fmt::format(
        "{} is held without its activity {}, but is not among the addition job "
        "sheets (additions: {})",
        data::kOpenOrder, data::kAddedActivity, Listed(response.additions));
  }
  const std::string activity =
      fmt::format("/jobsheets/append//serviceorder[@id='{}']//activity[@id='{}']", data::kOpenOrder,
                  data::kAddedActivity);
  if (!response.document.select_node(activity.c_str())) {
    return fmt::format(
        "the addition job sheet of {} lacks the activity {} that the laptop does "
        "not hold",
        data::kOpenOrder, data::kAddedActivity);
  }
  if (Holds(response.additions, data::kOtherOpenOrder)) {
    return fmt::format(
        "{} is held in full (listed without activities), but an addition job "
        "sheet is handed out for it",
        data::kOtherOpenOrder);
  }
  return std::nullopt;
}

Finding DownloadCancellation(const CheckInstallation& installation, PortionGuard& guard) {
  JobSheetsResponse response;
  if (Finding finding = Download(installation, guard, kHoldsCancelledOrder, response))
    return finding;
  if (!Holds(response.cancellations, data::kCancelledOrder)) {
    return fmt::format(
        "the laptop holds the cancelled service order {}, but it is not among the "
        "cancellations (cancellations: {})",
        data::kCancelledOrder, Listed(response.cancellations));
  }
  if (!response.new_orders.empty()) {
    return fmt::format("the laptop holds every open order, but new job sheets are handed out: {}",
                       Listed(response.new_orders));
  }
  return std::nullopt;
}

// The whole download portion after portion: it must end (the continuation flag 0, or the state
// completed) and hand out every job sheet once.
Finding DownloadPortions(const CheckInstallation& installation, PortionGuard& guard) {
  guard.Reset();
  JobSheetsResponse response;
  if (Finding finding = Download(installation, guard, kHoldsNothing, response)) return finding;
  if (guard.portions() < 1) return std::string("the download never asked the ERP");
  return std::nullopt;
}

// --- Uploads -----------------------------------------------------------------------------------

// The documents of the booking scenarios, uploaded as a laptop's outbox. The accepted job sheet
// adds material line N1 to SO1002; the partly rejected one adds N2 to SO1001 together with N3,
// whose quantity is negative; SO9999 is unknown to the ERP.
constexpr std::string_view kAcceptedDocument = "SO1002_0";
constexpr std::string_view kPartlyRejectedDocument = "SO1001_0";
constexpr std::string_view kUnknownOrderDocument = "SO9999_0";

std::string JobSheetItem(std::string_view order, std::string_view materials) {
  return fmt::format(
      "<item interactionon='20260310T090000' id='{0}_0'><jobsheet>"
      "<serviceorder id='{0}' origin='ERP' actionsperformed='' invoiceid=''>"
      "<activities><activity id='10' origin='ERP' actionsperformed=''>"
      "<details><exst>2026-03-10 09:05:00</exst><exft>2026-03-10 10:00:00</exft></details>"
      "<materials>{1}</materials></activity></activities></serviceorder></jobsheet></item>",
      order, materials);
}

std::string Material(std::string_view line, std::string_view quantity) {
  return fmt::format(
      "<material lineid='{}' origin='LAP'><item>FLT-02</item><adqt>{}</adqt><cuqs>pcs</cuqs>"
      "<awrh>NORTH</awrh></material>",
      line, quantity);
}

std::string Outbox() {
  return "<businessdocuments><jobsheets>" +
         JobSheetItem(data::kOtherOpenOrder, Material("N1", "1")) +
         JobSheetItem(data::kOpenOrder, Material("N2", "1") + Material("N3", "-1")) +
         JobSheetItem(data::kUnknownOrder, "") +
         "</jobsheets><generalhours><hour interactionon='20260310T090000' lineid='H1'>"
         "<ctsk>TRAV</ctsk><chlt>NORMAL</chlt><rgdt>20260310</rgdt><sptm>1.5</sptm></hour>"
         "</generalhours><SERVICEINSPECTIONS><SERVICEINSPECTION>"
         "<DOCINFO><INTERACTIONON>20260310T090000</INTERACTIONON></DOCINFO>"
         "<ATTRIBUTES><ID>SI1</ID><CCFG>MC-2026-014</CCFG><CROB>CMP-10</CROB><OSEQ>2</OSEQ>"
         "<CSER>SN-4471</CSER></ATTRIBUTES><INSPECTIONS>"
         "<INSPECTION><ATTRIBUTES><CMEA>TEMP</CMEA><MSEQ>1</MSEQ><RGTM>20260310</RGTM>"
         "<MIVL>3.5</MIVL></ATTRIBUTES></INSPECTION></INSPECTIONS></SERVICEINSPECTION>"
         "</SERVICEINSPECTIONS></businessdocuments>";
}

// The uploaded documents after the broker's passes, and what the passes printed.
struct Bookings {
  std::vector<UploadedDocument> documents;
  std::string pass_output;
  std::string last_logged_error;  // the broker's error log's last entry
};

const UploadedDocument* FindDocument(const Bookings& bookings, int type,
                                     std::string_view document_id = {}) {
  for (const UploadedDocument& document : bookings.documents) {
    if (document.type == type && (document_id.empty() || document.document_id == document_id)) {
      return &document;
    }
  }
  return nullptr;
}

// The last line of a pass's status box, for a document the broker never handed to the ERP.
std::string LastLine(const std::string& text) {
  const std::string trimmed(Trim(text));
  const std::size_t end = trimmed.find_last_of('\n');
  return Excerpt(end == std::string::npos ? trimmed : trimmed.substr(end + 1));
}

// A finding unless the broker stored the ERP's answer to the document as processed or failed.
Finding Settled(const UploadedDocument* document, const Bookings& bookings) {
  if (document == nullptr) return std::string("the upload stored no such document");
  if (document->status == kPending && document->attempt_open) {
    return "the broker could not use the ERP's answer and left the document in doubt: " +
           Excerpt(document->last_error);
  }
  if (document->status == kPending && !document->last_error.empty()) {
    return "the ERP raised an error instead of answering: " + Excerpt(document->last_error);
  }
  if (document->status == kPending) {
    return "the broker did not hand the document to the ERP: " + LastLine(bookings.pass_output);
  }
  if (!document->status) {
    return "the ERP's return value is none of 0, -1, -2 and -3; the broker leaves such a "
           "document without a status and the engineer never learns its outcome";
  }
  return std::nullopt;
}

// The result document the broker stored for a settled document.
Finding ReadResult(const UploadedDocument& document, const Bookings& bookings,
                   pugi::xml_document& result) {
  if (document.result.empty()) {
    return "the broker could not walk the ERP's error structure and stored no result document, "
           "so the engineer never learns the outcome: " +
           Excerpt(bookings.last_logged_error);
  }
  if (!result.load_string(document.result.c_str()) || !result.document_element()) {
    return "the broker stored no readable result document: " + Excerpt(document.result);
  }
  return std::nullopt;
}

bool IsLineNumber(std::string_view text) { return !Trim(text).empty() && Trim(text) != "0"; }

// A finding unless the job sheet result holds `line` with a new line number and no error.
Finding NewLineBooked(const pugi::xml_document& result, std::string_view line) {
  const std::string path = fmt::format("//material[@lineid='{}']", line);
  const pugi::xml_node node = result.select_node(path.c_str()).node();
  if (!node) return fmt::format("the result names no material line {}", line);
  if (!std::string_view(node.attribute("error").value()).empty()) {
    return fmt::format("the new material line {} was rejected: {}", line,
                       Excerpt(node.attribute("error").value()));
  }
  if (!IsLineNumber(node.attribute("new").value())) {
    return fmt::format("the new material line {} got no new line number (NewLineID is '{}')", line,
                       node.attribute("new").value());
  }
  return std::nullopt;
}

// The document of `type` (and `document_id`) as the broker settled it, with its result
// document; or the finding that ends the scenario.
struct SettledDocument {
  const UploadedDocument* row = nullptr;
  pugi::xml_document result;
};
Finding ReadSettled(const Bookings& bookings, int type, std::string_view document_id,
                    SettledDocument& settled) {
  settled.row = FindDocument(bookings, type, document_id);
  if (Finding finding = Settled(settled.row, bookings)) return finding;
  return ReadResult(*settled.row, bookings, settled.result);
}

Finding JobSheetAccepted(const Bookings& bookings) {
  SettledDocument settled;
  if (Finding finding = ReadSettled(bookings, kJobSheetType, kAcceptedDocument, settled))
    return finding;
  const UploadedDocument* document = settled.row;
  const pugi::xml_document& result = settled.result;
  if (document->status != kProcessed) {
    return "the job sheet was not booked (return value -1, -2 or -3): " + Excerpt(document->result);
  }
  return NewLineBooked(result, "N1");
}

Finding JobSheetPartlyRejected(const Bookings& bookings) {
  SettledDocument settled;
  if (Finding finding = ReadSettled(bookings, kJobSheetType, kPartlyRejectedDocument, settled))
    return finding;
  const UploadedDocument* document = settled.row;
  const pugi::xml_document& result = settled.result;
  if (document->status != kFailed) {
    return "the job sheet holds material line N3 with a negative quantity, but the ERP answered "
           "0 (booked) instead of -1 or -2";
  }
  const pugi::xml_node rejected = result.select_node("//material[@lineid='N3']").node();
  if (!rejected) return std::string("the rejection names no material line N3");
  if (Trim(rejected.attribute("error").value()).empty()) {
    return std::string("the rejected material line N3 carries no error description");
  }
  const pugi::xml_node accepted = result.select_node("//material[@lineid='N2']").node();
  if (accepted && Trim(accepted.attribute("error").value()).empty()) {
    return NewLineBooked(result, "N2");
  }
  return std::nullopt;
}

Finding JobSheetUnknownOrder(const Bookings& bookings) {
  SettledDocument settled;
  if (Finding finding = ReadSettled(bookings, kJobSheetType, kUnknownOrderDocument, settled))
    return finding;
  const UploadedDocument* document = settled.row;
  const pugi::xml_document& result = settled.result;
  if (document->status != kFailed) {
    return fmt::format("the ERP booked a job sheet of the unknown service order {}",
                       data::kUnknownOrder);
  }
  const pugi::xml_node order = result.select_node("//serviceorder").node();
  if (!order || Trim(order.attribute("error").value()).empty()) {
    return std::string("the rejection carries no error description for the service order");
  }
  return std::nullopt;
}

Finding HoursLine(const Bookings& bookings) {
  SettledDocument settled;
  if (Finding finding = ReadSettled(bookings, kHoursLineType, {}, settled)) return finding;
  const UploadedDocument* document = settled.row;
  const pugi::xml_document& result = settled.result;
  const pugi::xml_node hour = result.child("hour");
  if (document->status != kProcessed) {
    return "the ERP rejected the hours line: " + Excerpt(hour.attribute("error").value());
  }
  if (!IsLineNumber(hour.attribute("new").value())) {
    return fmt::format("the booked hours line has no line number (LineNumber is '{}')",
                       hour.attribute("new").value());
  }
  return std::nullopt;
}

Finding Inspection(const Bookings& bookings) {
  SettledDocument settled;
  if (Finding finding = ReadSettled(bookings, kInspectionType, {}, settled)) return finding;
  const UploadedDocument* document = settled.row;
  const pugi::xml_document& result = settled.result;
  if (document->status != kProcessed) {
    return "the ERP rejected the service inspection: " +
           Excerpt(result.child("si").attribute("error").value());
  }
  return std::nullopt;
}

// What a document of each type is called in a finding, and the component that books it.
struct BookedKind {
  int type;
  std::string_view name;
  std::string_view manager;
};
constexpr BookedKind kBookedKinds[] = {
    {kJobSheetType, "job sheet", erp::job_sheets::prog_id::kJobSheetsManager},
    {kHoursLineType, "hours line",
     erp::hours_accounting::prog_id::kServiceOrderHoursAccountingManager},
    {kInspectionType, "service inspection",
     erp::service_inspections::prog_id::kServiceInspectionsManager},
};

// Every settled document whose component takes keys goes to the ERP again under its first key,
// as after a broker that was stopped before it could store the answer: the ERP must answer as
// the first time and book nothing (a booking would show as other new line numbers).
ScenarioOutcome ReplaySameKey(const CheckInstallation& installation,
                              const automation::ComponentRegistry& components,
                              const Bookings& first) {
  ScenarioOutcome outcome{.scenario = "replay-same-key"};
  std::vector<const UploadedDocument*> replayed;
  std::vector<std::string> without_keys;
  for (const BookedKind& kind : kBookedKinds) {
    if (!components.AcceptsIdempotencyKeys(kind.manager)) {
      without_keys.emplace_back(kind.manager);
      continue;
    }
    for (const UploadedDocument& document : first.documents) {
      if (document.type == kind.type && document.status && *document.status != kPending) {
        replayed.push_back(&document);
      }
    }
  }
  if (replayed.empty()) {
    outcome.verdict = Verdict::kSkip;
    outcome.reason = without_keys.empty()
                         ? "no document was booked to replay"
                         : fmt::format(
                               "no booking component takes idempotency keys (registered "
                               "without idempotencyKeys=\"true\": {}); the broker never "
                               "sends a document twice to such a component",
                               fmt::join(without_keys, ", "));
    return outcome;
  }
  for (const UploadedDocument* document : replayed) installation.PutInDoubt(document->key);
  Bookings again{.documents = {}, .pass_output = installation.RunBrokerPass(components)};
  again.documents = installation.Documents();
  for (const UploadedDocument* document : replayed) {
    const auto replay = std::find_if(again.documents.begin(), again.documents.end(),
                                     [&](const auto& row) { return row.key == document->key; });
    const std::string_view name =
        std::find_if(std::begin(kBookedKinds), std::end(kBookedKinds), [&](const BookedKind& kind) {
          return kind.type == document->type;
        })->name;
    if (Finding finding = Settled(replay == again.documents.end() ? nullptr : &*replay, again)) {
      outcome.verdict = Verdict::kFail;
      outcome.reason = fmt::format("the {} {} sent again under its key: {}", name,
                                   document->document_id, *finding);
      return outcome;
    }
    if (replay->status != document->status || replay->result != document->result) {
      outcome.verdict = Verdict::kFail;
      outcome.reason = fmt::format(
          "the {} {} sent again under its key was answered differently (it may have been booked "
          "twice): first {}, then {}",
          name, document->document_id, Excerpt(document->result), Excerpt(replay->result));
      return outcome;
    }
  }
  return outcome;
}

Finding Assignments(const CheckInstallation& installation,
                    const automation::ComponentRegistry& components) {
  pugi::xml_document assignments;
  assignments.load_string(
      "<assignments><so id='SO1001'><a id='10' ataken='ACC' don='20260309T080000' "
      "aon='20260309T081500'/></so></assignments>");
  std::string error;
  if (!installation.UpdateAssignments(components, assignments, error)) {
    return "the assignment update failed: " + Excerpt(error);
  }
  return std::nullopt;
}

// Runs `scenario`, turning anything it raises into its failure.
template <typename Scenario>
ScenarioOutcome Run(std::string_view name, Scenario&& scenario) {
  ScenarioOutcome outcome{.scenario = std::string(name)};
  try {
    if (Finding finding = scenario()) {
      outcome.verdict = Verdict::kFail;
      outcome.reason = std::move(*finding);
    }
  } catch (const Error& error) {
    outcome.verdict = Verdict::kFail;
    outcome.reason = error.description();
  } catch (const std::exception& error) {
    outcome.verdict = Verdict::kFail;
    outcome.reason = error.what();
  }
  return outcome;
}

constexpr std::string_view kBookingScenarios[] = {"jobsheet-accepted",
                                                  "jobsheet-partly-rejected",
                                                  "jobsheet-unknown-order",
                                                  "hours-line",
                                                  "inspection",
                                                  "replay-same-key",
                                                  "assignments"};

}  // namespace

std::vector<ScenarioOutcome> RunErpCheck(
    const automation::ComponentRegistry& components, const CheckOptions& options,
    const std::function<void(const ScenarioOutcome&)>& report) {
  std::vector<ScenarioOutcome> outcomes;
  const auto add = [&](ScenarioOutcome outcome) {
    if (report) report(outcome);
    outcomes.push_back(std::move(outcome));
  };
  const CheckInstallation installation(std::string(data::kLogin), std::string(data::kEmployee),
                                       std::string(data::kBusComponent));
  PortionGuard guard(components, kPortionLimit);
  add(Run("download-new", [&] { return DownloadNew(installation, guard); }));
  add(Run("download-addition", [&] { return DownloadAddition(installation, guard); }));
  add(Run("download-cancellation", [&] { return DownloadCancellation(installation, guard); }));
  add(Run("download-portions", [&] { return DownloadPortions(installation, guard); }));

  if (!options.allow_bookings) {
    for (std::string_view scenario : kBookingScenarios) {
      add({.scenario = std::string(scenario),
           .verdict = Verdict::kSkip,
           .reason = "books test documents into the ERP; run with --allow-bookings"});
    }
    return outcomes;
  }

  Bookings bookings;
  const ScenarioOutcome upload = Run("upload", [&]() -> Finding {
    installation.Upload(components, Outbox());
    bookings.pass_output = installation.RunBrokerPass(components);
    bookings.documents = installation.Documents();
    bookings.last_logged_error = installation.LastLoggedError();
    return std::nullopt;
  });
  if (upload.verdict == Verdict::kFail) {
    for (std::string_view scenario : kBookingScenarios) {
      add({.scenario = std::string(scenario), .verdict = Verdict::kFail, .reason = upload.reason});
    }
    return outcomes;
  }
  add(Run("jobsheet-accepted", [&] { return JobSheetAccepted(bookings); }));
  add(Run("jobsheet-partly-rejected", [&] { return JobSheetPartlyRejected(bookings); }));
  add(Run("jobsheet-unknown-order", [&] { return JobSheetUnknownOrder(bookings); }));
  add(Run("hours-line", [&] { return HoursLine(bookings); }));
  add(Run("inspection", [&] { return Inspection(bookings); }));
  {
    ScenarioOutcome replay;
    const ScenarioOutcome raised = Run("replay-same-key", [&]() -> Finding {
      replay = ReplaySameKey(installation, components, bookings);
      return std::nullopt;
    });
    add(raised.verdict == Verdict::kFail ? raised : replay);
  }
  add(Run("assignments", [&] { return Assignments(installation, components); }));
  return outcomes;
}

std::string FormatOutcome(const ScenarioOutcome& outcome) {
  switch (outcome.verdict) {
    case Verdict::kPass:
      return "PASS " + outcome.scenario;
    case Verdict::kFail:
      return "FAIL " + outcome.scenario + ": " + outcome.reason;
    case Verdict::kSkip:
      return "SKIP " + outcome.scenario + ": " + outcome.reason;
  }
  return {};
}

}  // namespace tqs::admin::erp_check
