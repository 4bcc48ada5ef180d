#include "platform/db/postgres/postgres_driver.h"

#include <libpq-fe.h>

#include <cctype>
#include <cstdlib>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

#include "common/error.h"
#include "common/text.h"
#include "platform/db/internal/query_text.h"
#include "platform/db/postgres/pg_error.h"
#include "platform/db/postgres/pg_types.h"
#include "platform/db/postgres/postgres_dialect.h"

namespace tqs::db::postgres {
namespace {

using internal::ColumnInfo;
using internal::SqlNull;
using internal::SqlValue;

// The server's default database, used to create a missing one.
constexpr const char* kMaintenanceDatabase = "postgres";
// Names of statements no longer used are collected and dropped together.
constexpr std::size_t kUnusedStatementsBeforeDrop = 32;

struct ResultDeleter {
  void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

// What a driver and its statements share: the connection while the driver has it, and the
// prepared statements that are no longer used. Statements may outlive the driver's Close; they
// then see no connection and leave the server alone (the pool's reset drops them).
struct SessionLink {
  PGconn* connection = nullptr;
  std::vector<std::string> unused_statements;
};

PGconn* LiveConnection(const SessionLink& link) {
  if (link.connection == nullptr) {
    throw Error(error_number::kObjectClosed, "Operation is not allowed when the object is closed.");
  }
  return link.connection;
}

// Runs `sql` with text parameters; raises the server's error unless the result is `expected`.
Result Run(PGconn* connection, const std::string& sql, const std::vector<std::string>& parameters,
           ExecStatusType expected) {
  std::vector<const char*> values;
  for (const std::string& parameter : parameters) values.push_back(parameter.c_str());
  Result result(PQexecParams(connection, sql.c_str(), static_cast<int>(values.size()), nullptr,
                             values.data(), nullptr, nullptr, 0));
  if (!result || PQresultStatus(result.get()) != expected) {
    throw TranslatePgError(connection, result.get());
  }
  return result;
}

std::string QuotedIdentifier(std::string_view name) {
  std::string quoted = "\"";
  for (char c : name) {
    quoted += c;
    if (c == '"') quoted += '"';
  }
  return quoted + "\"";
}

class PgStatement final : public internal::DriverStatement {
 public:
  PgStatement(std::shared_ptr<SessionLink> link, std::string name, bool is_commit, bool read_only,
              std::vector<ColumnInfo> columns, std::vector<TypeOid> types, int parameter_count)
      : link_(std::move(link)),
        name_(std::move(name)),
        is_commit_(is_commit),
        read_only_(read_only),
        columns_(std::move(columns)),
        types_(std::move(types)),
        parameters_(static_cast<std::size_t>(parameter_count)) {}
  ~PgStatement() override {
    if (link_->connection != nullptr) link_->unused_statements.push_back(std::move(name_));
  }
  PgStatement(const PgStatement&) = delete;
  PgStatement& operator=(const PgStatement&) = delete;

  void Bind(int index, const SqlValue& value) override {
    if (index < 0 || static_cast<std::size_t>(index) >= parameters_.size()) {
      throw Error(error_number::kGenericFailure, "Parameter " + std::to_string(index + 1) +
                                                     " is out of range: the statement has " +
                                                     std::to_string(parameters_.size()) +
                                                     " parameters");
    }
    parameters_[static_cast<std::size_t>(index)] =
        std::holds_alternative<SqlNull>(value) ? std::nullopt
                                               : std::optional<std::string>(ParameterText(value));
  }

  bool Step() override {
    if (!result_) Execute();
    if (PQresultStatus(result_.get()) != PGRES_TUPLES_OK) return false;
    return ++row_ < PQntuples(result_.get());
  }

  void Reset() override {
    result_.reset();
    row_ = -1;
    changed_rows_ = 0;
    for (auto& parameter : parameters_) parameter.reset();
  }

  int ColumnCount() const override { return static_cast<int>(columns_.size()); }
  ColumnInfo Column(int index) const override {
    return columns_.at(static_cast<std::size_t>(index));
  }

  SqlValue Value(int index) const override {
    if (!result_ || row_ < 0 || row_ >= PQntuples(result_.get())) return SqlNull{};
    if (PQgetisnull(result_.get(), row_, index)) return SqlNull{};
    return ValueFromText(
        types_.at(static_cast<std::size_t>(index)),
        std::string_view(PQgetvalue(result_.get(), row_, index),
                         static_cast<std::size_t>(PQgetlength(result_.get(), row_, index))));
  }

