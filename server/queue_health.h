// QueueHealth is the state of the upload queue (CLIENTSERVERINTERACTION) as operators and
// monitoring want to see it: per document type the number of rows per interaction status, and
// the employees with the most pending rows. A growing count of pending rows, or one employee
// with many, shows a broker that does not run or an ERP that rejects someone's documents; the
// age of the oldest pending row tells how long the queue has been stuck. Rows in doubt (the
// ERP may have booked them) and rows that keep failing are counted apart: they wait for an
// operator.
//
// Received-at times (CLIENTSERVERINTERACTION.RECEIVEDON) are in UTC, stamped by the database,
// and ages are measured by the database's clock, so a server database on another machine gives
// the same answer as the embedded one.
#ifndef TQS_SERVER_QUEUE_HEALTH_H_
#define TQS_SERVER_QUEUE_HEALTH_H_

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "common/date_time.h"
#include "platform/db/connection.h"

namespace tqs::server {

struct QueueHealth {
  // The pending row of a document type that has waited longest.
  struct OldestPending {
    // When it was received (UTC), and how many seconds ago; both empty for a row stored before
    // the database kept received-at times (such a row is older than any row that has one).
    std::optional<DateTime> received_on;
    std::optional<std::int64_t> age_seconds;
  };
  struct DocumentType {
    std::int32_t type = 0;
    std::string name;  // "job sheet", "general hours line", "service inspection", or the number
    std::int64_t pending = 0;                     // status 5
    std::int64_t processed = 0;                   // status 10
    std::int64_t failed = 0;                      // status 15
    std::int64_t unrecognised = 0;                // status null
    std::optional<OldestPending> oldest_pending;  // set when pending > 0
  };
  struct Employee {
    std::string employee;
    std::int64_t pending = 0;
  };
  std::vector<DocumentType> types;          // by type number
  std::vector<Employee> busiest_employees;  // most pending rows first, at most `top`
  // Pending rows that need an operator (pending_selection.h): in doubt, and
  // repeatedly failing.
  std::int64_t in_doubt = 0;
  std::int64_t repeatedly_failing = 0;
};

// Reads the queue's state with a few aggregate queries; the pending rows' queries (busiest
// employees, oldest pending row of each type) are backed by partial indexes on status 5.
QueueHealth ReadQueueHealth(db::Connection& connection, int top = 10);

nlohmann::json ToJson(const QueueHealth& health);

// A table for the terminal.
std::string FormatQueueHealth(const QueueHealth& health);

}  // namespace tqs::server

#endif  // TQS_SERVER_QUEUE_HEALTH_H_
