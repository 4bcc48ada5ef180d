#include "platform/db/internal/statement_cache.h"

namespace tqs::db::internal {

std::unique_ptr<DriverStatement> StatementCache::Take(const std::string& sql) {
  const auto found = index_.find(sql);
  if (found == index_.end()) return nullptr;
  std::unique_ptr<DriverStatement> statement = std::move(found->second->second);
  entries_.erase(found->second);
  index_.erase(found);
  return statement;
}

void StatementCache::Return(std::string sql, std::unique_ptr<DriverStatement> statement) {
  statement->Reset();
  if (capacity_ == 0 || index_.contains(sql)) return;
  entries_.emplace_front(std::move(sql), std::move(statement));
  index_.emplace(entries_.front().first, entries_.begin());
  if (entries_.size() > capacity_) {
    index_.erase(entries_.back().first);
    entries_.pop_back();
  }
}

void StatementCache::Clear() {
  index_.clear();
  entries_.clear();
}

StatementLease::StatementLease(std::weak_ptr<StatementCache> cache, std::string sql,
                               std::unique_ptr<DriverStatement> statement)
    : cache_(std::move(cache)), sql_(std::move(sql)), statement_(std::move(statement)) {}

StatementLease& StatementLease::operator=(StatementLease&& other) noexcept {
  if (this != &other) {
    Release();
    cache_ = std::move(other.cache_);
    sql_ = std::move(other.sql_);
    statement_ = std::move(other.statement_);
  }
  return *this;
}

StatementLease::~StatementLease() { Release(); }

void StatementLease::Release() {
  if (!statement_) return;
  if (auto cache = cache_.lock()) {
    try {
      cache->Return(std::move(sql_), std::move(statement_));
    } catch (...) {
      // A statement that cannot be reset is not worth keeping; it is dropped.
    }
  }
  statement_.reset();
}

}  // namespace tqs::db::internal
