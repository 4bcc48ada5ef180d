// HttpMetrics counts what the HTTP host has answered, for /metrics: requests by method and
// status (tqsremote_http_requests_total), their latency from the first header byte to the
// answer's last byte (the histogram tqsremote_http_request_duration_seconds), and the requests
// that ended without an answer (tqsremote_http_requests_unanswered_total: the client went away,
// a deadline or a stop cut them off), and the documents of the uploads answered, by their
// feedback (tqsremote_upload_documents_total{outcome}: stored, conflict for one stored before,
// failed). Methods other than the usual ones are counted as "other"
// and statuses outside 100..599 as 0, so a client cannot grow the number of series. Record()
// and Write() are lock-free and safe from any thread; a scrape taken while requests complete
// may see a request in one family and not yet in another.
#ifndef TQS_SERVER_HOST_HTTP_METRICS_H_
#define TQS_SERVER_HOST_HTTP_METRICS_H_

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string_view>

#include "server/host/prometheus_text.h"

namespace tqs::server::host {

class HttpMetrics {
 public:
  // The upper bounds of the latency buckets, in seconds (+Inf follows).
  static constexpr std::array<double, 11> kBucketBounds = {0.005, 0.01, 0.025, 0.05, 0.1, 0.25,
                                                           0.5,   1,    2.5,   5,    10};

  // An answered request: its method, status and how long it took.
  void Record(std::string_view method, int status, std::chrono::steady_clock::duration took);
  // A request that ended without an answer.
  void RecordUnanswered();
  // The documents of one upload, counted from its feedback.
  void RecordUploadedDocuments(std::uint64_t stored, std::uint64_t conflicts, std::uint64_t failed);

  // The families above, in the text format.
  void Write(PrometheusText& text) const;

 private:
  static constexpr std::array<std::string_view, 8> kMethods = {
      "GET", "HEAD", "POST", "PUT", "DELETE", "OPTIONS", "PATCH", "other"};
  static constexpr int kLowestStatus = 100;
  static constexpr int kStatuses = 500;  // 100..599; index kStatuses: any other

  std::array<std::array<std::atomic<std::uint64_t>, kStatuses + 1>, kMethods.size()> requests_{};
  std::array<std::atomic<std::uint64_t>, kBucketBounds.size() + 1> buckets_{};  // not cumulative
  std::atomic<std::uint64_t> sum_nanoseconds_{0};
  std::atomic<std::uint64_t> unanswered_{0};
  std::atomic<std::uint64_t> uploads_stored_{0};
  std::atomic<std::uint64_t> uploads_conflicts_{0};
  std::atomic<std::uint64_t> uploads_failed_{0};
};

}  // namespace tqs::server::host

#endif  // TQS_SERVER_HOST_HTTP_METRICS_H_