  std::int64_t ChangedRows() const override { return changed_rows_; }

  // The server does not say whether a prepared statement writes: judged by its words.
  bool IsReadOnly() const override { return read_only_; }

 private:
  void Execute() {
    PGconn* connection = LiveConnection(*link_);
    std::vector<const char*> values;
    for (const auto& parameter : parameters_) {
      values.push_back(parameter ? parameter->c_str() : nullptr);
    }
    Result result(PQexecPrepared(connection, name_.c_str(), static_cast<int>(values.size()),
                                 values.data(), nullptr, nullptr, 0));
    const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK && status != PGRES_EMPTY_QUERY) {
      throw TranslatePgError(connection, result.get());
    }
    changed_rows_ = std::atoll(PQcmdTuples(result.get()));
    // The server answers COMMIT of a transaction in which a statement failed with ROLLBACK,
    // not with an error: the caller must not believe its changes were stored.
    if (is_commit_ && std::string_view(PQcmdStatus(result.get())) == "ROLLBACK") {
      throw Error(error_number::kGenericFailure,
                  "The transaction was rolled back instead of committed: a statement in it had "
                  "failed, so none of its changes were stored");
    }
    result_ = std::move(result);
    row_ = -1;
  }

  // Fixed at preparation.
  const std::shared_ptr<SessionLink> link_;
  std::string name_;
  const bool is_commit_;
  const bool read_only_;
  const std::vector<ColumnInfo> columns_;
  const std::vector<TypeOid> types_;

  // One run.
  std::vector<std::optional<std::string>> parameters_;
  Result result_;
  int row_ = -1;
  std::int64_t changed_rows_ = 0;
};

class PgDriver final : public internal::Driver {
 public:
  explicit PgDriver(std::unique_ptr<PhysicalConnection> connection)
      : connection_(std::move(connection)), link_(std::make_shared<SessionLink>()) {
    link_->connection = connection_->handle();
  }
  ~PgDriver() override { Close(); }
  PgDriver(const PgDriver&) = delete;
  PgDriver& operator=(const PgDriver&) = delete;

  std::unique_ptr<internal::DriverStatement> Prepare(std::string_view sql) override {
    PGconn* connection = LiveConnection(*link_);
    if (HoldsNoStatement(sql)) {
      throw Error(error_number::kGenericFailure,
                  "The SQL text holds no statement: '" + Excerpt(sql) + "'");
    }
    if (const std::string_view rest = TextAfterFirstStatement(sql); !rest.empty()) {
      throw Error(error_number::kGenericFailure,
                  "Characters found after end of SQL statement: '" + Excerpt(rest) +
                      "' (run several statements with ExecuteBatch)");
    }
    DropUnusedStatements(connection);
    const std::string text(sql);
    std::string name = connection_->NextStatementName();
    Result prepared(PQprepare(connection, name.c_str(), text.c_str(), 0, nullptr));
    if (!prepared || PQresultStatus(prepared.get()) != PGRES_COMMAND_OK) {
      throw TranslatePgError(connection, prepared.get());
    }
    // From here on the server holds the statement: a failure below must still drop it.
    link_->unused_statements.push_back(name);
    Result description(PQdescribePrepared(connection, name.c_str()));
    if (!description || PQresultStatus(description.get()) != PGRES_COMMAND_OK) {
      throw TranslatePgError(connection, description.get());
    }
    std::vector<ColumnInfo> columns;
    std::vector<TypeOid> types;
    for (int i = 0; i < PQnfields(description.get()); ++i) {
      const TypeOid type = PQftype(description.get(), i);
      types.push_back(type);
      columns.push_back(ColumnInfo{PQfname(description.get(), i), DeclaredTypeName(type),
                                   OriginName(connection, PQftable(description.get(), i),
                                              PQftablecol(description.get(), i))});
    }
    link_->unused_statements.pop_back();
    return std::make_unique<PgStatement>(
        link_, std::move(name), text == CommitSql(),
        internal::ClassifyQueryText(text) == internal::QueryTextKind::kReadOnlyQuery,
        std::move(columns), std::move(types), PQnparams(description.get()));
  }

