// The raw side of the SQLite benchmarks: the same database work as the product, straight
// through sqlite3 with the settings the data access layer gives a server database. Any failure
// ends the benchmark with SQLite's message (a benchmark that goes on after one measures nothing).
#ifndef TQS_BENCH_SUPPORT_RAW_SQLITE_H_
#define TQS_BENCH_SUPPORT_RAW_SQLITE_H_

#include <sqlite3.h>

#include <filesystem>
#include <string>

namespace tqs::bench {

// Ends the process with SQLite's message unless `code` is OK, ROW or DONE.
void Check(sqlite3* db, int code, const char* what);

// Opens `file` in WAL mode with synchronous=FULL and a busy timeout, as the product does.
sqlite3* OpenRaw(const std::filesystem::path& file);

sqlite3_stmt* Prepare(sqlite3* db, const char* sql);

// Binds `text` (copied) to parameter `index`.
void Bind(sqlite3_stmt* statement, int index, const std::string& text);

}  // namespace tqs::bench

#endif  // TQS_BENCH_SUPPORT_RAW_SQLITE_H_
