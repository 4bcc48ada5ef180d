// PrometheusText writes metrics in the Prometheus text exposition format (version 0.0.4), the
// format monitoring systems scrape from /metrics: a "# HELP" and a "# TYPE" line per metric
// family, then one line per sample, `name{label="value",...} number`. Label values are escaped
// as the format requires (backslash, double quote, line feed), so a value taken from the data
// (a document type's name) cannot break a line apart. Not thread-safe: one writer per answer.
#ifndef TQS_SERVER_HOST_PROMETHEUS_TEXT_H_
#define TQS_SERVER_HOST_PROMETHEUS_TEXT_H_

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tqs::server::host {

// The content type of an answer in this format.
inline constexpr const char* kPrometheusTextContentType =
    "text/plain; version=0.0.4; charset=utf-8";

// A sample's value as the format writes it: shortest round-trip decimal, NaN, +Inf, -Inf.
std::string SampleValue(double value);

enum class MetricType { kCounter, kGauge, kHistogram };

class PrometheusText {
 public:
  using Labels = std::vector<std::pair<std::string_view, std::string>>;

  // Starts the family `name`; its samples follow.
  void Family(std::string_view name, MetricType type, std::string_view help);
  // One sample line. `name` is the family's, or for a histogram the family's with _bucket,
  // _sum or _count.
  void Sample(std::string_view name, const Labels& labels, double value);

  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

}  // namespace tqs::server::host

#endif  // TQS_SERVER_HOST_PROMETHEUS_TEXT_H_
