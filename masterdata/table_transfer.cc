#include "masterdata/table_transfer.h"

#include <optional>

#include "common/error.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/db/table_copy.h"
#include "platform/db/transaction.h"

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

// Row by row through record sets: any pair of databases.
std::int64_t CopyRowByRow(const TransferEntry& entry, std::string_view statement,
                          const ServiceCentre& centre, const TransferDatabases& databases,
                          RunEvents& events) {
  auto template_db = db::Connection::Open(databases.template_connection_string);
  auto source = db::Recordset::Open(statement, *template_db, db::CursorType::kForwardOnly,
                                    db::LockType::kOptimistic);
  auto centre_db = db::Connection::Open(databases.centre_connection_string);
  db::Transaction transaction(*centre_db);
  centre_db->Execute("DELETE FROM " + entry.source);
  // Forward-only and updatable: rows are added as with a static set, but the set does not keep
  // every added row in memory during a copy of millions of rows.
  auto target = db::Recordset::Open(entry.source, *centre_db, db::CursorType::kForwardOnly,
                                    db::LockType::kOptimistic, db::CommandType::kTable);
  std::int64_t rows = 0;
  while (!source->IsEOF()) {
    const int fields = source->FieldCount();
    // Field i goes into column i; a source with more fields than the table has columns fails
    // on its first row, naming the position.
    if (rows == 0) {
      for (int i = 0; i < fields; ++i) target->FieldName(i);
    }
    target->AddNew();
    for (int i = 0; i < fields; ++i) target->SetField(i, source->Field(i));
    target->Update();
    source->MoveNext();
    ++rows;
    if (rows % kRowsBetweenEvents == 0) {
      ReportCopied(entry, centre, rows, /*complete=*/false, events);
    }
  }
  transaction.Commit();
  target->Close();
  source->Close();
  centre_db->Close();
  template_db->Close();
  return rows;
}

std::int64_t RunAppend(const TransferEntry& entry, std::string_view statement,
                       const ServiceCentre& centre, const TransferDatabases& databases,
                       RunEvents& events) {
  // Between two database files the engine copies the rows itself, storing what the row-by-row
  // copy would store and reporting the same progress; otherwise (or when the engine cannot
  // take the statement) rows go one by one.
  std::optional<std::int64_t> rows = db::ReplaceRowsInEngine(db::TableCopy{
      databases.template_connection_string, statement, databases.centre_connection_string,
      entry.source, kRowsBetweenEvents, [&](std::int64_t copied) {
        ReportCopied(entry, centre, copied, /*complete=*/false, events);
      }});
  if (!rows) rows = CopyRowByRow(entry, statement, centre, databases, events);
  ReportCopied(entry, centre, *rows, /*complete=*/true, events);
  return *rows;
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
