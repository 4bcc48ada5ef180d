#include "bench/support/raw_sqlite.h"

#include <cstdio>
#include <cstdlib>

namespace tqs::bench {

void Check(sqlite3* db, int code, const char* what) {
  if (code != SQLITE_OK && code != SQLITE_ROW && code != SQLITE_DONE) {
    std::fprintf(stderr, "sqlite (%s): %s\n", what, sqlite3_errmsg(db));
    std::exit(1);
  }
}

sqlite3* OpenRaw(const std::filesystem::path& file) {
  sqlite3* db = nullptr;
  Check(db, sqlite3_open(file.c_str(), &db), "open");
  // The settings the data access layer gives a server database.
  Check(db,
        sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; "
                         "PRAGMA busy_timeout=30000",
                     nullptr, nullptr, nullptr),
        "pragmas");
  return db;
}

sqlite3_stmt* Prepare(sqlite3* db, const char* sql) {
  sqlite3_stmt* statement = nullptr;
  Check(db, sqlite3_prepare_v2(db, sql, -1, &statement, nullptr), sql);
  return statement;
}

void Bind(sqlite3_stmt* statement, int index, const std::string& text) {
  sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                    SQLITE_TRANSIENT);
}

}  // namespace tqs::bench
