// DatabaseCompactor compacts a client database (an SQLite file standing in for a Jet file) in
// place, as the database engine's compaction does: it writes a compact copy of the database
// with SQLite's own VACUUM INTO to a temporary file in the same folder, syncs it, and renames it
// over the original in one atomic step, so the original is never missing and a failure at any
// point leaves it as it was (the temporary file is removed).
//
// Compaction needs the database to itself. Like the engine, which refuses a database that is
// open elsewhere, it first looks for other holders: any open file descriptor on the database
// file, in this process (another connection) or in any other process whose descriptors this
// user may read (/proc/<pid>/fd); if there is one it fails, naming the holders. During the copy
// it also holds the database's write lock, so no writer can change the file between the copy
// and the rename. Processes of other users that this one may not inspect are not seen; a
// connection opened by them is only kept from writing during the copy.
//
// Not thread-safe: one compaction at a time per database.
#ifndef TQS_MASTERDATA_DATABASE_COMPACTOR_H_
#define TQS_MASTERDATA_DATABASE_COMPACTOR_H_

#include <filesystem>
#include <string_view>
#include <vector>

namespace tqs::masterdata {

class DatabaseCompactor {
 public:
  DatabaseCompactor() = default;
  DatabaseCompactor(const DatabaseCompactor&) = delete;
  DatabaseCompactor& operator=(const DatabaseCompactor&) = delete;

  // Compacts `database` through the temporary file `temporary` (which must not exist and must
  // lie on the same file system). Database passwords have no meaning for the SQLite files: a
  // password that is not empty raises an error. Raises tqs::Error naming the database and the
  // reason (held open elsewhere, not a database, no space, ...).
  void CompactInPlace(const std::filesystem::path& database, const std::filesystem::path& temporary,
                      std::string_view old_password = {}, std::string_view new_password = {});
};

// Rewrites the client database at `database` where it lies (SQLite's VACUUM, with secure delete
// switched on first), so that its file holds only its live rows: the pages that DELETE freed
// still hold the deleted rows until they are reused, and a centre database cut down from the
// template would otherwise carry other centres' rows, and the template's size, into its
// archive. The caller must be the database's only user. Raises tqs::Error naming the database
// and the provider's reason.
void EraseFreedPages(const std::filesystem::path& database);

// The ids of the processes (this one included) that hold `file` open. Processes whose open
// files this user may not read are left out.
std::vector<int> ProcessesHoldingOpen(const std::filesystem::path& file);

}  // namespace tqs::masterdata

#endif  // TQS_MASTERDATA_DATABASE_COMPACTOR_H_