  void ExecuteScript(std::string_view script) override {
    PGconn* connection = LiveConnection(*link_);
    const std::string text(script);
    Result result(PQexec(connection, text.c_str()));
    const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && status != PGRES_EMPTY_QUERY) {
      throw TranslatePgError(connection, result.get());
    }
  }

  std::string TranslateSql(std::string_view sql) const override { return ToPostgresSql(sql); }

  // An insert returns the key of its row itself.
  bool ReportsLastInsertKey() const override { return false; }
  std::int64_t LastInsertKey() const override {
    throw Error(error_number::kGenericFailure,
                "The PostgreSQL session reports the key of an added row only through RETURNING");
  }

  std::string RowKeyExpression(std::string_view table) override {
    const std::string name(table);
    if (auto found = row_keys_.find(name); found != row_keys_.end()) {
      if (!found->second) throw NoRowKeyError(name);
      return *found->second;
    }
    // The catalog look-up cannot fail on an unknown table (to_regclass gives null), so it
    // never aborts an open transaction.
    Result result = Run(LiveConnection(*link_),
                        "SELECT a.attname FROM pg_catalog.pg_index i"
                        " JOIN pg_catalog.pg_attribute a"
                        " ON a.attrelid = i.indrelid AND a.attnum = i.indkey[0]"
                        " WHERE i.indrelid = to_regclass($1) AND i.indnatts = 1"
                        " AND i.indisunique AND i.indpred IS NULL AND a.attnotnull"
                        " AND a.atttypid IN (20, 21, 23)"
                        " ORDER BY i.indisprimary DESC, a.attnum LIMIT 1",
                        {name}, PGRES_TUPLES_OK);
    std::optional<std::string> key;
    if (PQntuples(result.get()) == 1) key = QuotedIdentifier(PQgetvalue(result.get(), 0, 0));
    row_keys_.emplace(name, key);
    if (!key) throw NoRowKeyError(name);
    return *key;
  }

  std::string QuoteIdentifier(std::string_view name) const override {
    return QuotedIdentifier(name);
  }

  // The parameter takes the column's type, as in "column = $n" (the statements are prepared
  // without parameter types), so the text of a timestamp or an integer is read as one. A type
  // the core has no rule for (json, uuid, interval, ...) is read as its text form, and compared
  // so: json has no equality at all.
  std::string NullSafeEquals(std::string_view column,
                             std::string_view declared_type) const override {
    if (declared_type.empty()) {
      return "CAST(" + std::string(column) + " AS text) IS NOT DISTINCT FROM CAST(? AS text)";
    }
    return std::string(column) + " IS NOT DISTINCT FROM ?";
  }

  std::string BeginTransactionSql() const override { return "BEGIN"; }
  std::string CommitSql() const override { return "COMMIT"; }
  std::string RollbackSql() const override { return "ROLLBACK"; }
  // A transaction-level advisory lock: released by the server at commit or rollback, also when
  // the connection is lost. The 64-bit hash keeps unrelated names apart.
  std::string NamedLockSql() const override {
    return "SELECT pg_advisory_xact_lock(hashtextextended(?, 0))";
  }

  // Every later transaction of the session is read-only, also the implicit one of a single
  // statement; the pool's reset (DISCARD ALL) undoes it before the connection is reused.
  void RefuseWrites() override {
    Run(LiveConnection(*link_), "SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY", {},
        PGRES_COMMAND_OK);
  }

  void Close() override {
    if (!connection_) return;
    link_->connection = nullptr;
    link_->unused_statements.clear();  // the pool's reset drops every prepared statement
    ConnectionPool::ForProcess().Release(std::move(connection_));
  }

 private:
  static Error NoRowKeyError(const std::string& table) {
    return Error(error_number::kGenericFailure,
                 "Table '" + table +
                     "' has no integer key column (a single-column primary key or unique "
                     "not-null integer column), so its rows cannot be changed by key");
  }

