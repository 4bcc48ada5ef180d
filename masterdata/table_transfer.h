// Cutting one centre database down by one transfer entry. The entry's statement gets the
// service centre and the company substituted for {CWOC} and {COMP} (as quoted SQL texts, their
// apostrophes doubled); then
//   DELETE runs the statement on the centre database;
//   APPEND empties the entry's table in the centre database and copies into it the rows that
//          the statement selects from the template database, pairing fields by position
//          (source field i goes into the table's column i, whatever the names) and keeping
//          every value exactly (db::ReplaceRows); the emptying and the copy form one
//          transaction, so a failed copy leaves the table as it was. The statement must be one
//          read-only query: any other (DELETE, several statements, PRAGMA, ...) is refused
//          before it runs, and the template is never changed;
//   any other type does nothing.
//
// Stateless functions; thread-safe as long as each thread uses its own centre database.
#ifndef TQS_MASTERDATA_TABLE_TRANSFER_H_
#define TQS_MASTERDATA_TABLE_TRANSFER_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "masterdata/run_events.h"
#include "masterdata/transfer_description.h"

namespace tqs::masterdata {

// Rows between two event and progress calls of an APPEND copy.
inline constexpr std::int64_t kRowsBetweenEvents = 5000;

// One service centre of the template's SERVICECENTERS table, both values trimmed.
struct ServiceCentre {
  std::string company;  // COMP
  std::string centre;   // CWOC
};

// `statement` with "{CWOC}" replaced by the quoted centre, then "{COMP}" by the quoted company.
std::string SubstituteCentre(std::string_view statement, const ServiceCentre& centre);

// The two databases an entry works on.
struct TransferDatabases {
  std::string template_connection_string;
  std::string centre_connection_string;
};

// Applies `entry` for `centre`; returns the number of rows an APPEND copied (0 for the other
// types). Raises tqs::Error with the database's message, naming the entry's type, table and
// statement and the centre.
std::int64_t ApplyTransferEntry(const TransferEntry& entry, const ServiceCentre& centre,
                                const TransferDatabases& databases, RunEvents& events);

}  // namespace tqs::masterdata

#endif  // TQS_MASTERDATA_TABLE_TRANSFER_H_
