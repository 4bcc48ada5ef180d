// Compiled statements of one session, kept by their SQL text as the programs wrote it, so a
// statement that a program runs again and again (the row read of a keyset, a look-up per
// document) is compiled once. A statement in use is taken out of the cache and handed back
// when its lease ends, so one compiled statement never serves two open record sets at once.
// The cache keeps the most recently used statements up to a fixed number.
//
// Not thread-safe; used by the thread of its session.
#ifndef TQS_PLATFORM_DB_INTERNAL_STATEMENT_CACHE_H_
#define TQS_PLATFORM_DB_INTERNAL_STATEMENT_CACHE_H_

#include <cstddef>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>

#include "platform/db/internal/driver.h"

namespace tqs::db::internal {

class StatementCache {
 public:
  explicit StatementCache(std::size_t capacity) : capacity_(capacity) {}
  StatementCache(const StatementCache&) = delete;
  StatementCache& operator=(const StatementCache&) = delete;

  // The cached statement of `sql`, removed from the cache; nullptr when none is cached.
  std::unique_ptr<DriverStatement> Take(const std::string& sql);
  // Resets `statement` and keeps it for `sql` (dropping it when one is kept already).
  void Return(std::string sql, std::unique_ptr<DriverStatement> statement);
  // Drops every cached statement.
  void Clear();

  std::size_t size() const { return entries_.size(); }

 private:
  using Entry = std::pair<std::string, std::unique_ptr<DriverStatement>>;

  const std::size_t capacity_;
  std::list<Entry> entries_;  // most recently returned first
  std::unordered_map<std::string, std::list<Entry>::iterator> index_;
};

// A statement taken from a session for one use; hands it back to the cache when it ends (or
// drops it when the session is gone or closed meanwhile). Move-only.
class StatementLease {
 public:
  StatementLease(std::weak_ptr<StatementCache> cache, std::string sql,
                 std::unique_ptr<DriverStatement> statement);
  StatementLease(StatementLease&& other) noexcept = default;
  StatementLease& operator=(StatementLease&& other) noexcept;
  ~StatementLease();

  DriverStatement& operator*() const { return *statement_; }
  DriverStatement* operator->() const { return statement_.get(); }
  explicit operator bool() const { return statement_ != nullptr; }

  // Hands the statement back now; the lease is empty afterwards.
  void Release();

 private:
  std::weak_ptr<StatementCache> cache_;
  std::string sql_;
  std::unique_ptr<DriverStatement> statement_;
};

}  // namespace tqs::db::internal

#endif  // TQS_PLATFORM_DB_INTERNAL_STATEMENT_CACHE_H_
