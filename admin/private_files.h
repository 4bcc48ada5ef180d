// Private files of an installation: what only the account that runs the programs may read.
// VarnexConfiguration.xml holds the HTTP host's shared secret and, for PostgreSQL, the database
// password; the SQLite databases hold every engineer's documents. The installer has no notion of
// a service group, so these belong to the owner alone: files 0600, the folders holding the
// databases 0700. The modes are set explicitly after creation, so they hold whatever the umask
// is, and also for files and folders that an earlier installation left (install --overwrite).
//
// Functions on the file system; thread-safe as the file system is.
#ifndef TQS_ADMIN_PRIVATE_FILES_H_
#define TQS_ADMIN_PRIVATE_FILES_H_

#include <filesystem>
#include <string_view>

namespace tqs::admin {

// Writes `content` to `file` (replacing it), readable and writable by the owner only from the
// moment it exists. Raises tqs::Error naming the file.
void WritePrivateFile(const std::filesystem::path& file, std::string_view content);

// Creates `folder` (and its parents, with the default mode) when missing and makes it
// accessible to the owner only. Raises tqs::Error naming the folder.
void MakePrivateFolder(const std::filesystem::path& folder);

// Makes the SQLite database `file` and its companions that exist (-wal, -shm, -journal)
// readable and writable by the owner only. SQLite creates later companions with the database
// file's mode. Raises tqs::Error naming the file.
void MakeDatabaseFilePrivate(const std::filesystem::path& file);

}  // namespace tqs::admin

#endif  // TQS_ADMIN_PRIVATE_FILES_H_
