// QueueHealth is the state of the upload queue (CLIENTSERVERINTERACTION) as operators and
// monitoring want to see it: per document type the number of rows per interaction status, and
// the employees with the most pending rows. A growing count of pending rows, or one employee
// with many, shows a broker that does not run or an ERP that rejects someone's documents.
#ifndef TQS_SERVER_ADMIN_QUEUE_HEALTH_H_
#define TQS_SERVER_ADMIN_QUEUE_HEALTH_H_

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/db/connection.h"

namespace tqs::server {

struct QueueHealth {
  struct DocumentType {
    std::int32_t type = 0;
    std::string name;  // "job sheet", "general hours line", "service inspection", or the number
    std::int64_t pending = 0;      // status 5
    std::int64_t processed = 0;    // status 10
    std::int64_t failed = 0;       // status 15
    std::int64_t unrecognised = 0;  // status null
  };
  struct Employee {
    std::string employee;
    std::int64_t pending = 0;
  };
  std::vector<DocumentType> types;          // by type number
  std::vector<Employee> busiest_employees;  // most pending rows first, at most `top`
};

// Reads the queue's state with a few aggregate queries (index-backed for the pending rows).
QueueHealth ReadQueueHealth(db::Connection& connection, int top = 10);

nlohmann::json ToJson(const QueueHealth& health);

// A table for the terminal.
std::string FormatQueueHealth(const QueueHealth& health);

}  // namespace tqs::server

#endif  // TQS_SERVER_ADMIN_QUEUE_HEALTH_H_