  // The name of column `column` of table `table` ("" for an expression).
  std::string OriginName(PGconn* connection, unsigned int table, int column) {
    if (table == 0 || column <= 0) return "";
    auto found = attributes_.find(table);
    if (found == attributes_.end()) {
      Result result = Run(connection,
                          "SELECT attnum, attname FROM pg_catalog.pg_attribute"
                          " WHERE attrelid = $1 AND attnum > 0 AND NOT attisdropped",
                          {std::to_string(table)}, PGRES_TUPLES_OK);
      std::map<int, std::string> names;
      for (int row = 0; row < PQntuples(result.get()); ++row) {
        names.emplace(std::atoi(PQgetvalue(result.get(), row, 0)),
                      PQgetvalue(result.get(), row, 1));
      }
      found = attributes_.emplace(table, std::move(names)).first;
    }
    const auto name = found->second.find(column);
    return name != found->second.end() ? name->second : "";
  }

  // Drops the prepared statements that the core no longer holds, several at a time. Inside a
  // failed transaction the server refuses every command; they are dropped later then.
  void DropUnusedStatements(PGconn* connection) {
    auto& unused = link_->unused_statements;
    if (unused.size() < kUnusedStatementsBeforeDrop ||
        PQtransactionStatus(connection) == PQTRANS_INERROR) {
      return;
    }
    std::string sql;
    for (const std::string& name : unused) sql += "DEALLOCATE " + name + ";";
    Result result(PQexec(connection, sql.c_str()));
    if (result && PQresultStatus(result.get()) == PGRES_COMMAND_OK) unused.clear();
  }

  // Lifetime of the session.
  std::unique_ptr<PhysicalConnection> connection_;
  const std::shared_ptr<SessionLink> link_;
  // Catalog answers, kept for the session (the schema does not change under a running program).
  std::map<std::string, std::optional<std::string>> row_keys_;     // by table as written
  std::map<unsigned int, std::map<int, std::string>> attributes_;  // by table identifier
};

// A plain identifier (letters, digits, "_", "$", not starting with a digit), which the server
// folds to lower case as it does in the search path.
bool IsPlainIdentifier(std::string_view name) {
  if (name.empty() || std::isdigit(static_cast<unsigned char>(name.front()))) return false;
  for (char c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '$') return false;
  }
  return true;
}

void CreateDatabaseIfMissing(const ServerAddress& address) {
  std::unique_ptr<PhysicalConnection> maintenance = Connect(address, kMaintenanceDatabase);
  PGconn* connection = maintenance->handle();
  Result found = Run(connection, "SELECT 1 FROM pg_catalog.pg_database WHERE datname = $1",
                     {address.database}, PGRES_TUPLES_OK);
  if (PQntuples(found.get()) > 0) return;
  Result created(
      PQexec(connection, ("CREATE DATABASE " + QuotedIdentifier(address.database)).c_str()));
  // Another process may have created it meanwhile (duplicate database, or the same name
  // entered in the catalog a moment earlier).
  if (!created || (PQresultStatus(created.get()) != PGRES_COMMAND_OK &&
                   SqlState(created.get()) != "42P04" && SqlState(created.get()) != "23505")) {
    throw TranslatePgError(connection, created.get(),
                           "creating PostgreSQL database '" + address.database + "'");
  }
}

void CreateSchemaIfMissing(PGconn* connection, const std::string& search_path) {
  const std::string schema = search_path.substr(0, search_path.find(','));
  const std::string name(OneLine(schema));
  if (!IsPlainIdentifier(name)) {
    throw Error(error_number::kConnectionInvalid,
                "Search Path '" + search_path +
                    "': the schema to create must be a plain name (letters, digits, '_')");
  }
  Result created(PQexec(connection, ("CREATE SCHEMA IF NOT EXISTS " + name).c_str()));
  if (!created || (PQresultStatus(created.get()) != PGRES_COMMAND_OK &&
                   SqlState(created.get()) != "42P06" && SqlState(created.get()) != "23505")) {
    throw TranslatePgError(connection, created.get(), "creating schema '" + name + "'");
  }
}

}  // namespace

std::unique_ptr<internal::Driver> OpenDriver(const OpenOptions& options) {
  if (options.create_missing) CreateDatabaseIfMissing(options.address);
  std::unique_ptr<PhysicalConnection> connection =
      ConnectionPool::ForProcess().Acquire(options.address);
  if (options.create_missing && !options.address.search_path.empty()) {
    CreateSchemaIfMissing(connection->handle(), options.address.search_path);
  }
  return std::make_unique<PgDriver>(std::move(connection));
}

}  // namespace tqs::db::postgres
