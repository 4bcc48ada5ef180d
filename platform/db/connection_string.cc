#include "platform/db/connection_string.h"

#include <algorithm>
#include <array>

#include "common/error.h"
#include "common/text.h"
#include "platform/db/internal/sql_lexer.h"

namespace tqs::db {
namespace {

using internal::EqualsIgnoreCase;

struct KnownProvider {
  std::string_view name;
  ProviderKind kind;
};

constexpr std::array<KnownProvider, 3> kProviders = {{
    {"SQLite", ProviderKind::kSqlite},
    {"Microsoft.Jet.OLEDB.4.0", ProviderKind::kJet},
    {"PostgreSQL", ProviderKind::kPostgreSql},
}};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

Error Malformed(const std::string& detail) {
  return Error(error_number::kConnectionInvalid, "Invalid connection string: " + detail);
}

// Splits the text into key/value parts, reading from `pos` to the end.
class PartReader {
 public:
  explicit PartReader(std::string_view text) : text_(text) {}

  // The next part, or std::nullopt at the end. Empty parts (";;") are skipped.
  std::optional<std::pair<std::string, std::string>> Next() {
    while (pos_ < text_.size() && (IsBlank(text_[pos_]) || text_[pos_] == ';')) ++pos_;
    if (pos_ >= text_.size()) return std::nullopt;
    ++part_number_;
    const std::size_t equals = text_.find_first_of("=;", pos_);
    if (equals == std::string_view::npos || text_[equals] == ';') {
      const std::string_view part = TrimBlanks(text_.substr(pos_, equals - pos_));
      throw Malformed("part " + std::to_string(part_number_) + " ('" + Excerpt(part) +
                      "') has no '=' (expected key=value)");
    }
    const std::string key(TrimBlanks(text_.substr(pos_, equals - pos_)));
    if (key.empty()) {
      throw Malformed("part " + std::to_string(part_number_) + " has an empty key before '='");
    }
    pos_ = equals + 1;
    while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
    std::string value = pos_ < text_.size() && (text_[pos_] == '"' || text_[pos_] == '\'')
                            ? QuotedValue(key)
                            : PlainValue();
    return std::make_pair(key, std::move(value));
  }

 private:
  std::string PlainValue() {
    const std::size_t end = std::min(text_.find(';', pos_), text_.size());
    std::string value(TrimBlanks(text_.substr(pos_, end - pos_)));
    pos_ = end;
    return value;
  }

  std::string QuotedValue(const std::string& key) {
    const char quote = text_[pos_++];
    std::string value;
    while (true) {
      if (pos_ >= text_.size()) {
        throw Malformed("the value of '" + Excerpt(key) + "' has no closing " +
                        (quote == '"' ? "quotation mark" : "apostrophe"));
      }
      const char c = text_[pos_++];
      if (c != quote) {
        value += c;
      } else if (pos_ < text_.size() && text_[pos_] == quote) {
        value += quote;
        ++pos_;
      } else {
        break;
      }
    }
    while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
    if (pos_ < text_.size() && text_[pos_] != ';') {
      throw Malformed("text follows the closing quote of the value of '" + Excerpt(key) + "'");
    }
    return value;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  int part_number_ = 0;
};

}  // namespace

ConnectionString ConnectionString::Parse(std::string_view text) {
  ConnectionString result;
  PartReader reader(text);
  while (auto part = reader.Next()) result.SetValue(part->first, std::move(part->second));

  const std::optional<std::string> provider = result.Find("Provider");
  if (!provider || provider->empty()) {
    throw Malformed("no Provider (expected e.g. Provider=SQLite;Data Source=FILE)");
  }
  const KnownProvider* known = nullptr;
  for (const KnownProvider& candidate : kProviders) {
    if (EqualsIgnoreCase(candidate.name, *provider)) known = &candidate;
  }
  if (known == nullptr) {
    throw Error(error_number::kProviderNotFound,
                "Provider cannot be found: '" + Excerpt(*provider) +
                    "' (known providers: SQLite, Microsoft.Jet.OLEDB.4.0, PostgreSQL)");
  }
  result.provider_ = known->kind;
  if (known->kind != ProviderKind::kPostgreSql) result.Require("Data Source");
  return result;
}

std::string_view ConnectionString::ProviderName() const {
  for (const KnownProvider& candidate : kProviders) {
    if (candidate.kind == provider_) return candidate.name;
  }
  return {};
}

std::optional<std::string> ConnectionString::Find(std::string_view key) const {
  for (const auto& [name, value] : entries_) {
    if (EqualsIgnoreCase(name, key)) return value;
  }
  return std::nullopt;
}

std::string ConnectionString::Require(std::string_view key) const {
  std::optional<std::string> value = Find(key);
  if (!value || value->empty()) {
    throw Malformed("no " + std::string(key) + " for Provider=" + std::string(ProviderName()));
  }
  return *value;
}

void ConnectionString::SetValue(std::string_view key, std::string value) {
  for (auto& [name, existing] : entries_) {
    if (EqualsIgnoreCase(name, key)) {
      existing = std::move(value);
      return;
    }
  }
  entries_.emplace_back(std::string(key), std::move(value));
}

}  // namespace tqs::db
