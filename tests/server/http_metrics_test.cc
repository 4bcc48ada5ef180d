// The host's metrics as text: the exposition format's escaping and numbers, and the counts and
// buckets that HttpMetrics keeps.
#include "server/host/http_metrics.h"

#include <gtest/gtest.h>

#include "server/host/prometheus_text.h"

namespace tqs::server::host {
namespace {

using namespace std::chrono_literals;

TEST(HttpMetricsTest, TextFormatHasFamiliesAndEscapedLabelValues) {
  PrometheusText text;
  text.Family("queue_documents", MetricType::kGauge, "Documents,\nby \\type\\.");
  text.Sample("queue_documents", {{"type", "job \"sheet\"\n\\x"}, {"status", "pending"}}, 3);
  text.Sample("queue_age_seconds", {}, 0.25);
  text.Sample("queue_age_seconds", {}, 1e21);
  text.Sample("queue_age_seconds", {}, -1.0 / 0.0);
  EXPECT_EQ(text.text(),
            "# HELP queue_documents Documents,\\nby \\\\type\\\\.\n"
            "# TYPE queue_documents gauge\n"
            "queue_documents{type=\"job \\\"sheet\\\"\\n\\\\x\",status=\"pending\"} 3\n"
            "queue_age_seconds 0.25\n"
            "queue_age_seconds 1e+21\n"
            "queue_age_seconds -Inf\n");
}

TEST(HttpMetricsTest, CountsByMethodAndStatusAndFillsCumulativeBuckets) {
  HttpMetrics metrics;
  metrics.Record("POST", 200, 3ms);
  metrics.Record("POST", 200, 5ms);  // on the bound: in le="0.005"
  metrics.Record("POST", 413, 20ms);
  metrics.Record("GET", 503, 2s);
  metrics.Record("BREW", 999, 30s);  // neither method nor status grows the series
  metrics.RecordUnanswered();
  PrometheusText text;
  metrics.Write(text);
  const std::string& out = text.text();
  for (const char* line : {
           "tqsremote_http_requests_total{method=\"GET\",status=\"503\"} 1\n",
           "tqsremote_http_requests_total{method=\"POST\",status=\"200\"} 2\n",
           "tqsremote_http_requests_total{method=\"POST\",status=\"413\"} 1\n",
           "tqsremote_http_requests_total{method=\"other\",status=\"0\"} 1\n",
           "tqsremote_http_requests_unanswered_total 1\n",
           "tqsremote_http_request_duration_seconds_bucket{le=\"0.005\"} 2\n",
           "tqsremote_http_request_duration_seconds_bucket{le=\"0.01\"} 2\n",
           "tqsremote_http_request_duration_seconds_bucket{le=\"0.025\"} 3\n",
           "tqsremote_http_request_duration_seconds_bucket{le=\"1\"} 3\n",
           "tqsremote_http_request_duration_seconds_bucket{le=\"2.5\"} 4\n",
           "tqsremote_http_request_duration_seconds_bucket{le=\"10\"} 4\n",
           "tqsremote_http_request_duration_seconds_bucket{le=\"+Inf\"} 5\n",
           "tqsremote_http_request_duration_seconds_sum 32.028\n",
           "tqsremote_http_request_duration_seconds_count 5\n",
       }) {
    EXPECT_NE(out.find(line), std::string::npos) << line << "in\n" << out;
  }
  EXPECT_EQ(out.find("BREW"), std::string::npos);
  EXPECT_EQ(out.find("999"), std::string::npos);
  // Families come in a fixed order, each introduced once.
  EXPECT_LT(out.find("# TYPE tqsremote_http_requests_total counter"),
            out.find("# TYPE tqsremote_http_request_duration_seconds histogram"));
}

}  // namespace
}  // namespace tqs::server::host
