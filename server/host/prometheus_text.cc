#include "server/host/prometheus_text.h"

#include <charconv>
#include <cmath>

namespace tqs::server::host {
namespace {

std::string_view TypeName(MetricType type) {
  switch (type) {
    case MetricType::kCounter:
      return "counter";
    case MetricType::kGauge:
      return "gauge";
    case MetricType::kHistogram:
      return "histogram";
  }
  return "untyped";
}

// A help text may hold anything but a raw line feed or backslash.
void AppendEscaped(std::string& text, std::string_view value, bool quotes) {
  for (const char c : value) {
    if (c == '\\') {
      text += "\\\\";
    } else if (c == '\n') {
      text += "\\n";
    } else if (c == '"' && quotes) {
      text += "\\\"";
    } else {
      text += c;
    }
  }
}

}  // namespace

std::string SampleValue(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "+Inf" : "-Inf";
  char digits[32];
  const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
  return std::string(digits, end);
}

void PrometheusText::Family(std::string_view name, MetricType type, std::string_view help) {
  text_ += "# HELP ";
  text_ += name;
  text_ += ' ';
  AppendEscaped(text_, help, false);
  text_ += "\n# TYPE ";
  text_ += name;
  text_ += ' ';
  text_ += TypeName(type);
  text_ += '\n';
}

void PrometheusText::Sample(std::string_view name, const Labels& labels, double value) {
  text_ += name;
  if (!labels.empty()) {
    text_ += '{';
    for (std::size_t i = 0; i < labels.size(); ++i) {
      if (i > 0) text_ += ',';
      text_ += labels[i].first;
      text_ += "=\"";
      AppendEscaped(text_, labels[i].second, true);
      text_ += '"';
    }
    text_ += '}';
  }
  text_ += ' ';
  text_ += SampleValue(value);
  text_ += '\n';
}

}  // namespace tqs::server::host
