#include "masterdata/table_transfer.h"

#include "common/error.h"
#include "platform/db/connection.h"
#include "platform/db/table_copy.h"

namespace tqs::masterdata {
namespace {

std::string ReplaceAll(std::string text, std::string_view what, std::string_view with) {
  for (std::size_t at = text.find(what); at != std::string::npos;
       at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
  }
  return text;
}

// A quoted SQL text: 'O''Brien'.
std::string QuotedText(std::string_view value) {
  std::string quoted(1, '\'');
  quoted += ReplaceAll(std::string(value), "'", "''");
  quoted += '\'';
  return quoted;
}

std::string_view TypeName(TransferType type) {
  switch (type) {
    case TransferType::kDelete:
      return "DELETE";
    case TransferType::kAppend:
      return "APPEND";
    case TransferType::kOther:
      break;
  }
  return "other";
}

void RunDelete(std::string_view statement, const TransferDatabases& databases) {
  auto centre = db::Connection::Open(databases.centre_connection_string);
  centre->Execute(statement);
  centre->Close();
}

void ReportCopied(const TransferEntry& entry, const ServiceCentre& centre, std::int64_t rows,
                  bool complete, RunEvents& events) {
  events.DoEvents();
  events.CopyProgress(centre.centre, entry.source, rows, complete);
}

std::int64_t RunAppend(const TransferEntry& entry, std::string_view statement,
                       const ServiceCentre& centre, const TransferDatabases& databases,
                       RunEvents& events) {
  // The statement must be one read-only query: anything else is refused before it runs, and
  // the template is read through a session that refuses writes.
  const std::int64_t rows = db::ReplaceRows(db::TableCopy{
      databases.template_connection_string, statement, databases.centre_connection_string,
      entry.source, kRowsBetweenEvents, [&](std::int64_t copied) {
        ReportCopied(entry, centre, copied, /*complete=*/false, events);
      }});
  ReportCopied(entry, centre, rows, /*complete=*/true, events);
  return rows;
}

}  // namespace

std::string SubstituteCentre(std::string_view statement, const ServiceCentre& centre) {
  std::string text = ReplaceAll(std::string(statement), "{CWOC}", QuotedText(centre.centre));
  return ReplaceAll(std::move(text), "{COMP}", QuotedText(centre.company));
}

std::int64_t ApplyTransferEntry(const TransferEntry& entry, const ServiceCentre& centre,
                                const TransferDatabases& databases, RunEvents& events) {
  const std::string statement = SubstituteCentre(entry.statement, centre);
  try {
    switch (entry.type) {
      case TransferType::kDelete:
        RunDelete(statement, databases);
        return 0;
      case TransferType::kAppend:
        return RunAppend(entry, statement, centre, databases, events);
      case TransferType::kOther:
        return 0;
    }
  } catch (const Error& error) {
    throw Error(error.number(), error.description() + " (" + std::string(TypeName(entry.type)) +
                                    " of table " + entry.source + " for service centre " +
                                    centre.centre + ": " + statement + ")");
  }
  return 0;
}

}  // namespace tqs::masterdata
