// A ConnectionString is a parsed ADO-style connection string: "key=value;" parts whose keys
// are compared ignoring case and whose values may be quoted with "..." or '...' (a doubled
// quote inside stands for one; a quoted value may hold ";"). Blanks around keys and values are
// trimmed; empty parts are skipped; when a key appears twice the last value holds. The
// Provider key picks the backend and must name a known one; the embedded providers need a
// Data Source. Parsing raises tqs::Error naming what was wrong: 3709 for a malformed string or
// a missing key, 3706 for an unknown provider.
//
// A ConnectionString is an immutable value (apart from SetValue) and safe to copy.
#ifndef TQS_PLATFORM_DB_CONNECTION_STRING_H_
#define TQS_PLATFORM_DB_CONNECTION_STRING_H_

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tqs::db {

enum class ProviderKind {
  kSqlite,      // Provider=SQLite: a server database file
  kJet,         // Provider=Microsoft.Jet.OLEDB.4.0: a client database file (SQLite stands in)
  kPostgreSql,  // Provider=PostgreSQL: a database server
};

class ConnectionString {
 public:
  static ConnectionString Parse(std::string_view text);

  ProviderKind provider() const { return provider_; }
  // The provider's canonical name: "SQLite", "Microsoft.Jet.OLEDB.4.0" or "PostgreSQL".
  std::string_view ProviderName() const;

  // The value of `key` (any case), or std::nullopt when the string does not have it.
  std::optional<std::string> Find(std::string_view key) const;
  // The value of `key`; raises tqs::Error 3709 naming the key when it is missing or empty.
  std::string Require(std::string_view key) const;
  // Sets `key` (replacing a value under any case of the same key).
  void SetValue(std::string_view key, std::string value);

  // The parts in their order, keys as written.
  const std::vector<std::pair<std::string, std::string>>& entries() const { return entries_; }

 private:
  ConnectionString() = default;

  ProviderKind provider_ = ProviderKind::kSqlite;
  std::vector<std::pair<std::string, std::string>> entries_;
};

}  // namespace tqs::db

#endif  // TQS_PLATFORM_DB_CONNECTION_STRING_H_
