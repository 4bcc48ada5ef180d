#include "server/host/http_metrics.h"

#include <algorithm>
#include <string>

namespace tqs::server::host {

void HttpMetrics::Record(std::string_view method, int status,
                         std::chrono::steady_clock::duration took) {
  const auto method_index = static_cast<std::size_t>(
      std::find(kMethods.begin(), kMethods.end() - 1, method) - kMethods.begin());
  const int status_index = status >= kLowestStatus && status < kLowestStatus + kStatuses
                               ? status - kLowestStatus
                               : kStatuses;
  requests_[method_index][static_cast<std::size_t>(status_index)].fetch_add(
      1, std::memory_order_relaxed);
  const double seconds = std::chrono::duration<double>(took).count();
  const auto bucket = static_cast<std::size_t>(
      std::lower_bound(kBucketBounds.begin(), kBucketBounds.end(), seconds) -
      kBucketBounds.begin());
  buckets_[bucket].fetch_add(1, std::memory_order_relaxed);
  sum_nanoseconds_.fetch_add(
      static_cast<std::uint64_t>(std::max<std::int64_t>(0, std::chrono::nanoseconds(took).count())),
      std::memory_order_relaxed);
}

void HttpMetrics::RecordUnanswered() { unanswered_.fetch_add(1, std::memory_order_relaxed); }

void HttpMetrics::RecordUploadedDocuments(std::uint64_t stored, std::uint64_t conflicts,
                                          std::uint64_t failed) {
  uploads_stored_.fetch_add(stored, std::memory_order_relaxed);
  uploads_conflicts_.fetch_add(conflicts, std::memory_order_relaxed);
  uploads_failed_.fetch_add(failed, std::memory_order_relaxed);
}

void HttpMetrics::Write(PrometheusText& text) const {
  text.Family("tqsremote_http_requests_total", MetricType::kCounter,
              "HTTP requests answered, by method and status.");
  for (std::size_t m = 0; m < kMethods.size(); ++m) {
    for (std::size_t s = 0; s < requests_[m].size(); ++s) {
      const std::uint64_t count = requests_[m][s].load(std::memory_order_relaxed);
      if (count == 0) continue;
      const int status = s == kStatuses ? 0 : kLowestStatus + static_cast<int>(s);
      text.Sample("tqsremote_http_requests_total",
                  {{"method", std::string(kMethods[m])}, {"status", std::to_string(status)}},
                  static_cast<double>(count));
    }
  }
  text.Family("tqsremote_http_requests_unanswered_total", MetricType::kCounter,
              "HTTP requests that ended without an answer (client gone, deadline or stop).");
  text.Sample("tqsremote_http_requests_unanswered_total", {},
              static_cast<double>(unanswered_.load(std::memory_order_relaxed)));

  text.Family("tqsremote_upload_documents_total", MetricType::kCounter,
              "Uploaded documents by the upload's feedback: stored, conflict (stored before), "
              "failed.");
  for (const auto& [outcome, count] :
       {std::pair{"stored", &uploads_stored_}, std::pair{"conflict", &uploads_conflicts_},
        std::pair{"failed", &uploads_failed_}}) {
    text.Sample("tqsremote_upload_documents_total", {{"outcome", outcome}},
                static_cast<double>(count->load(std::memory_order_relaxed)));
  }

  text.Family("tqsremote_http_request_duration_seconds", MetricType::kHistogram,
              "Time from a request's arrival to its answer's last byte.");
  std::uint64_t cumulative = 0;
  for (std::size_t b = 0; b < buckets_.size(); ++b) {
    cumulative += buckets_[b].load(std::memory_order_relaxed);
    const std::string bound = b < kBucketBounds.size() ? SampleValue(kBucketBounds[b]) : "+Inf";
    text.Sample("tqsremote_http_request_duration_seconds_bucket", {{"le", bound}},
                static_cast<double>(cumulative));
  }
  text.Sample("tqsremote_http_request_duration_seconds_sum", {},
              static_cast<double>(sum_nanoseconds_.load(std::memory_order_relaxed)) / 1e9);
  // The +Inf bucket and the count come from the same loads, so they agree within one scrape.
  text.Sample("tqsremote_http_request_duration_seconds_count", {}, static_cast<double>(cumulative));
}

}  // namespace tqs::server::host
