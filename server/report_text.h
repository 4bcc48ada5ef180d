// The texts that the operator's commands (status, documents, requeue, resolve) and the HTTP
// host's health report share: the name of a business document type, and times written as the
// operator reads them: received-at times (UTC) in ISO form with a "Z", the broker's local times
// (PROCESSEDON, ATTEMPTSTARTEDON) as "YYYY-MM-DD HH:MM:SS" without a zone.
//
// Pure functions; thread-safe.
#ifndef TQS_SERVER_REPORT_TEXT_H_
#define TQS_SERVER_REPORT_TEXT_H_

#include <cstdint>
#include <string>

#include "common/date_time.h"

namespace tqs::server {

// "job sheet", "general hours line", "service inspection", or "type N".
std::string DocumentTypeName(std::int32_t type);

// "2026-12-08T17:03:29Z"
std::string IsoUtc(DateTime value);

// "2026-12-08 18:03:29"
std::string LocalTimeText(DateTime value);

// An age in seconds: "3d 04:05:06", "04:05:06".
std::string FormatAge(std::int64_t seconds);

}  // namespace tqs::server

#endif  // TQS_SERVER_REPORT_TEXT_H_
